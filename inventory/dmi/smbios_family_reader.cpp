#include "smbios_family_reader.h"

#include <cstdio>

using qv::dmi::copyStructure;
using qv::dmi::copyText;
using qv::dmi::SegmentMapping;
using qv::dmi::SegmentView;

namespace {

constexpr const char* kUnknown = "Unknown";

enum StructureType : unsigned char {
    kBios = 0, kSystem = 1, kEnclosure = 3, kProcessor = 4, kMemoryController = 5,
    kMemoryModule = 6, kCache = 7, kPortConnector = 8, kSystemSlot = 9, kOemStrings = 11,
    kHardwareSecurity = 24, kMakerIdentification = 128, kMakerDisk = 131, kMakerNetwork = 133,
    kMakerHardwareMonitor = 134, kMakerPostCodes = 136,
};

// The type 0 byte at 16 tells which BIOS a structure describes.
enum BiosKind : unsigned char { kSystemBios = 0, kScsiBios = 1, kVideoBios = 2 };

std::optional<std::size_t> findStructure(const SegmentView& view, unsigned char type, unsigned char occurrence,
                                         const std::function<void(const SegmentView&,
                                                                  const std::function<bool(std::size_t)>&)>& walk)
{
    std::optional<std::size_t> found;
    unsigned seen = 0;
    walk(view, [&](std::size_t off) {
        if (view.byteOr0(off) != type || ++seen != occurrence) return false;
        found = off;
        return true;
    });
    return found;
}

} // namespace

int CQVSmbiosFamilyReader::IsDMIBIOSPresent()
{
    if (m_bBIOSScanned) return m_bTableOk;
    m_bBIOSScanned = 1;
    m_bTableOk = ScanForTable() ? 1 : 0;
    return m_bTableOk;
}

int CQVSmbiosFamilyReader::GetDMISubStructure(UC type, UC occurrence, UC* buffer, UC& length)
{
    if (!m_bTableOk) return 0;
    SegmentMapping mapping(m_pDriver, m_wTableSeg);
    const SegmentView& view = mapping.view();
    if (!view.valid()) return 0;
    auto walk = [this](const SegmentView& v, const std::function<bool(std::size_t)>& f) { Walk(v, f); };
    auto off = findStructure(view, type, occurrence, walk);
    if (!off) return 0;
    return copyStructure(view, *off, view.byteOr0(*off + 1), buffer, length);
}

int CQVSmbiosFamilyReader::GetFirstDMISubStructure(UC* buffer, UC& length)
{
    m_wCurrentStructOff = 0;
    return GetNextDMISubStructure(buffer, length);
}

int CQVSmbiosFamilyReader::GetNextDMISubStructure(UC* buffer, UC& length)
{
    if (!m_bTableOk) return 0;
    SegmentMapping mapping(m_pDriver, m_wTableSeg);
    const SegmentView& view = mapping.view();
    if (!view.valid()) return 0;
    int result = 0;
    unsigned ordinal = 0;
    Walk(view, [&](std::size_t off) {
        if (ordinal++ != m_wCurrentStructOff) return false;
        result = copyStructure(view, off, view.byteOr0(off + 1), buffer, length);
        return true;
    });
    if (result == 1) ++m_wCurrentStructOff;
    return result;
}

int CQVSmbiosFamilyReader::GetDMIString(unsigned long, UC*, UC) { return 0; }

int CQVSmbiosFamilyReader::CopyNumberedString(UC type, UC occurrence, UC number, UC* buffer, UC length)
{
    if (!m_bTableOk || number == 0 || !buffer || length == 0) return 0;
    SegmentMapping mapping(m_pDriver, m_wTableSeg);
    const SegmentView& view = mapping.view();
    if (!view.valid()) return 0;
    auto walk = [this](const SegmentView& v, const std::function<bool(std::size_t)>& f) { Walk(v, f); };
    auto off = findStructure(view, type, occurrence, walk);
    if (!off) return 0;
    auto text = StringOffset(view, *off, number);
    return text && view.copyString(*text, buffer, length) ? 1 : 0;
}

int CQVSmbiosFamilyReader::GetDMIString(UC type, UC occurrence, UC offset, UC* buffer, UC length)
{
    UC number = 0;
    if (!GetDMIBYTE(type, offset, number, occurrence) || number == 0) return 0;
    return CopyNumberedString(type, occurrence, number, buffer, length);
}

int CQVSmbiosFamilyReader::GetDMIString(UC type, UC occurrence, UC* buffer, UC length, UC number)
{
    return CopyNumberedString(type, occurrence, number, buffer, length);
}

int CQVSmbiosFamilyReader::StringOrUnknown(UC type, UC occurrence, UC offset, UC* buffer, UC length)
{
    if (!GetDMIString(type, occurrence, offset, buffer, length)) copyText(buffer, length, kUnknown);
    return 1;
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::ByteOr0(UC type, UC offset, UC occurrence)
{
    UC v = 0;
    return GetDMIBYTE(type, offset, v, occurrence) ? v : 0;
}

CQVDMIBIOSVirtual::US CQVSmbiosFamilyReader::WordOr0(UC type, UC offset, UC occurrence)
{
    US v = 0;
    return GetDMIWORD(type, offset, v, occurrence) ? v : 0;
}

int CQVSmbiosFamilyReader::GetComputerIdentification(UC& code)
{
    US capitals = 0;
    if (!GetDMIWORD(kMakerIdentification, 4, capitals, 1) || capitals != ('Q' | ('V' << 8))) return 0;
    return GetDMIBYTE(kMakerIdentification, 6, code, 1);
}

int CQVSmbiosFamilyReader::GetComputerName(UC* buffer, UC length)
{
    return GetDMIString(kSystem, 1, 4, buffer, length);
}

int CQVSmbiosFamilyReader::GetProcessorSpeed(int processor, US& speed)
{
    return GetDMIWORD(kProcessor, 22, speed, UC(processor));
}

int CQVSmbiosFamilyReader::BiosVersionOfKind(UC kind, UC* buffer, UC length)
{
    const UC count = GetSubstructureOccurence(kBios);
    for (unsigned n = 1; n <= count; ++n) {
        UC k = 0;
        if (GetDMIBYTE(kBios, 16, k, UC(n)) && k == kind) return StringOrUnknown(kBios, UC(n), 5, buffer, length);
    }
    copyText(buffer, length, kUnknown);
    return 1;
}

int CQVSmbiosFamilyReader::GetBiosVersion(UC* b, UC l) { return BiosVersionOfKind(kSystemBios, b, l); }
int CQVSmbiosFamilyReader::GetSCSIBiosVersion(UC* b, UC l) { return BiosVersionOfKind(kScsiBios, b, l); }
int CQVSmbiosFamilyReader::GetVideoBiosVersion(UC* b, UC l) { return BiosVersionOfKind(kVideoBios, b, l); }
int CQVSmbiosFamilyReader::GetBiosReleaseDate(UC* b, UC l) { return StringOrUnknown(kBios, 1, 8, b, l); }
int CQVSmbiosFamilyReader::GetBiosManufacturer(UC* b, UC l) { return StringOrUnknown(kBios, 1, 4, b, l); }
int CQVSmbiosFamilyReader::GetSystemBootUpTime(UC*, UC) { return 1; }
int CQVSmbiosFamilyReader::GetQVSerialNumber(UC* b, UC l) { return StringOrUnknown(kSystem, 1, 7, b, l); }

int CQVSmbiosFamilyReader::GetTheMacAddress(UC* buffer, UC length)
{
    if (!buffer || length <= 12) return 0;
    UC mac[6];
    for (UC i = 0; i < 6; ++i)
        if (!GetDMIBYTE(kMakerNetwork, UC(2 + i), mac[i], 1)) return 0;
    char text[13];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    copyText(buffer, length, text);
    return 1;
}

int CQVSmbiosFamilyReader::GetCommunicationPortNumber(UC& first, UC& second)
{
    first = second = 0;
    const UC count = GetSubstructureOccurence(kPortConnector);
    for (unsigned n = 1; n <= count; ++n) {
        const UC portType = ByteOr0(kPortConnector, 8, UC(n));
        if (portType >= 6 && portType <= 9) ++first;
        else if (portType >= 1 && portType <= 5) ++second;
    }
    return 1;
}

int CQVSmbiosFamilyReader::GetSystemModel(UC* b, UC l) { return StringOrUnknown(kSystem, 1, 5, b, l); }

int CQVSmbiosFamilyReader::GetMaxModSize(UC& v) { return GetDMIBYTE(kMemoryController, 8, v, 1); }
int CQVSmbiosFamilyReader::GetMemErrMethod(UC& v) { return GetDMIBYTE(kMemoryController, 4, v, 1); }
int CQVSmbiosFamilyReader::GetMemInterleave(UC& v) { return GetDMIBYTE(kMemoryController, 7, v, 1); }
int CQVSmbiosFamilyReader::GetMemNumSlots(UC& v) { return GetDMIBYTE(kMemoryController, 14, v, 1); }
int CQVSmbiosFamilyReader::GetMemECCTypes(UC& v) { return GetDMIBYTE(kMemoryController, 5, v, 1); }
int CQVSmbiosFamilyReader::GetMemVoltage(UC& v) { return GetDMIBYTE(kMemoryController, 13, v, 1); }
int CQVSmbiosFamilyReader::GetMemSpeed(US& v) { return GetDMIWORD(kMemoryController, 9, v, 1); }
int CQVSmbiosFamilyReader::GetMemTypes(US& v) { return GetDMIWORD(kMemoryController, 11, v, 1); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNumberOfMemMod() { return GetSubstructureOccurence(kMemoryModule); }

int CQVSmbiosFamilyReader::GetMemModSocket(int module, UC* b, UC l)
{
    return StringOrUnknown(kMemoryModule, UC(module), 4, b, l);
}

int CQVSmbiosFamilyReader::GetModBankConnect(int m, UC& v) { return GetDMIBYTE(kMemoryModule, 5, v, UC(m)); }
int CQVSmbiosFamilyReader::GetModSpeed(int m, UC& v) { return GetDMIBYTE(kMemoryModule, 6, v, UC(m)); }
int CQVSmbiosFamilyReader::GetModType(int m, US& v) { return GetDMIWORD(kMemoryModule, 7, v, UC(m)); }
int CQVSmbiosFamilyReader::GetModInstalledSize(int m, UC& v) { return GetDMIBYTE(kMemoryModule, 9, v, UC(m)); }
int CQVSmbiosFamilyReader::GetModEnabledSize(int m, UC& v) { return GetDMIBYTE(kMemoryModule, 10, v, UC(m)); }
int CQVSmbiosFamilyReader::GetProcessorType(UC& v) { return GetDMIBYTE(kProcessor, 6, v, 1); }
int CQVSmbiosFamilyReader::GetProcessorID(int p, ULL& v) { return GetDMIQWORD(kProcessor, 8, v, UC(p)); }

int CQVSmbiosFamilyReader::GetProcessorVersion(int processor, UC* b, UC l)
{
    return StringOrUnknown(kProcessor, UC(processor), 16, b, l);
}

int CQVSmbiosFamilyReader::BiosCharacteristic(UC bit)
{
    ULL characteristics = 0;
    return GetDMIQWORD(kBios, 10, characteristics, 1) ? IsBitSet(characteristics, bit) : 0;
}

int CQVSmbiosFamilyReader::IsIsaSupported() { return BiosCharacteristic(4); }
int CQVSmbiosFamilyReader::IsMcaSupported() { return BiosCharacteristic(5); }
int CQVSmbiosFamilyReader::IsEisaSupported() { return BiosCharacteristic(6); }
int CQVSmbiosFamilyReader::IsPciSupported() { return BiosCharacteristic(7); }
int CQVSmbiosFamilyReader::IsPcmciaSupported() { return BiosCharacteristic(8); }
int CQVSmbiosFamilyReader::IsPnpSupported() { return BiosCharacteristic(9); }
int CQVSmbiosFamilyReader::IsBiosUpgradeable() { return BiosCharacteristic(11); }
int CQVSmbiosFamilyReader::IsShadowingAllowed() { return BiosCharacteristic(12); }
int CQVSmbiosFamilyReader::IsVlvesaSupported() { return BiosCharacteristic(13); }
int CQVSmbiosFamilyReader::IsEscdAvailable() { return BiosCharacteristic(14); }
int CQVSmbiosFamilyReader::IsInfraRedSupported() { return 0; }

int CQVSmbiosFamilyReader::IsTheLanSupported()
{
    UC v = 0;
    return GetDMIBYTE(kMakerNetwork, 4, v, 1);
}

int CQVSmbiosFamilyReader::IsTheBootRomSupported() { return 0; }
int CQVSmbiosFamilyReader::IsTheTattooingSupported() { return 0; }

int CQVSmbiosFamilyReader::IsMiniTower()
{
    UC v = 0;
    return GetDMIBYTE(kEnclosure, 5, v, 1) && (v & 0x7F) == 6 ? 1 : 0;
}

int CQVSmbiosFamilyReader::IsEmbeddedVideoUsed() { return 0; }
int CQVSmbiosFamilyReader::IsPCMCIAPresent() { return 0; }
int CQVSmbiosFamilyReader::GetBaseMemory(US&) { return 0; }
int CQVSmbiosFamilyReader::GetExtendedMemory(US&) { return 0; }
int CQVSmbiosFamilyReader::GetBiosRomSize(UC& v) { return GetDMIBYTE(kBios, 9, v, 1); }
int CQVSmbiosFamilyReader::GetBiosStartingAddress(US& v) { return GetDMIWORD(kBios, 6, v, 1); }

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNumberOfProcessor() { return GetSubstructureOccurence(kProcessor); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNumberOfSystemSlots() { return GetSubstructureOccurence(kSystemSlot); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNumberOfSIMMSlots() { return GetSubstructureOccurence(kMemoryModule); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNumberOfCache() { return GetSubstructureOccurence(kCache); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNumberOfConnector() { return GetSubstructureOccurence(kPortConnector); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNumberOfDisk() { return GetSubstructureOccurence(kMakerDisk); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNumberOfOEMStrings() { return ByteOr0(kOemStrings, 4); }

int CQVSmbiosFamilyReader::GetStringOfOEMStringOccurence(UC occurrence, UC number, UC* b, UC l)
{
    return GetDMIString(kOemStrings, occurrence, b, l, number) == 1 ? 1 : 0;
}

CQVDMIBIOSVirtual::US CQVSmbiosFamilyReader::GetInstalledSizeOfCacheOccurence(UC n)
{
    const US v = WordOr0(kCache, 4, n);
    return (v & 0x8000) ? US((v & 0x7FFF) * 64) : v;
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetLevelOfCacheOccurence(UC n)
{
    return UC(WordOr0(kCache, 5, n) & 0xF8);
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetTypeOfSystemSlotOccurence(UC n) { return ByteOr0(kSystemSlot, 5, n); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetWidthOfSystemSlotOccurence(UC n) { return ByteOr0(kSystemSlot, 6, n); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetUsageOfSystemSlotOccurence(UC n) { return ByteOr0(kSystemSlot, 7, n); }

int CQVSmbiosFamilyReader::GetDesignationOfSystemSlotOccurence(UC n, UC* b, UC l)
{
    return GetDMIString(kSystemSlot, n, 4, b, l);
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetPortTypeOfConnectorOccurence(UC n) { return ByteOr0(kPortConnector, 8, n); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetTypeOfConnectorOccurence(UC n) { return ByteOr0(kPortConnector, 7, n); }

int CQVSmbiosFamilyReader::GetDesignationOfConnectorOccurence(UC n, UC* b, UC l)
{
    return GetDMIString(kPortConnector, n, 6, b, l);
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetSizeOfSIMMSlotOccurrence(UC n) { return ByteOr0(kMemoryModule, 9, n); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetSpeedOfSIMMSlotOccurrence(UC n) { return ByteOr0(kMemoryModule, 6, n); }

int CQVSmbiosFamilyReader::IsSIMMSlotOccurrenceFree(UC n)
{
    UC size = 0;
    return GetDMIBYTE(kMemoryModule, 9, size, n) && (size & 0x7F) != 0x7F ? 1 : 0;
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetTypeOfProcessorOccurence(UC n) { return ByteOr0(kProcessor, 5, n); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetFamillyOfProcessorOccurence(UC n) { return ByteOr0(kProcessor, 6, n); }
CQVDMIBIOSVirtual::US CQVSmbiosFamilyReader::GetMaxSpeedOfProcessorOccurence(UC n) { return WordOr0(kProcessor, 20, n); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetUpgradeOfProcessorOccurence(UC n) { return ByteOr0(kProcessor, 25, n); }

int CQVSmbiosFamilyReader::GetVersionOfProcessorOccurence(UC n, UC* b, UC l)
{
    return GetDMIString(kProcessor, n, 16, b, l);
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetStatusOfProcessorOccurence(UC n) { return ByteOr0(kProcessor, 24, n); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNbOfProtocolsForBootrom() { return ByteOr0(kMakerNetwork, 15); }

int CQVSmbiosFamilyReader::GetNameOfBootromProtocol(UC protocol, UC* b, UC l)
{
    if (protocol >= GetNbOfProtocolsForBootrom() || protocol > 255 - 17) return 0;
    return GetDMIString(kMakerNetwork, 1, UC(17 + protocol), b, l);
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetRemoteStartValue() { return 0; }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetTypeOfDiskOccurrence(UC) { return ByteOr0(kMakerDisk, 4); }
CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetStorageTypeOfDiskOccurrence(UC) { return ByteOr0(kMakerDisk, 6); }

int CQVSmbiosFamilyReader::GetPostErrorCode(UC entry, US& v)
{
    const unsigned offset = 4 + 4u * entry;
    return offset <= 255 ? GetDMIWORD(kMakerPostCodes, UC(offset), v, 1) : 0;
}

int CQVSmbiosFamilyReader::GetPostTestPoint(UC entry, US& v)
{
    const unsigned offset = 6 + 4u * entry;
    return offset <= 255 ? GetDMIWORD(kMakerPostCodes, UC(offset), v, 1) : 0;
}

int CQVSmbiosFamilyReader::Get16BitsQVPEPtr(US& high, US& low)
{
    unsigned long pointer = 0;
    if (!GetDMIDWORD(kMakerIdentification, 9, pointer, 1)) return 0;
    high = US(pointer >> 16);
    low = US(pointer & 0xFFFF);
    return 1;
}

CQVDMIBIOSVirtual::UC CQVSmbiosFamilyReader::GetNbOfHardwareParameters()
{
    return GetSubstructureOccurence(kMakerHardwareMonitor);
}

// The hardware-monitor getters read the first structure of the type, whatever occurrence is asked.
int CQVSmbiosFamilyReader::GetDefinitionOfHWMOccurence(UC, UC& v) { return GetDMIBYTE(kMakerHardwareMonitor, 4, v, 1); }
int CQVSmbiosFamilyReader::GetLocationOfHWMOccurence(UC, US& v) { return GetDMIWORD(kMakerHardwareMonitor, 5, v, 1); }
int CQVSmbiosFamilyReader::GetIdentificationOfHWMOccurence(UC, US& v) { return GetDMIWORD(kMakerHardwareMonitor, 7, v, 1); }
int CQVSmbiosFamilyReader::GetCapabilitiesOfHWMOccurence(UC, ULL& v) { return GetDMIQWORD(kMakerHardwareMonitor, 9, v, 1); }
int CQVSmbiosFamilyReader::GetScaleOfHWMOccurence(UC, US& v) { return GetDMIWORD(kMakerHardwareMonitor, 17, v, 1); }
int CQVSmbiosFamilyReader::GetLowThresholdOfHWMOccurence(UC, US& v) { return GetDMIWORD(kMakerHardwareMonitor, 19, v, 1); }
int CQVSmbiosFamilyReader::GetHighThresholdOfHWMOccurence(UC, US& v) { return GetDMIWORD(kMakerHardwareMonitor, 21, v, 1); }
int CQVSmbiosFamilyReader::GetIdealValueOfHWMOccurence(UC, US& v) { return GetDMIWORD(kMakerHardwareMonitor, 23, v, 1); }
int CQVSmbiosFamilyReader::GetSpecialValueOfHWMOccurence(UC, US& v) { return GetDMIWORD(kMakerHardwareMonitor, 25, v, 1); }
int CQVSmbiosFamilyReader::GetHardwareSecuritySettings(UC& v) { return GetDMIBYTE(kHardwareSecurity, 4, v, 1); }
