// The PCI BIOS revision from the kernel's boot messages, kept in the registry for the PCI agent.
#pragma once

#include <cstdio>
#include <string>

namespace qv::inventory {

inline constexpr char kPciRevisionKey[] = "SOFTWARE\\Quorvane\\Trivoke\\PCIRevision=Revision";

// The fifth word of the first line whose fourth word is exactly "revision"; "0.00" when no line
// matches. Lines are read in pieces of at most 511 characters.
std::string findPciRevision(FILE* messages);

// Stores the first 4 bytes of `revision` (zero-padded) as the registry value.
unsigned storePciRevision(const std::string& revision);

// Runs /bin/dmesg (below the sandbox root) and stores what it finds. Returns the exit status
// of the tool: 0, or 255 when dmesg cannot be run.
int collectPciRevision();

} // namespace qv::inventory
