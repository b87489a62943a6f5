#include "dmi10_reader.h"

#include <cstdio>
#include <cstring>
#include <functional>

#include "segment_view.h"

using qv::dmi::copyStructure;
using qv::dmi::copyText;
using qv::dmi::SegmentMapping;
using qv::dmi::SegmentView;

namespace {

constexpr unsigned short kHeaderSegment = 0xF000;
constexpr std::size_t kLastAnchorOffset = 65531;
constexpr const char* kUnknown = "Unknown";

enum RecordType : unsigned char {
    kBios = 1, kSystemComponent = 2, kProcessor = 3, kMemoryModule = 4, kCache = 5,
    kConnector = 6, kSystemSlot = 7, kMakerIdentification = 128, kConfiguration = 129,
    kDisk = 130, kSystemInformation = 132, kPostCodes = 133, kNetwork = 134,
};

enum PointerWidth : unsigned char { kNear = 2, kFar = 4 };

// Byte offsets inside the "ELOG" area, which starts 4 bytes before the anchor.
constexpr std::size_t kElogAnchorOffset = 4;
constexpr std::size_t kElogVideoVersion = 74;
constexpr std::size_t kElogScsiVersion = 82;
constexpr std::size_t kElogFlags = 91;
constexpr std::size_t kElogSerial1 = 112;
constexpr std::size_t kElogSerial2 = 114;
constexpr std::size_t kElogParallel1 = 116;
constexpr std::size_t kElogAreaSize = 118;

// Built once per process from the first "ELOG" area found.
struct OemStringTable {
    bool built = false;
    char strings[CQVDMIBIOS10::kOemStringCount][CQVDMIBIOS10::kOemStringSize] = {};
};
OemStringTable g_oemStrings;

uint8_t checksumOf(const uint8_t* data, std::size_t count)
{
    uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum = uint8_t(sum + data[i]);
    return uint8_t(0x100 - sum);
}

void formatPort(char* out, const char* label, char number, const SegmentView& view, std::size_t low)
{
    const uint8_t lo = view.byteOr0(low), hi = view.byteOr0(low + 1);
    std::snprintf(out, CQVDMIBIOS10::kOemStringSize, "%s%c%.1x%.3x", label, number, hi >> 4,
                  ((hi & 0x0F) << 8) + lo);
}

bool buildOemStrings(const SegmentView& view)
{
    std::optional<std::size_t> area;
    // Only an area that lies wholly inside the segment is taken.
    for (std::size_t from = kElogAnchorOffset; from <= kLastAnchorOffset; ++from) {
        auto hit = view.find("ELOG", 4, from, kLastAnchorOffset);
        if (!hit) return false;
        if (*hit >= kElogAnchorOffset && view.contains(*hit - kElogAnchorOffset, kElogAreaSize)) {
            area = *hit - kElogAnchorOffset;
            break;
        }
        from = *hit;
    }
    if (!area) return false;
    auto& s = g_oemStrings.strings;
    std::memset(s, 0, sizeof s);
    std::memcpy(s[0], view.data() + *area + kElogVideoVersion, 8);
    std::memcpy(s[1], view.data() + *area + kElogScsiVersion, 8);
    std::snprintf(s[2], sizeof s[2], "Flags---Status%.2x", view.byteOr0(*area + kElogFlags));
    formatPort(s[3], "Serial---Port", '1', view, *area + kElogSerial1);
    formatPort(s[4], "Serial---Port", '2', view, *area + kElogSerial2);
    formatPort(s[5], "Parallel-Port", '1', view, *area + kElogParallel1);
    g_oemStrings.built = true;
    return true;
}

// Visits records from `start` until a type or length byte of 0 or the end of the mapping.
void walkRecords(const SegmentView& view, std::size_t start, const std::function<bool(std::size_t)>& visit)
{
    for (std::size_t off = start; view.contains(off, 2); off += view.byteOr0(off + 1)) {
        if (view.byteOr0(off) == 0 || view.byteOr0(off + 1) == 0) return;
        if (visit(off)) return;
    }
}

} // namespace

int CQVDMIBIOS10::IsDMIBIOSPresent()
{
    if (m_bBIOSScanned) return m_bTableOk;
    m_bBIOSScanned = 1;
    m_bTableOk = ScanForTable() ? 1 : 0;
    if (m_bTableOk) m_bDMIBIOSVersion = 10;
    return m_bTableOk;
}

bool CQVDMIBIOS10::ScanForTable()
{
    DMI10_HEADER header{};
    {
        SegmentMapping mapping(m_pDriver, kHeaderSegment);
        const SegmentView& view = mapping.view();
        if (!view.valid()) return false;
        auto at = view.find("$DMI", 4, 0, kLastAnchorOffset);
        if (!at || !view.contains(*at, sizeof header)) return false;
        std::memcpy(&header, view.data() + *at, sizeof header);
        m_wHeaderOff = uint16_t(*at);
        const std::size_t covered = header.bLenght ? header.bLenght - 1u : 0;
        if (covered == 0 || !view.contains(*at, covered) ||
            checksumOf(view.data() + *at, covered) != header.bDMIheaderChecksum)
            return false;
    }
    m_wTableOff = uint16_t(header.dwStructPtr & 0xFFFF);
    m_wTableSeg = uint16_t(header.dwStructPtr >> 16);
    SegmentMapping mapping(m_pDriver, m_wTableSeg);
    const SegmentView& view = mapping.view();
    return view.valid() && view.contains(m_wTableOff, header.wStructLenght) &&
           checksumOf(view.data() + m_wTableOff, header.wStructLenght) == header.bSubStructChecksum;
}

int CQVDMIBIOS10::GetDMISubStructure(UC type, UC occurrence, UC* buffer, UC& length)
{
    if (!m_bTableOk) return 0;
    SegmentMapping mapping(m_pDriver, m_wTableSeg);
    const SegmentView& view = mapping.view();
    int result = 0;
    unsigned seen = 0;
    walkRecords(view, m_wTableOff, [&](std::size_t off) {
        if (view.byteOr0(off) != type || ++seen != occurrence) return false;
        result = copyStructure(view, off, view.byteOr0(off + 1), buffer, length);
        return true;
    });
    return result;
}

int CQVDMIBIOS10::GetFirstDMISubStructure(UC* buffer, UC& length)
{
    m_wCurrentStructOff = m_wTableOff;
    return GetNextDMISubStructure(buffer, length);
}

int CQVDMIBIOS10::GetNextDMISubStructure(UC* buffer, UC& length)
{
    if (!m_bTableOk) return 0;
    SegmentMapping mapping(m_pDriver, m_wTableSeg);
    const SegmentView& view = mapping.view();
    const std::size_t off = m_wCurrentStructOff;
    if (!view.contains(off, 2) || view.byteOr0(off) == 0 || view.byteOr0(off + 1) == 0) return 0;
    const int result = copyStructure(view, off, view.byteOr0(off + 1), buffer, length);
    if (result == 1) m_wCurrentStructOff += view.byteOr0(off + 1);
    return result;
}

int CQVDMIBIOS10::GetDMIString(unsigned long farAddress, UC* buffer, UC length)
{
    if (!buffer || length == 0) return 0;
    const unsigned short segment = uint16_t(farAddress >> 16) ? uint16_t(farAddress >> 16) : m_wTableSeg;
    SegmentMapping mapping(m_pDriver, segment);
    return mapping.view().copyString(farAddress & 0xFFFF, buffer, length) ? 1 : 0;
}

int CQVDMIBIOS10::PointedString(UC type, UC offset, UC width, UC* buffer, UC length, UC occurrence)
{
    ULL pointer = 0;
    if (!ReadField(type, offset, width, pointer, occurrence)) return 0;
    return GetDMIString(static_cast<unsigned long>(pointer), buffer, length);
}

int CQVDMIBIOS10::StringOrUnknown(UC type, UC offset, UC width, UC* buffer, UC length)
{
    if (!PointedString(type, offset, width, buffer, length)) copyText(buffer, length, kUnknown);
    return 1;
}

CQVDMIBIOSVirtual::UC CQVDMIBIOS10::ByteOr0(UC type, UC offset, UC occurrence)
{
    UC v = 0;
    return GetDMIBYTE(type, offset, v, occurrence) ? v : 0;
}

CQVDMIBIOSVirtual::US CQVDMIBIOS10::WordOr0(UC type, UC offset, UC occurrence)
{
    US v = 0;
    return GetDMIWORD(type, offset, v, occurrence) ? v : 0;
}

int CQVDMIBIOS10::GetStringOfOEMStringOccurence(UC, UC number, UC* buffer, UC length)
{
    if (!g_oemStrings.built) {
        SegmentMapping mapping(m_pDriver, kHeaderSegment);
        if (!buildOemStrings(mapping.view())) return 0;
    }
    if (!buffer || length < kOemStringSize || number < 1 || number > kOemStringCount) return 0;
    std::memcpy(buffer, g_oemStrings.strings[number - 1], kOemStringSize);
    return 1;
}

int CQVDMIBIOS10::GetComputerIdentification(UC& code)
{
    US capitals = 0;
    if (!GetDMIWORD(kMakerIdentification, 2, capitals, 1) || capitals != ('Q' | ('V' << 8))) return 0;
    return GetDMIBYTE(kMakerIdentification, 4, code, 1);
}

int CQVDMIBIOS10::GetComputerName(UC* b, UC l) { return PointedString(kSystemComponent, 4, kNear, b, l); }
int CQVDMIBIOS10::GetProcessorSpeed(int p, US& v) { return GetDMIWORD(kProcessor, 8, v, UC(p)); }

int CQVDMIBIOS10::GetBiosVersion(UC* buffer, UC length)
{
    ULL pointer = 0;
    if (!ReadField(kSystemInformation, 8, kFar, pointer, 1)) return 0;
    if (!GetDMIString(static_cast<unsigned long>(pointer), buffer, length)) copyText(buffer, length, kUnknown);
    return 1;
}

int CQVDMIBIOS10::GetSCSIBiosVersion(UC* b, UC l) { return GetStringOfOEMStringOccurence(1, 2, b, l); }
int CQVDMIBIOS10::GetVideoBiosVersion(UC* b, UC l) { return GetStringOfOEMStringOccurence(1, 1, b, l); }
int CQVDMIBIOS10::GetBiosReleaseDate(UC* b, UC l) { return PointedString(kBios, 12, kFar, b, l); }
int CQVDMIBIOS10::GetBiosManufacturer(UC* b, UC l) { return StringOrUnknown(kBios, 2, kFar, b, l); }
int CQVDMIBIOS10::GetSystemBootUpTime(UC* b, UC l) { return PointedString(kSystemInformation, 2, kNear, b, l); }
int CQVDMIBIOS10::GetQVSerialNumber(UC* b, UC l) { return PointedString(kSystemComponent, 8, kNear, b, l); }

int CQVDMIBIOS10::GetTheMacAddress(UC* buffer, UC length)
{
    if (!buffer || length <= 12) return 0;
    UC mac[6];
    for (UC i = 0; i < 6; ++i)
        if (!GetDMIBYTE(kNetwork, UC(2 + i), mac[i], 1)) return 0;
    char text[13];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    copyText(buffer, length, text);
    return 1;
}

int CQVDMIBIOS10::GetCommunicationPortNumber(UC& first, UC& second)
{
    first = second = 0;
    UC count = 0;
    if (!GetDMIBYTE(kConfiguration, 2, count, 1)) return 0;
    first = count & 0x0F;
    second = count >> 4;
    return 1;
}

int CQVDMIBIOS10::BiosCharacteristic(UC bit)
{
    unsigned long characteristics = 0;
    return GetDMIDWORD(kBios, 16, characteristics, 1) ? IsBitSet(characteristics, bit) : 0;
}

int CQVDMIBIOS10::Capability(UC bit) { return IsBitSet(ByteOr0(kMakerIdentification, 5), bit); }

int CQVDMIBIOS10::IsIsaSupported() { return BiosCharacteristic(4); }
int CQVDMIBIOS10::IsMcaSupported() { return BiosCharacteristic(5); }
int CQVDMIBIOS10::IsEisaSupported() { return BiosCharacteristic(6); }
int CQVDMIBIOS10::IsPciSupported() { return BiosCharacteristic(7); }
int CQVDMIBIOS10::IsPcmciaSupported() { return BiosCharacteristic(8); }
int CQVDMIBIOS10::IsPnpSupported() { return BiosCharacteristic(9); }
int CQVDMIBIOS10::IsBiosUpgradeable() { return BiosCharacteristic(11); }
int CQVDMIBIOS10::IsShadowingAllowed() { return BiosCharacteristic(12); }
int CQVDMIBIOS10::IsVlvesaSupported() { return BiosCharacteristic(13); }
int CQVDMIBIOS10::IsEscdAvailable() { return BiosCharacteristic(14); }
int CQVDMIBIOS10::IsInfraRedSupported() { return Capability(5); }
int CQVDMIBIOS10::IsTheLanSupported() { return Capability(2); }
int CQVDMIBIOS10::IsTheBootRomSupported() { return Capability(0); }
int CQVDMIBIOS10::IsTheTattooingSupported() { return Capability(7); }
int CQVDMIBIOS10::IsMiniTower() { return Capability(3); }
int CQVDMIBIOS10::IsEmbeddedVideoUsed() { return Capability(1); }
int CQVDMIBIOS10::IsPCMCIAPresent() { return Capability(6); }
int CQVDMIBIOS10::GetBaseMemory(US& v) { return GetDMIWORD(kSystemInformation, 4, v, 1); }
int CQVDMIBIOS10::GetExtendedMemory(US& v) { return GetDMIWORD(kSystemInformation, 6, v, 1); }
// The record declares the ROM size at byte 21 (characteristics fill bytes 16 to 20).
int CQVDMIBIOS10::GetBiosRomSize(UC& v) { return GetDMIBYTE(kBios, 21, v, 1); }
int CQVDMIBIOS10::GetBiosStartingAddress(US& v) { return GetDMIWORD(kBios, 10, v, 1); }

CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetNumberOfProcessor() { return GetSubstructureOccurence(kProcessor); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetNumberOfSystemSlots() { return GetSubstructureOccurence(kSystemSlot); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetNumberOfSIMMSlots() { return GetSubstructureOccurence(kMemoryModule); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetNumberOfCache() { return GetSubstructureOccurence(kCache); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetNumberOfConnector() { return GetSubstructureOccurence(kConnector); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetNumberOfDisk() { return GetSubstructureOccurence(kDisk); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetNumberOfOEMStrings() { return kOemStringCount; }

CQVDMIBIOSVirtual::US CQVDMIBIOS10::GetInstalledSizeOfCacheOccurence(UC n) { return ByteOr0(kCache, 4, n); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetLevelOfCacheOccurence(UC n) { return ByteOr0(kCache, 2, n); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetTypeOfSystemSlotOccurence(UC n) { return ByteOr0(kSystemSlot, 4, n); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetWidthOfSystemSlotOccurence(UC n) { return ByteOr0(kSystemSlot, 5, n); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetUsageOfSystemSlotOccurence(UC n) { return ByteOr0(kSystemSlot, 6, n); }

int CQVDMIBIOS10::GetDesignationOfSystemSlotOccurence(UC n, UC* b, UC l)
{
    return PointedString(kSystemSlot, 2, kNear, b, l, n);
}

CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetPortTypeOfConnectorOccurence(UC n) { return ByteOr0(kConnector, 3, n); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetTypeOfConnectorOccurence(UC n) { return ByteOr0(kConnector, 2, n); }

int CQVDMIBIOS10::GetDesignationOfConnectorOccurence(UC n, UC* b, UC l)
{
    return PointedString(kConnector, 4, kNear, b, l, n);
}

CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetSizeOfSIMMSlotOccurrence(UC n) { return ByteOr0(kMemoryModule, 5, n); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetSpeedOfSIMMSlotOccurrence(UC n) { return ByteOr0(kMemoryModule, 7, n); }

int CQVDMIBIOS10::IsSIMMSlotOccurrenceFree(UC n)
{
    const UC size = GetSizeOfSIMMSlotOccurrence(n);
    return size != 0 && size != 255 ? 1 : 0;
}

CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetTypeOfProcessorOccurence(UC n) { return ByteOr0(kProcessor, 2, n); }

CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetFamillyOfProcessorOccurence(UC)
{
    static const struct { const char* name; UC family; } kFamilies[] = {
        {"Pentium", 11}, {"Pentium Pro", 12}, {"Pentium II", 13},
    };
    UC version[kOemStringSize] = {};
    if (!GetVersionOfProcessorOccurence(1, version, sizeof version)) return 0;
    for (const auto& f : kFamilies)
        if (std::strcmp(reinterpret_cast<char*>(version), f.name) == 0) return f.family;
    return 0;
}

CQVDMIBIOSVirtual::US CQVDMIBIOS10::GetMaxSpeedOfProcessorOccurence(UC n) { return WordOr0(kProcessor, 8, n); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetUpgradeOfProcessorOccurence(UC n) { return ByteOr0(kProcessor, 10, n); }

int CQVDMIBIOS10::GetVersionOfProcessorOccurence(UC n, UC* b, UC l)
{
    return PointedString(kProcessor, 6, kNear, b, l, n);
}

CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetStatusOfProcessorOccurence(UC) { return 1; }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetNbOfProtocolsForBootrom() { return ByteOr0(kNetwork, 10); }

int CQVDMIBIOS10::GetNameOfBootromProtocol(UC protocol, UC* b, UC l)
{
    const unsigned offset = 12 + 2u * protocol;
    return offset <= 255 ? PointedString(kNetwork, UC(offset), kNear, b, l) : 0;
}

CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetRemoteStartValue() { return ByteOr0(kNetwork, 11); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetTypeOfDiskOccurrence(UC) { return ByteOr0(kDisk, 2); }
CQVDMIBIOSVirtual::UC CQVDMIBIOS10::GetStorageTypeOfDiskOccurrence(UC) { return ByteOr0(kDisk, 4); }

int CQVDMIBIOS10::GetPostErrorCode(UC entry, US& v)
{
    const unsigned offset = 2 + 4u * entry;
    return offset <= 255 ? GetDMIWORD(kPostCodes, UC(offset), v, 1) : 0;
}

int CQVDMIBIOS10::GetPostTestPoint(UC entry, US& v)
{
    const unsigned offset = 4 + 4u * entry;
    return offset <= 255 ? GetDMIWORD(kPostCodes, UC(offset), v, 1) : 0;
}

int CQVDMIBIOS10::Get16BitsQVPEPtr(US& high, US& low)
{
    unsigned long pointer = 0;
    if (!GetDMIDWORD(kSystemInformation, 14, pointer, 1)) return 0;
    high = US(pointer >> 16);
    low = US(pointer & 0xFFFF);
    return 1;
}
