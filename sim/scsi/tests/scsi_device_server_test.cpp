#include "scsi_device_server.h"

#include <device_channel.h>
#include <sandbox_path.h>
#include <scsi_payload.h>
#include <temp_root.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <thread>

namespace qv::sim::scsi {
namespace {

namespace payload = qv::devsock::scsi;

devsock::ChannelRequest inquiryRequest(uint8_t allocation) {
    payload::SgIoRequestFields fields{};
    fields.direction = payload::kFromDevice;
    fields.cmdLength = 6;
    fields.senseCapacity = 32;
    fields.dataLength = allocation;
    devsock::ChannelRequest request;
    request.code = payload::kSgIo;
    const auto* p = reinterpret_cast<const uint8_t*>(&fields);
    request.dataOut.assign(p, p + sizeof fields);
    for (uint8_t b : {0x12, 0x00, 0x00, 0x00, int(allocation), 0x00})
        request.dataOut.push_back(b);
    request.dataInCapacity = allocation;
    request.statusLength = sizeof(payload::SgIoStatusFields) + 32;
    return request;
}

class ScsiDeviceServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus.load(nlohmann::json::parse(R"({"adapters": [{"host": 0, "driver": "aic7xxx"}],
          "targets": [{"host": 0, "channel": 1, "id": 0, "lun": 2, "sg": 0, "vendor": "QVDISK", "blocks": 100, "block": "/dev/sda"},
                      {"host": 0, "id": 1, "sg": 1, "vendor": "OTHERV", "blocks": 100}]})"));
        server.start();
    }
    qv::test::TempRoot root;
    ScsiBus bus;
    ScsiDeviceServer server{bus};
};

TEST_F(ScsiDeviceServerTest, NodesAnswerThroughTheSocketChannel) {
    devsock::SocketChannel channel;
    ASSERT_EQ(channel.open(qv::sandboxPath("/dev/sg1")), 0);
    devsock::ChannelReply reply;
    ASSERT_EQ(channel.exchange(inquiryRequest(36), reply), 0);
    ASSERT_EQ(reply.status.size(), sizeof(payload::SgIoStatusFields) + 32);
    ASSERT_EQ(reply.dataIn.size(), 36u);
    EXPECT_EQ(std::string(reply.dataIn.begin() + 8, reply.dataIn.begin() + 14), "OTHERV");
    channel.close();

    ASSERT_TRUE(bus.setFaults(0, {ENOENT, 0, 0, 0}));
    devsock::SocketChannel refused;
    EXPECT_EQ(refused.open(qv::sandboxPath("/dev/sg0")), ENOENT);
}

TEST_F(ScsiDeviceServerTest, ConcurrentClientsEachGetTheirOwnAnswers) {
    auto client = [](int sg, const std::string& vendor, bool& ok) {
        devsock::SocketChannel channel;
        ok = channel.open(qv::sandboxPath("/dev/sg" + std::to_string(sg))) == 0;
        for (int i = 0; ok && i < 200; ++i) {
            devsock::ChannelReply reply;
            ok = channel.exchange(inquiryRequest(36), reply) == 0 && reply.dataIn.size() == 36 &&
                 std::string(reply.dataIn.begin() + 8, reply.dataIn.begin() + 14) == vendor;
        }
    };
    bool ok0 = false, ok1 = false;
    std::thread a(client, 0, "QVDISK", std::ref(ok0));
    std::thread b(client, 1, "OTHERV", std::ref(ok1));
    a.join();
    b.join();
    EXPECT_TRUE(ok0);
    EXPECT_TRUE(ok1);
    EXPECT_EQ(bus.journal().size(), 400u);
}

TEST_F(ScsiDeviceServerTest, BlockNodeAnswersTheTwoAddressRequests) {
    devsock::SocketChannel block;
    ASSERT_EQ(block.open(qv::sandboxPath("/dev/sda")), 0);
    devsock::ChannelReply reply;
    ASSERT_EQ(block.exchange({payload::kGetIdLun, {}, 8, 0}, reply), 0);
    EXPECT_EQ(reply.dataIn, (std::vector<uint8_t>{0, 2, 1, 0, 1, 0, 0, 0}));   // target, LUN, channel, host
    ASSERT_EQ(block.exchange({payload::kGetBusNumber, {}, 4, 0}, reply), 0);
    EXPECT_EQ(reply.dataIn, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(block.exchange({payload::kSgIo, {}, 4, 0}, reply), EINVAL);
}

// A CD-ROM's medium cannot be written: its block node opens for reading only, as the kernel's.
TEST(ScsiBlockNode, ReadOnlyMediumRefusesEveryOpenThatMayWrite) {
    qv::test::TempRoot root;
    ScsiBus bus;
    bus.load(nlohmann::json::parse(R"({"adapters": [{"host": 0, "driver": "aic7xxx"}],
      "targets": [{"host": 0, "id": 4, "sg": 0, "kind": "cdrom", "vendor": "QVOPT", "block": "/dev/scd0"}]})"));
    ScsiDeviceServer server{bus};
    server.start();
    const std::pair<devsock::OpenAccess, int> cases[] = {
        {devsock::OpenAccess::ReadOnly, 0}, {devsock::OpenAccess::WriteOnly, EROFS}, {devsock::OpenAccess::ReadWrite, EROFS}};
    for (const auto& [access, result] : cases) {
        devsock::SocketChannel block;
        EXPECT_EQ(block.open(qv::sandboxPath("/dev/scd0"), access), result) << int(access);
    }
    devsock::SocketChannel generic;   // the generic node takes commands both ways
    EXPECT_EQ(generic.open(qv::sandboxPath("/dev/sg0")), 0);
}

TEST_F(ScsiDeviceServerTest, OlderInterfaceAnswersEachClientItsOwnWrite) {
    // Two clients of one node write their commands before either reads: each reads its own answer.
    auto command = [](uint8_t opcode, uint8_t length, uint32_t replyLength) {
        devsock::ChannelRequest write;
        write.kind = devsock::RequestKind::Write;
        write.dataOut.assign(36, 0);
        std::memcpy(write.dataOut.data() + 4, &replyLength, 4);
        const uint8_t cdb[10] = {opcode, 0, 0, 0, length, 0, 0, 0, 0, 0};
        write.dataOut.insert(write.dataOut.end(), cdb, cdb + (opcode < 0x20 ? 6 : 10));
        return write;
    };
    devsock::SocketChannel first, second;
    ASSERT_EQ(first.open(qv::sandboxPath("/dev/sg0")), 0);
    ASSERT_EQ(second.open(qv::sandboxPath("/dev/sg0")), 0);
    devsock::ChannelReply reply;
    ASSERT_EQ(first.exchange(command(0x12, 36, 36 + 36), reply), 0);
    ASSERT_EQ(second.exchange(command(0x25, 0, 36 + 8), reply), 0);
    devsock::ChannelRequest read;
    read.kind = devsock::RequestKind::Read;
    read.dataInCapacity = 200;
    ASSERT_EQ(second.exchange(read, reply), 0);
    ASSERT_EQ(reply.dataIn.size(), 36u + 8);
    EXPECT_EQ(reply.dataIn[36 + 3], 99);   // last block of 100
    ASSERT_EQ(first.exchange(read, reply), 0);
    ASSERT_EQ(reply.dataIn.size(), 36u + 36);
    EXPECT_EQ(std::string(reply.dataIn.begin() + 36 + 8, reply.dataIn.begin() + 36 + 14), "QVDISK");
    EXPECT_EQ(first.exchange(read, reply), EAGAIN);   // nothing written to answer
    const auto journal = bus.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].form, "sg2");
}

} // namespace
} // namespace qv::sim::scsi
