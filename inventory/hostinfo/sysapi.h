// libqvhost: the server's hardware and operating-system facts as flat SYSAPI_* calls. DMI-based
// calls throw SYSAPI_DmiBiosNotFound without a table and SYSAPI_IndexOutOfRange for a bad
// 1-based index; no other exception leaves the library.
#pragma once

#include <cstdint>

#include "cstring.h"
#include "host_objects.h"

#pragma pack(push, 1)
// Only word[0] is ever filled; the other words are 0.
struct int64 {
    uint16_t word[4];
};
static_assert(sizeof(int64) == 8, "int64 is four 16-bit words");

struct date {
    int32_t year;
    char month[2];
    char day[2];
    char hour[2];
    char minutes[2];
    char seconds[2];
};
static_assert(sizeof(date) == 14, "date is 14 bytes");
#pragma pack(pop)

enum MouseInterface {
    MouseInterface_Other = 1, MouseInterface_Unknown = 2, MouseInterface_Serial = 3, MouseInterface_PS2 = 4,
    MouseInterface_Infrared = 5, MouseInterface_QVHIL = 6, MouseInterface_BusMouse = 7, MouseInterface_ADB = 8,
    MouseInterface_BusMouseDB9 = 160, MouseInterface_BusMouseMicroDIN = 161,
};

enum VideoType {
    VideoType_Other = 1, VideoType_Unknown = 2, VideoType_CGA = 3, VideoType_EGA = 4, VideoType_VGA = 5,
    VideoType_SVGA = 6, VideoType_MDA = 7, VideoType_HGC = 8, VideoType_MCGA = 9, VideoType_8514A = 10,
    VideoType_XGA = 11, VideoType_LinearFrameBuffer = 12, VideoType_PC98 = 160,
};

enum BootDiskPriority {
    BootDiskPriority_Unknown = 0, BootDiskPriority_C_Then_A = 1, BootDiskPriority_A_Then_C = 2,
    BootDiskPriority_C_Only = 3, BootDiskPriority_A_Only = 4,
};

enum MemoryType {
    MemoryType_Other = 1, MemoryType_Unknown = 2, MemoryType_DRAM = 3, MemoryType_EDRAM = 4, MemoryType_VRAM = 5,
    MemoryType_SRAM = 6, MemoryType_RAM = 7, MemoryType_ROM = 8, MemoryType_FLASH = 9, MemoryType_EEPROM = 10,
    MemoryType_FEPROM = 11, MemoryType_EPROM = 12,
};

enum FloppyDriveType {
    Floppy_Unknown = 0, Floppy_360k = 1, Floppy_1p2MB = 2, Floppy_1p2pMB = 3, Floppy_1p44MB = 4,
};

enum SystemBIOSCharacteristic {
    BIOS_Other = 1, BIOS_Unknown = 2, BIOS_Unsupported = 3, BIOS_ISASupport = 4, BIOS_MCASupport = 5,
    BIOS_EISASupport = 6, BIOS_PCISupport = 7, BIOS_PCMCIASupport = 8, BIOS_PnPSupport = 9, BIOS_APMSupport = 10,
    BIOS_UpgradeableBIOS = 11, BIOS_BIOSShadowingAllowed = 12, BIOS_VLVESASupport = 13, BIOS_ESCDSupport = 14,
    BIOS_PC98 = 160,
};

enum AvailabilityStatus {
    AvailabilityStatus_Other = 1, AvailabilityStatus_Unknown = 2, AvailabilityStatus_Running = 3,
    AvailabilityStatus_Warning = 4, AvailabilityStatus_InTest = 5, AvailabilityStatus_NotApplicable = 6,
    AvailabilityStatus_PowerOff = 7, AvailabilityStatus_OffLine = 8, AvailabilityStatus_OffDuty = 9,
    AvailabilityStatus_Degraded = 10, AvailabilityStatus_NotInstalled = 11, AvailabilityStatus_InstallError = 12,
    AvailabilityStatus_PowerSave = 13,
};

class SYSAPI_DmiBiosNotFound {};
class SYSAPI_IndexOutOfRange {};
// Declared for callers to catch; nothing in the library throws them.
class SYSAPI_SDR20hNotFound {};
class SYSAPI_SDR21hNotFound {};

// Identity and BIOS.
CString SYSAPI_GetSystemModelName();
int SYSAPI_GetSystemSPU();
CString SYSAPI_GetSystemBIOSManufacturer();
CString SYSAPI_GetSystemBIOSVersion();
CString SYSAPI_GetSCSIBIOSVersion();
CString SYSAPI_GetVideoBIOSVersion();
int SYSAPI_GetSystemBIOSROMSize();
CString SYSAPI_GetSystemManufacturer();
CString SYSAPI_GetSystemProduct();
CString SYSAPI_GetSystemVersion();

// Operating system and host.
CString SYSAPI_GetSystemName();
CString SYSAPI_GetOperatingSystemName();
CString SYSAPI_GetOperatingSystemVersion();

// Processors: the total counts running processors, the index names DMI occurrence i.
int SYSAPI_GetProcessorAvailabilityStatus(int i);
int SYSAPI_GetProcessorIndexTotal();
int SYSAPI_GetProcessorFamily(int i);
CString SYSAPI_GetProcessorVersionInformation(int i);
int SYSAPI_GetProcessorCurrentSpeed(int i);

// Ports, from the OEM strings.
int SYSAPI_GetParallelPortIndexTotal();
int64 SYSAPI_GetParallelPortBaseIOAddress(int i);
int SYSAPI_GetParallelPortIRQ(int i);
int SYSAPI_GetSerialPortIndexTotal();
int64 SYSAPI_GetSerialPortBaseIOAddress(int i);
int SYSAPI_GetSerialPortIRQ(int i);

// Slots and memory.
int SYSAPI_GetSlotIndexTotal();
int64 SYSAPI_GetSlotType(int i);
int SYSAPI_GetMemoryDeviceIndexTotal();
int SYSAPI_GetMemoryDeviceSpeed(int i);
int SYSAPI_GetMemoryDeviceSize(int i);
int SYSAPI_GetMemoryDeviceType(int i);

// BIOS security flags, from the "Flags" OEM string: 0 or 1.
int SYSAPI_IsPowerOnPasswordEnabled();
int SYSAPI_IsVelkarnModeEnabled();
int SYSAPI_IsKeyboardLockPasswordEnabled();
int SYSAPI_IsVideoBlankModeEnabled();
int SYSAPI_IsWriteToFloppyEnabled();
int SYSAPI_IsKeyboardMouseInactivityEnabled();

// Floppy drives.
int SYSAPI_GetFloppyDriveIndexTotal();
FloppyDriveType SYSAPI_GetFloppyDriveType(int i);

// Constant answers.
CString SYSAPI_GetSystemSerialNumber();
CString SYSAPI_GetSystemBIOSLoaderVersionNumber();
date SYSAPI_GetSystemBootUpTime();
date SYSAPI_GetSystemDateTime();
date SYSAPI_GetSystemBIOSReleaseDate();
int SYSAPI_GetSystemBIOSCharacteristicIndexTotal();
int SYSAPI_GetSystemBIOSCharacteric(int i);
CString SYSAPI_GetKeyboardType();
int SYSAPI_GetMouseInterface();
int SYSAPI_GetVideoType();
int SYSAPI_GetBootDiskPriority();
int SYSAPI_GetHardDriveIndexTotal();
int SYSAPI_GetHardDriveType(int i);
int SYSAPI_GetHardDriveCylinders(int i);
int SYSAPI_GetHardDriveSectors(int i);
int SYSAPI_GetHardDriveHeads(int i);
int SYSAPI_GetHardDriveCapacity(int i);
