// The simulator behind its device node and dummy socket: framing, driver requests, faults.
#include "controller_simulator.h"
#include "ipmi_dummy_protocol.h"

#include <devsock.h>
#include <mmcdev_payload.h>
#include <sandbox_path.h>
#include <temp_root.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using namespace qv::sim;
using Bytes = std::vector<uint8_t>;
namespace mmc = qv::devsock::mmcdev;

namespace {

class DeviceSocketTest : public ::testing::Test {
protected:
    void SetUp() override { sim.start(); }
    int openDevice() { return connection.open(qv::sandboxPath(mmc::kDevicePath)); }
    qv::devsock::Reply sendReceive(Bytes message, uint32_t capacity = 64) {
        qv::devsock::Reply reply;
        EXPECT_EQ(connection.exchange(mmc::kSendReceive, message, capacity, reply), 0);
        return reply;
    }
    static uint16_t retcode(const qv::devsock::Reply& r) { return static_cast<uint16_t>(r.data.at(0) | r.data.at(1) << 8); }

    qv::test::TempRoot root;
    ControllerSimulator sim;
    qv::devsock::Connection connection;
};

TEST_F(DeviceSocketTest, SendReceiveCarriesRetcodeAndWholeAnswer) {
    ASSERT_EQ(openDevice(), 0);
    auto reply = sendReceive({0x18, 0x01}, 3);   // capacity smaller than the answer
    EXPECT_EQ(reply.result, 0);
    ASSERT_EQ(reply.data.size(), 2u + 2u + 12u);
    EXPECT_EQ(retcode(reply), 0);
    EXPECT_EQ(reply.data[2], 0x1C);
    EXPECT_EQ(reply.data[3], 0x01);
    EXPECT_EQ(reply.data[4], 0x00);
    auto journal = sim.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].requestCode, mmc::kSendReceive);
    EXPECT_EQ(journal[0].request, (Bytes{0x18, 0x01}));
}

TEST_F(DeviceSocketTest, VersionBlockAndPorts) {
    ASSERT_EQ(openDevice(), 0);
    qv::devsock::Reply reply;
    ASSERT_EQ(connection.exchange(mmc::kDriverVersion, {}, 12, reply), 0);
    ASSERT_EQ(reply.data.size(), 12u);
    EXPECT_EQ(reply.data[0] | reply.data[1], 0);
    EXPECT_EQ(reply.data[8], 0);   // name terminated within its 7 bytes
    ASSERT_EQ(connection.exchange(mmc::kWritePort2, {0x5A}, 2, reply), 0);
    EXPECT_EQ(reply.data, (Bytes{0, 0}));
    ASSERT_EQ(connection.exchange(mmc::kReadPort2, {}, 3, reply), 0);
    EXPECT_EQ(reply.data, (Bytes{0, 0, 0x5A}));
    sim.queueSmsMessage({0x01});
    ASSERT_EQ(connection.exchange(mmc::kReadPort3, {}, 3, reply), 0);
    EXPECT_EQ(reply.data.at(2) & 0x04, 0x04);
    ASSERT_EQ(connection.exchange(99, {}, 3, reply), 0);
    EXPECT_EQ(reply.result, -1);
}

TEST_F(DeviceSocketTest, OpenIoctlAndExchangeFaults) {
    sim.failNextOpens(1, EBUSY);
    EXPECT_EQ(openDevice(), EBUSY);
    connection.close();
    ASSERT_EQ(openDevice(), 0);
    sim.failNextIoctls(1, EIO);
    qv::devsock::Reply reply;
    ASSERT_EQ(connection.exchange(mmc::kSendReceive, {0x18, 0x01}, 16, reply), 0);
    EXPECT_EQ(reply.result, -1);
    EXPECT_EQ(reply.error, EIO);
    sim.failNextExchanges(2, 257);
    EXPECT_EQ(retcode(sendReceive({0x18, 0x01})), 257);
    EXPECT_EQ(retcode(sendReceive({0x18, 0x01})), 257);
    EXPECT_EQ(retcode(sendReceive({0x18, 0x01})), 0);
}

TEST_F(DeviceSocketTest, CompletionCodeInjectionCountsDown) {
    ASSERT_EQ(openDevice(), 0);
    sim.injectCompletionCode(0x0A, 0x42, 0xC5, 2);
    EXPECT_EQ(sendReceive({0x28, 0x42}).data, (Bytes{0, 0, 0x2C, 0x42, 0xC5}));
    EXPECT_EQ(sendReceive({0x28, 0x42}).data.at(4), 0xC5);
    auto reply = sendReceive({0x28, 0x42});
    EXPECT_EQ(reply.data.at(4), 0x00);
    EXPECT_EQ(reply.data.size(), 7u);
}

TEST_F(DeviceSocketTest, AnswerFaults) {
    ASSERT_EQ(openDevice(), 0);
    struct Case { AnswerFault fault; size_t size; uint8_t byte0; uint8_t byte1; };
    for (const Case& c : {Case{AnswerFault::WrongNetFn, 16, 0x18, 0x01}, Case{AnswerFault::WrongCommand, 16, 0x1C, 0xFE},
                          Case{AnswerFault::TooShort, 3, 0x1C, 0}, Case{AnswerFault::TooLong, 2 + 21, 0x1C, 0x01}}) {
        sim.injectAnswerFault(c.fault, 1);
        auto reply = sendReceive({0x18, 0x01}, 20);
        ASSERT_EQ(reply.data.size(), c.size) << static_cast<int>(c.fault);
        EXPECT_EQ(reply.data[2], c.byte0);
        if (c.size > 3) {
            EXPECT_EQ(reply.data[3], c.byte1);
        }
    }
    EXPECT_EQ(sendReceive({0x18, 0x01}).data.size(), 16u);
}

TEST_F(DeviceSocketTest, RequestBeforeOpenIsRefused) {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    ASSERT_TRUE(qv::makeUnixAddress(qv::sandboxPath(mmc::kDevicePath), address));
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    qv::devsock::Request request;
    request.op = qv::devsock::kIoctl;
    request.code = mmc::kSendReceive;
    request.data = {0x18, 0x01};
    Bytes wire = qv::devsock::encodeRequest(request);
    ASSERT_EQ(::send(fd, wire.data(), wire.size(), 0), static_cast<ssize_t>(wire.size()));
    Bytes buffer(256);
    ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    qv::devsock::Reply reply;
    ASSERT_TRUE(qv::devsock::decodeReply(buffer.data(), static_cast<size_t>(n), reply));
    EXPECT_EQ(reply.result, -1);
    ::close(fd);
}

TEST(DummyProtocolTest, SplitsStreamIntoRequestsAndAnswersEach) {
    DummyRequestHeader rq{};
    rq.netfn = 0x0A;
    rq.cmd = 0x48;
    rq.dataLength = 1;
    Bytes stream(sizeof rq);
    std::memcpy(stream.data(), &rq, sizeof rq);
    stream.push_back(0x77);
    Bytes partial(stream.begin(), stream.begin() + 10);
    std::vector<Bytes> seen, sent;
    auto exchange = [&](const Bytes& m) { seen.push_back(m); return Bytes{0x2C, 0x48, 0x00, 1, 2, 3, 4}; };
    auto send = [&](const Bytes& b) { sent.push_back(b); };
    EXPECT_TRUE(serveDummyRequests(partial, exchange, send));
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(serveDummyRequests(stream, exchange, send));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(seen[0], (Bytes{0x28, 0x48, 0x77}));
    DummyReplyHeader rs;
    std::memcpy(&rs, sent[0].data(), sizeof rs);
    EXPECT_EQ(rs.completionCode, 0);
    EXPECT_EQ(rs.dataLength, 4);
    EXPECT_EQ(sent[0].size(), sizeof rs + 4);
    rq.dataLength = 0xFFFF;   // impossible length: the client is dropped
    Bytes bad(sizeof rq);
    std::memcpy(bad.data(), &rq, sizeof rq);
    EXPECT_FALSE(serveDummyRequests(bad, exchange, send));
}

} // namespace
