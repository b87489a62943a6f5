// Server model identification: the one-byte model code the BIOS keeps in an OEM record of the
// SMBIOS/DMI tables, read from physical memory or from its copy in the registry.
#pragma once

#include <cstddef>
#include <cstdint>

// Printed (with exit status 1) by programs that identify through the registry.
inline constexpr char kMsgNotQvSystem[] = "This system is not an QV system.\n";
inline constexpr char kMsgNotSupportedVelkarn[] = "This system is not a supported QV Velkarn.\n";

inline constexpr char kRegKeySpuNum[] = "SOFTWARE\\Quorvane\\Trivoke=SpuNum";

// Supported model codes of the agents, services and tools that identify through the registry.
bool IsProgramModelCode(unsigned long code);
// The program set without 79 and 80: IsVelkarnId and platprobe.
bool IsLibraryModelCode(unsigned long code);

// Reads the model code from the registry; prints the refusal message on standard output and
// returns false when the code is missing or not a supported model.
bool identifySupportedPlatform();

// 0 and the code stored by `platprobe -w`; 1 when the registry value cannot be read.
int IdentifyVelkarnReg(unsigned long* pSpuNum);
// 0 and the code from BIOS memory (0 when no OEM record); 1 when memory cannot be mapped.
int IdentifyVelkarn(unsigned long* pSpuNum);
// 1 when the BIOS code is in the library set.
int IsVelkarnId(void);

struct PHYSICAL_ADDRESS {
    long long QuadPart;
};

// Read-only shared mapping of physical memory through "/dev/mem"; NULL on failure.
void* MmMapIoSpace(PHYSICAL_ADDRESS base_addr, unsigned bytesnum, int cacheType);
void MmUnmapIoSpace(void* address, unsigned bytesnum);
