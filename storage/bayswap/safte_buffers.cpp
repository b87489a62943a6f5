#include "safte_buffers.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

struct SAFteModel {
    const char* productId;
    size_t compared;
    uint8_t bType;
};

constexpr SAFteModel vSAFtes[] = {
    {"SAFTE; U160/M BP", 16, bMF3},
    {"GEM318", 6, bSAFteCheap},
    {"K3817C", 6, bSAFteCheap},
};

bool startsWithIgnoringCase(const char* field, size_t width, const char* text, size_t compared)
{
    if (compared > width) return false;
    for (size_t i = 0; i < compared; ++i)
        if (std::toupper(static_cast<unsigned char>(field[i])) != std::toupper(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

} // namespace

uint8_t SAFteTypeOfInquiry(const SAFteInquiryType& inquiry)
{
    if ((inquiry.bType & 0x1F) != kPeripheralProcessor) return 0;
    if (std::memcmp(inquiry.SAFteIFace, "SAF-TE", sizeof inquiry.SAFteIFace) != 0) return 0;
    for (const SAFteModel& model : vSAFtes)
        if (startsWithIgnoringCase(inquiry.ProductId, sizeof inquiry.ProductId, model.productId, model.compared))
            return model.bType;
    return bSAFte;
}

unsigned SAFteSlotCount(const EnclosureConfigType& config) { return std::min<unsigned>(config.nSlots, kSAFteSlotsMax); }

size_t SAFteStatusLength(const EnclosureConfigType& config)
{
    return size_t(config.nFans) + config.nPowerSupplies + SAFteSlotCount(config) + 80;
}

void SAFteSlotIds(const EnclosureConfigType& config, const uint8_t* status, size_t length,
                  uint8_t ids[kSAFteSlotsMax])
{
    std::fill(ids, ids + kSAFteSlotsMax, kSlotIdUnread);
    const size_t first = size_t(config.nFans) + config.nPowerSupplies;
    for (unsigned i = 0; i < SAFteSlotCount(config); ++i)
        if (first + i < length) ids[i] = status[first + i];
}

bool SAFteSlotStatus(const uint8_t* status, size_t length, unsigned slot, DeviceStatusType* out)
{
    const size_t at = size_t(slot) * sizeof(DeviceStatusType);
    if (status == nullptr || at + sizeof(DeviceStatusType) > length) return false;
    std::memcpy(out, status + at, sizeof *out);
    return true;
}
