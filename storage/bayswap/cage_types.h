// Records every user of the hot-swap cage library sees. The cage descriptor crosses the drive-cage
// service's socket and its MIB as raw bytes: 72 bytes, little-endian, no padding.
#pragma once

#include <cstdint>

using ErrorType = uint32_t;

#pragma pack(push, 1)
struct BayInfoType {
    uint8_t idTarget;    // SCSI id of the drive slot
    uint8_t bPresent;    // 1 when a drive is in the slot
    uint16_t location;   // position of the bay in its cage
};
static_assert(sizeof(BayInfoType) == 4);

inline constexpr unsigned kCageBaysMax = 16;

struct CageDescType {
    uint16_t cageAddr;
    uint16_t nBays;      // valid entries of rgBays
    uint8_t idAdapter;   // 0xFF while unknown
    uint8_t idChannel;   // 0xFF while unknown
    uint8_t bType;
    uint8_t reserved;
    BayInfoType rgBays[kCageBaysMax];
};
static_assert(sizeof(CageDescType) == 72);

struct CageInfoType {
    uint16_t cageAddr;
    uint16_t nBays;
    BayInfoType rgBays[8];
};
static_assert(sizeof(CageInfoType) == 36);
#pragma pack(pop)

// Cage types (bType).
inline constexpr uint8_t bMF1 = 1;
inline constexpr uint8_t bMF2 = 2;
inline constexpr uint8_t bSAFte = 0x10;
inline constexpr uint8_t bMF3 = 0x13;
inline constexpr uint8_t bSAFteCheap = 0x30;
inline constexpr uint8_t bMFMask = 0x0F;
inline constexpr uint8_t bSAFteAny = 0x10;
inline constexpr uint8_t bMFAny = 0;

inline constexpr unsigned nCagesMax = 16;
inline constexpr unsigned nUnitsMax = 16;   // SAF-TE enclosures

// A bay's indication, as the enclosure slot states show it.
enum LEDSeverity : uint32_t { ledUNKNOWN = 0, ledNORMAL = 1, ledWARNING = 2, ledFAILURE = 3 };
static_assert(sizeof(LEDSeverity) == 4);
