// Fixed records of the three table generations and where this image puts them.
#pragma once

#include <cstdint>

namespace qv::sim {

#pragma pack(push, 1)

// SMBIOS 2.1 entry point, with its intermediate "_DMI_" part.
struct SmbiosEntryPoint {
    char anchor[4];                 // "_SM_"
    uint8_t checksum;               // over `length` bytes
    uint8_t length;                 // 0x1F
    uint8_t majorVersion;
    uint8_t minorVersion;
    uint16_t maxStructureSize;
    uint8_t entryPointRevision;
    uint8_t formattedArea[5];
    char intermediateAnchor[5];     // "_DMI_"
    uint8_t intermediateChecksum;   // over the 15 bytes from intermediateAnchor
    uint16_t tableLength;
    uint32_t tableAddress;          // below 1 MB: the maker's readers use segment bits and offset
    uint16_t structureCount;
    uint8_t bcdRevision;
};
static_assert(sizeof(SmbiosEntryPoint) == 31);

// "_DMI20_NT_" anchor; its index of 8-byte entries starts right behind it, at offset 13.
struct Dmi20Anchor {
    char anchor[10];
    uint8_t version;
    uint16_t length;                // anchor and index, terminating entry included
};
static_assert(sizeof(Dmi20Anchor) == 13);

struct Dmi20IndexEntry {
    uint16_t structureOffset;       // within the F0000h segment; 0 ends the index
    uint16_t reserved0;
    uint32_t reserved1;
};
static_assert(sizeof(Dmi20IndexEntry) == 8);

// "$DMI" header, on a 16-byte boundary of the F0000h segment.
struct Dmi10Header {
    char anchor[4];
    uint8_t version;
    uint8_t length;                 // 14; the header checksum covers length - 1 bytes
    uint16_t structureOffset;       // far pointer to the first record: offset, then segment
    uint16_t structureSegment;
    uint16_t areaLength;
    uint8_t areaChecksum;
    uint8_t headerChecksum;
};
static_assert(sizeof(Dmi10Header) == 14);

#pragma pack(pop)

// Placement. The SMBIOS table sits in the E segment so that a 128 KB window at its segment
// (as the maker's readers map it) stays inside the 1 MiB image.
inline constexpr uint32_t kBiosSegmentBase = 0xF0000;
inline constexpr uint16_t kBiosSegment = 0xF000;
inline constexpr uint32_t kSmbiosEntryAddress = 0xF0800;
inline constexpr uint32_t kSmbiosTableAddress = 0xE1000;
inline constexpr uint32_t kSmbiosTableLimit = 0xF0000;
inline constexpr uint32_t kDmi20AnchorAddress = 0xF2000;
inline constexpr uint32_t kDmi10HeaderAddress = 0xF3000;
inline constexpr uint32_t kDmi10AreaAddress = 0xF3010;
// The maker's DMI 2.0 walk stops at 0xFFF80; keep both segment-F tables below it.
inline constexpr uint32_t kSegmentTableLimit = 0xFFF80;

inline constexpr uint8_t kMakerRecordType = 128;

} // namespace qv::sim
