#include "transfer_size.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TransferSize, LengthImpliedByEachCommandBlock) {
    struct Case {
        std::vector<uint8_t> cdb;
        uint32_t size;
    };
    const Case cases[] = {
        {{0x12, 0, 0, 0, 0xF0, 0}, 240},                       // INQUIRY: byte 4 of a 6-byte block
        {{0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8},                // READ CAPACITY
        {{0x4D, 0, 0x72, 0, 0, 0, 0, 0, 0xD0, 0}, 208},        // LOG SENSE
        {{0x4C, 0x01, 0x40, 0, 0, 0, 0, 0x01, 0x02, 0}, 258},  // LOG SELECT
        {{0x3B, 0x05, 0, 0, 0, 0, 0, 0x80, 0, 0}, 32768},      // WRITE BUFFER: bytes 6-8
        {{0x3C, 0, 0, 0, 0, 0, 0x01, 0, 0, 0}, 65536},
        {{0x08, 0, 0x03, 0x04, 0x01, 0}, 512},                 // READ(6): blocks
        {{0x0A, 0, 0, 0, 0x02, 0}, 1024},
        {{0x28, 0, 0, 0, 0, 0, 0, 0, 0x80, 0}, 65536},         // READ(10) of 128 blocks
        {{0x2A, 0, 0, 0, 0, 0, 0, 0, 0x01, 0}, 512},
        {{0x00, 0, 0, 0, 0, 0}, 0},                            // TEST UNIT READY
        {{0x1A, 0x08, 0, 0, 0xFF, 0}, 255},                    // MODE SENSE(6)
        {{0x5A, 0, 0, 0, 0, 0, 0, 0x10, 0, 0}, 0},             // another 10-byte block
        {{0x4D, 0, 0x72}, 0},                                  // too short for its length field
        {{0x08, 0, 0}, 0},
        {{}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.cdb));
        EXPECT_EQ(GetXFerSize(c.cdb.data(), static_cast<unsigned>(c.cdb.size())), c.size);
    }
    EXPECT_EQ(GetXFerSize(nullptr, 6), 0u);
}

} // namespace
