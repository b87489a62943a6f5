// Serial and parallel ports and the BIOS security flags, from the maker's OEM strings.
#include <cstdlib>

#include "sysapi.h"
#include "sysapi_checks.h"

using qv::host::requireDmi;
using qv::host::requireIndex;
using UC = unsigned char;

namespace {

constexpr int kIrqPosition = 14;
constexpr int kAddressPosition = 15;
constexpr int kAddressDigits = 3;

CString oemString(CQVDMIBIOS& bios, int j)
{
    return qv::host::readerText<64>([&](UC* b, UC l) { return bios.GetStringOfOEMStringOccurence(1, UC(j), b, l); });
}

long hexOf(const CString& digits) { return std::strtol(CString("0x") + digits, nullptr, 16); }

struct PortKind {
    const char* keyword;
    int length;
};
constexpr PortKind kParallel{"Parallel", 8};
constexpr PortKind kSerial{"Serial", 6};

bool isPort(const CString& s, const PortKind& kind) { return s.Left(kind.length) == kind.keyword; }

int portTotal(const PortKind& kind)
{
    CQVDMIBIOS& bios = requireDmi();
    const int count = bios.GetNumberOfOEMStrings();
    int total = 0;
    for (int j = 1; j <= count; ++j) {
        const CString s = oemString(bios, j);
        // A string too short to hold the IRQ character names no port.
        if (isPort(s, kind) && s.GetLength() > kIrqPosition && s[kIrqPosition] != '0') ++total;
    }
    return total;
}

// The i-th string of the kind, counting those without a port too.
CString portString(const PortKind& kind, int i)
{
    requireIndex(i, portTotal(kind));
    CQVDMIBIOS& bios = *HostDmiBios();
    const int count = bios.GetNumberOfOEMStrings();
    int matches = 0;
    for (int j = 1; j <= count; ++j) {
        CString s = oemString(bios, j);
        if (isPort(s, kind) && ++matches == i) return s;
    }
    return CString();
}

int64 portAddress(const PortKind& kind, int i)
{
    return qv::host::firstWord(unsigned(hexOf(portString(kind, i).Mid(kAddressPosition, kAddressDigits))));
}

int portIrq(const PortKind& kind, int i) { return int(hexOf(portString(kind, i).Mid(kIrqPosition, 1))); }

// No "Flags" string: every flag reads 0.
int securityFlag(int bit)
{
    CQVDMIBIOS& bios = requireDmi();
    const int count = bios.GetNumberOfOEMStrings();
    for (int j = 1; j <= count; ++j) {
        const CString s = oemString(bios, j);
        if (s.Left(5) == "Flags") return int((hexOf(s.Mid(kIrqPosition, 2)) >> bit) & 1);
    }
    return 0;
}

} // namespace

int SYSAPI_GetParallelPortIndexTotal() { return portTotal(kParallel); }
int64 SYSAPI_GetParallelPortBaseIOAddress(int i) { return portAddress(kParallel, i); }
int SYSAPI_GetParallelPortIRQ(int i) { return portIrq(kParallel, i); }
int SYSAPI_GetSerialPortIndexTotal() { return portTotal(kSerial); }
int64 SYSAPI_GetSerialPortBaseIOAddress(int i) { return portAddress(kSerial, i); }
int SYSAPI_GetSerialPortIRQ(int i) { return portIrq(kSerial, i); }

int SYSAPI_IsPowerOnPasswordEnabled() { return securityFlag(0); }
int SYSAPI_IsVelkarnModeEnabled() { return securityFlag(1); }
int SYSAPI_IsKeyboardLockPasswordEnabled() { return securityFlag(4); }
int SYSAPI_IsVideoBlankModeEnabled() { return securityFlag(5); }
int SYSAPI_IsWriteToFloppyEnabled() { return securityFlag(6); }
int SYSAPI_IsKeyboardMouseInactivityEnabled() { return securityFlag(7); }
