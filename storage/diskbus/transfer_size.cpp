#include "transfer_size.h"

#include <iterator>

namespace {
enum class LengthField {
    Blocks4,        // byte 4 counts 512-byte blocks
    Bytes78,        // bytes 7-8, big-endian
    Blocks78,       // bytes 7-8 count 512-byte blocks
    Bytes678,       // bytes 6-8, big-endian
    Fixed8,         // always 8 bytes
};

struct TransferRule {
    uint8_t opcode;
    LengthField field;
};

constexpr TransferRule kTransferRules[] = {
    {0x08, LengthField::Blocks4},    // READ(6)
    {0x0A, LengthField::Blocks4},    // WRITE(6)
    {0x20, LengthField::Bytes78},
    {0x4C, LengthField::Bytes78},    // LOG SELECT
    {0x4D, LengthField::Bytes78},    // LOG SENSE
    {0x25, LengthField::Fixed8},     // READ CAPACITY
    {0x28, LengthField::Blocks78},   // READ(10)
    {0x2A, LengthField::Blocks78},   // WRITE(10)
    {0x3B, LengthField::Bytes678},   // WRITE BUFFER
    {0x3C, LengthField::Bytes678},   // READ BUFFER
};

constexpr uint32_t kBlock = 512;
} // namespace

uint32_t GetXFerSize(const uint8_t* cdb, unsigned cdbLength) {
    if (cdb == nullptr || cdbLength == 0)
        return 0;
    for (const auto& rule : kTransferRules) {
        if (rule.opcode != cdb[0])
            continue;
        switch (rule.field) {
        case LengthField::Blocks4:
            return cdbLength > 4 ? cdb[4] * kBlock : 0;
        case LengthField::Bytes78:
            return cdbLength > 8 ? (uint32_t(cdb[7]) << 8 | cdb[8]) : 0;
        case LengthField::Blocks78:
            return cdbLength > 8 ? (uint32_t(cdb[7]) << 8 | cdb[8]) * kBlock : 0;
        case LengthField::Bytes678:
            return cdbLength > 8 ? (uint32_t(cdb[6]) << 16 | uint32_t(cdb[7]) << 8 | cdb[8]) : 0;
        case LengthField::Fixed8:
            return 8;
        }
    }
    return cdbLength == 6 ? cdb[4] : 0;
}
