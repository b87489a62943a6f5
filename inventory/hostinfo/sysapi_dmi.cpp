// Identity, BIOS, processors, slots and memory from the DMI tables.
#include <cstring>

#include "sysapi.h"
#include "sysapi_checks.h"

using qv::host::readerText;
using qv::host::requireDmi;
using qv::host::requireIndex;
using UC = unsigned char;

namespace {

constexpr int kTextBuffer = 64;
constexpr int kProcessorVersionBuffer = 80;

template <class Method>
CString dmiText(Method method)
{
    CQVDMIBIOS& bios = requireDmi();
    return readerText<kTextBuffer>([&](UC* b, UC l) { return (bios.*method)(b, l); });
}

CString systemString(UC offset)
{
    CQVDMIBIOS& bios = requireDmi();
    return readerText<kTextBuffer>([&](UC* b, UC l) { return bios.GetDMIString(UC(1), UC(1), offset, b, l); });
}

} // namespace

CString SYSAPI_GetSystemModelName() { return dmiText(&CQVDMIBIOS::GetSystemModel); }
CString SYSAPI_GetSystemBIOSManufacturer() { return dmiText(&CQVDMIBIOS::GetBiosManufacturer); }
CString SYSAPI_GetSystemBIOSVersion() { return dmiText(&CQVDMIBIOS::GetBiosVersion); }
CString SYSAPI_GetSCSIBIOSVersion() { return dmiText(&CQVDMIBIOS::GetSCSIBiosVersion); }
CString SYSAPI_GetVideoBIOSVersion() { return dmiText(&CQVDMIBIOS::GetVideoBiosVersion); }
CString SYSAPI_GetSystemManufacturer() { return systemString(4); }
CString SYSAPI_GetSystemProduct() { return systemString(5); }
CString SYSAPI_GetSystemVersion() { return systemString(6); }

int SYSAPI_GetSystemSPU()
{
    CQVDMIBIOS& bios = requireDmi();
    UC code = 0;
    if (bios.GetComputerIdentification(code)) return code;
    const CString model = readerText<kTextBuffer>([&](UC* b, UC l) { return bios.GetSystemModel(b, l); });
    return model.Left(6) == "rk7300" ? 94 : 0;
}

int SYSAPI_GetSystemBIOSROMSize()
{
    UC size = 0;
    requireDmi().GetBiosRomSize(size);
    return size;
}

int SYSAPI_GetProcessorAvailabilityStatus(int i)
{
    CQVDMIBIOS& bios = requireDmi();
    requireIndex(i, bios.GetNumberOfProcessor());
    return (bios.GetStatusOfProcessorOccurence(UC(i)) & 1) ? AvailabilityStatus_Running : AvailabilityStatus_Unknown;
}

int SYSAPI_GetProcessorIndexTotal()
{
    const int count = requireDmi().GetNumberOfProcessor();
    int running = 0;
    for (int i = 1; i <= count; ++i)
        if (SYSAPI_GetProcessorAvailabilityStatus(i) == AvailabilityStatus_Running) ++running;
    return running;
}

int SYSAPI_GetProcessorFamily(int i)
{
    requireIndex(i, SYSAPI_GetProcessorIndexTotal());
    return HostDmiBios()->GetFamillyOfProcessorOccurence(UC(i));
}

CString SYSAPI_GetProcessorVersionInformation(int i)
{
    requireIndex(i, SYSAPI_GetProcessorIndexTotal());
    CQVDMIBIOS* bios = HostDmiBios();
    return readerText<kProcessorVersionBuffer>(
        [&](UC* b, UC l) { return bios->GetVersionOfProcessorOccurence(UC(i), b, l); }, "Unknown");
}

int SYSAPI_GetProcessorCurrentSpeed(int i)
{
    requireIndex(i, SYSAPI_GetProcessorIndexTotal());
    unsigned short speed = 0;
    HostDmiBios()->GetProcessorSpeed(i, speed);
    return speed;
}

int SYSAPI_GetSlotIndexTotal() { return requireDmi().GetNumberOfSystemSlots(); }

int64 SYSAPI_GetSlotType(int i)
{
    CQVDMIBIOS& bios = requireDmi();
    if (i < 1 || i > bios.GetNumberOfSystemSlots()) return qv::host::firstWord(0);
    switch (bios.GetTypeOfSystemSlotOccurence(UC(i))) {
    case 3: return qv::host::firstWord(2);
    case 6: case 14: case 17: return qv::host::firstWord(16);
    case 18: case 19: return qv::host::firstWord(18);
    default: return qv::host::firstWord(0);
    }
}

int SYSAPI_GetMemoryDeviceIndexTotal() { return requireDmi().GetNumberOfSIMMSlots(); }

int SYSAPI_GetMemoryDeviceSpeed(int i)
{
    CQVDMIBIOS& bios = requireDmi();
    requireIndex(i, bios.GetNumberOfSIMMSlots());
    return bios.GetSpeedOfSIMMSlotOccurrence(UC(i));
}

int SYSAPI_GetMemoryDeviceSize(int i)
{
    CQVDMIBIOS& bios = requireDmi();
    requireIndex(i, bios.GetNumberOfSIMMSlots());
    const unsigned n = bios.GetSizeOfSIMMSlotOccurrence(UC(i));
    if (n == 0x7F) return 0;
    const unsigned exponent = n & 0x7F;
    // A size a 32-bit count of megabytes cannot hold reads as none rather than overflowing.
    return exponent < 31 ? int(1u << exponent) : 0;
}

int SYSAPI_GetMemoryDeviceType(int) { return MemoryType_DRAM; }
