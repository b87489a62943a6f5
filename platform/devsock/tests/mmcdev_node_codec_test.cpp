// The controller driver's blocks as the real node receives them, with a fake driver in place of
// the ioctl.
#include "mmcdev_driver_blocks.h"
#include "mmcdev_node_codec.h"
#include "mmcdev_payload.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace qv::devsock;
using namespace qv::devsock::mmcdev;

namespace {

uint8_t* at(uint32_t address) { return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address)); }

} // namespace

TEST(MmcdevNodeCodec, SendReceiveHandsTheDriverAddressableBuffersAndReadsItsCount)
{
    NodeCodec codec;
    struct Case {
        uint8_t driverCount;  // olen the fake driver writes back
        size_t expectedData;
    } cases[] = {{3, 3}, {0, 0}, {200, 8}};  // a count above the capacity is never believed
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.driverCount});
        unsigned long seenRequest = 0;
        std::vector<uint8_t> seenInput;
        ChannelReply reply;
        int error = codec.issue({kSendReceive, {0x18, 0x01, 0xAA}, 8, kRetcodeBytes}, reply,
                                [&](unsigned long request, void* raw) {
                                    auto* block = static_cast<SEND_RCV*>(raw);
                                    seenRequest = request;
                                    seenInput.assign(at(block->input), at(block->input) + block->ilen);
                                    EXPECT_EQ(block->olen, 8);
                                    std::memset(at(block->output), 0x5A, block->olen);
                                    block->olen = c.driverCount;
                                    block->retcode = 0x0101;
                                    return 0;
                                });
        ASSERT_EQ(error, 0);
        EXPECT_EQ(seenRequest, 1u);
        EXPECT_EQ(seenInput, (std::vector<uint8_t>{0x18, 0x01, 0xAA}));
        EXPECT_EQ(reply.status, (std::vector<uint8_t>{0x01, 0x01}));
        EXPECT_EQ(reply.dataIn, std::vector<uint8_t>(c.expectedData, 0x5A));
    }
}

TEST(MmcdevNodeCodec, PortsVersionAndFailures)
{
    NodeCodec codec;
    ChannelReply reply;
    // Port write: one byte out, nothing in.
    ASSERT_EQ(codec.issue({kWritePort2, {0x42}, 0, kRetcodeBytes}, reply,
                          [](unsigned long request, void* raw) {
                              auto* block = static_cast<SEND_RCV*>(raw);
                              EXPECT_EQ(request, 7u);
                              EXPECT_EQ(block->ilen, 1);
                              EXPECT_EQ(*at(block->input), 0x42);
                              const uint32_t output = block->output;  // packed: no reference
                              EXPECT_EQ(output, 0u);
                              return 0;
                          }),
              0);
    EXPECT_TRUE(reply.dataIn.empty());

    // Version: the block after its retcode is the data.
    ASSERT_EQ(codec.issue({kDriverVersion, {}, 10, kRetcodeBytes}, reply,
                          [](unsigned long request, void* raw) {
                              EXPECT_EQ(request, 2u);
                              auto* block = static_cast<KERNEL_VERSION*>(raw);
                              block->retcode = 0x0102;
                              std::memcpy(block->oem_name, "DRVNAM", 7);
                              block->version_major = 4;
                              return 0;
                          }),
              0);
    EXPECT_EQ(reply.status, (std::vector<uint8_t>{0x02, 0x01}));
    ASSERT_EQ(reply.dataIn.size(), 10u);
    EXPECT_EQ(reply.dataIn[0], 'D');
    EXPECT_EQ(reply.dataIn[8], 4);

    // A failed ioctl gives its errno; a request the block cannot carry is refused unsent.
    bool called = false;
    auto failing = [&](unsigned long, void*) {
        called = true;
        errno = ENOTTY;
        return -1;
    };
    EXPECT_EQ(codec.issue({kReadPort1, {}, 1, kRetcodeBytes}, reply, failing), ENOTTY);
    called = false;
    EXPECT_EQ(codec.issue({kSendReceive, std::vector<uint8_t>(256), 8, kRetcodeBytes}, reply, failing),
              EINVAL);
    EXPECT_EQ(codec.issue({kSendReceive, {0x18}, 8, 0}, reply, failing), EINVAL);
    EXPECT_FALSE(called);
}
