// The SAF-TE enclosure processor's INQUIRY identity and its read buffers as they arrive from the
// device: the records, the model table, and the readers that take counts, slot ids and slot
// status out of replies of any content.
#pragma once

#include "cage_types.h"

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct SAFteInquiryType {
    uint8_t bType;            // low five bits: peripheral device type (3 processor)
    uint8_t bData01;
    uint8_t bVersion;
    uint8_t bFormat;
    uint8_t cbAdditional;
    uint8_t stuff[3];
    char VendorId[8];
    char ProductId[16];
    char Firmware[4];
    char EnclosureUID[8];
    char SAFteIFace[6];       // "SAF-TE" on an enclosure processor
    char SAFteSpec[4];
    uint8_t VendorData[42];
};
static_assert(sizeof(SAFteInquiryType) == 96);

// Buffer 0.
struct EnclosureConfigType {
    uint8_t nFans;
    uint8_t nPowerSupplies;
    uint8_t nSlots;
    uint8_t fDoorLockInstalled;
    uint8_t nTempSensors;
    uint8_t fSpeakersInstalled;
    uint8_t reserved[57];
    uint8_t cbVendorData;
};
static_assert(sizeof(EnclosureConfigType) == 64);

struct DeviceStateType {
    uint8_t bStatus;
    uint8_t bReserved1;
    uint8_t bReserved2;
};
static_assert(sizeof(DeviceStateType) == 3);

// One slot of buffer 4.
struct DeviceStatusType {
    DeviceStateType state;
    uint8_t bInsert;          // bit 0: a device is in the slot
};
static_assert(sizeof(DeviceStatusType) == 4);
#pragma pack(pop)

inline constexpr uint8_t kSlotOperational = 0x01;
inline constexpr uint8_t kSlotFaulty = 0x02;
inline constexpr uint8_t kSlotPredictedFault = 0x40;
inline constexpr uint8_t kSlotNotConfigured = 0x80;

inline constexpr unsigned kSAFteSlotsMax = 32;
inline constexpr uint8_t kSlotIdUnread = 0x80;
inline constexpr uint8_t kPeripheralProcessor = 3;

// The cage type of an INQUIRY reply: 0 when it is not a SAF-TE enclosure processor, else the type
// of the first model row its product id starts with (letter case ignored), 0x10 for no known model.
uint8_t SAFteTypeOfInquiry(const SAFteInquiryType& inquiry);

// Slots the library handles for a configuration buffer (the enclosure may report more).
unsigned SAFteSlotCount(const EnclosureConfigType& config);
// Length of the enclosure status read for a configuration.
size_t SAFteStatusLength(const EnclosureConfigType& config);
// Each slot's SCSI id out of an enclosure status reply of `length` bytes; a slot whose byte lies
// beyond the reply keeps kSlotIdUnread.
void SAFteSlotIds(const EnclosureConfigType& config, const uint8_t* status, size_t length,
                  uint8_t ids[kSAFteSlotsMax]);
// Slot `slot` of a slot status reply of `length` bytes; false when the reply does not hold it.
bool SAFteSlotStatus(const uint8_t* status, size_t length, unsigned slot, DeviceStatusType* out);
