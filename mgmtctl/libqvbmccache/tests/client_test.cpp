// The client against a stand-in service in a thread: what it sends, what it copies, and that it
// never leaves its reply FIFO behind or waits without bound.
#include <qvbmccache.h>
#include <sandbox_path.h>
#include <temp_root.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qv::test::ScopedEnv;
using qv::test::TempRoot;

class ClientTest : public ::testing::Test {
protected:
    std::string ownReplyPipe() const { return root.at(replyPipeName(::getpid())); }
    void makeRequestPipe() { ASSERT_EQ(::mkfifo(root.at(kIpmiRequestPipe).c_str(), 0700), 0); }

    // Serves one request: remembers it and answers with the first `replyBytes` of `reply`.
    std::thread serveOnce(const ResponseBlock& reply, size_t replyBytes) {
        return std::thread([this, reply, replyBytes] {
            int in = ::open(root.at(kIpmiRequestPipe).c_str(), O_RDWR);
            if (in < 0)
                return;
            if (::read(in, &received, sizeof received) == sizeof received) {
                const std::string name(received.szRetPipeName, strnlen(received.szRetPipeName, kReplyNameField));
                int out = ::open(qv::sandboxPath(name).c_str(), O_RDWR);
                if (out >= 0) {
                    (void)!::write(out, &reply, replyBytes);
                    ::close(out);
                }
            }
            ::close(in);
        });
    }

    TempRoot root;
    RequestMessage received{};
};

TEST_F(ClientTest, WithoutServiceFailsAtOnceAndLeavesNothing)
{
    unsigned char buffer[41];
    EXPECT_EQ(QvIpmiGetData(1, 0, 0, nullptr, {buffer, sizeof buffer}, nullptr), IPMI_PIPE_FAILED);
    EXPECT_NE(::access(ownReplyPipe().c_str(), F_OK), 0);
}

TEST_F(ClientTest, SilentServiceTimesOutAndRemovesReplyPipe)
{
    makeRequestPipe();
    ScopedEnv wait(kReplyWaitEnv, "200");
    unsigned char buffer[41];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QvIpmiGetData(1, 0, 0, nullptr, {buffer, sizeof buffer}, nullptr), IPMI_PIPE_FAILED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(::access(ownReplyPipe().c_str(), F_OK), 0);
}

TEST_F(ClientTest, StaleReplyPipeOfSameProcessIdFailsAndIsNotTouched)
{
    makeRequestPipe();
    ASSERT_EQ(::mkfifo(ownReplyPipe().c_str(), 0700), 0);
    unsigned char buffer[41];
    EXPECT_EQ(QvIpmiGetData(1, 0, 0, nullptr, {buffer, sizeof buffer}, nullptr), IPMI_PIPE_FAILED);
    EXPECT_EQ(::access(ownReplyPipe().c_str(), F_OK), 0);
}

TEST_F(ClientTest, SendsRequestAndCopiesAtMostWhatReplyAndBufferHold)
{
    makeRequestPipe();
    ResponseBlock reply{};
    reply.opCode = 12;
    reply.status = 0;
    reply.cbData = 1000;   // more than any reply can carry
    for (size_t i = 0; i < sizeof reply.data; ++i)
        reply.data[i] = static_cast<uint8_t>(i + 1);

    const struct { uint32_t cb; size_t replyBytes; unsigned expected; } cases[] = {
        {64, sizeof reply, 41},   // bounded by the data field
        {10, sizeof reply, 10},   // bounded by the caller's buffer
        {64, 20, 8},              // bounded by what arrived
    };
    for (const auto& c : cases) {
        std::thread service = serveOnce(reply, c.replyBytes);
        unsigned char buffer[64];
        std::memset(buffer, 0xEE, sizeof buffer);
        ParamsType params{7, 8, 9};
        unsigned int delivered = 99;
        EXPECT_EQ(QvIpmiGetData(12, 3, 4, &params, {buffer, c.cb}, &delivered), 0u);
        service.join();
        EXPECT_EQ(delivered, c.expected);
        EXPECT_EQ(buffer[c.expected - 1], c.expected);
        EXPECT_EQ(buffer[c.expected], 0xEE);
        EXPECT_EQ(std::string(received.szRetPipeName, strnlen(received.szRetPipeName, kReplyNameField)),
                  replyPipeName(::getpid()));
        RequestBlock sent;   // the message's copy sits unaligned
        std::memcpy(&sent, &received.request, sizeof sent);
        EXPECT_EQ(sent.opCode, 12u);
        EXPECT_EQ(sent.cbMaxSize, c.cb);
        EXPECT_EQ(sent.iPackage, 3u);
        EXPECT_EQ(sent.iUnit, 4u);
        EXPECT_EQ(sent.params.param3, 9u);
        EXPECT_NE(::access(ownReplyPipe().c_str(), F_OK), 0);
    }
}

TEST_F(ClientTest, ReplyWithoutStatusIsAFailure)
{
    makeRequestPipe();
    ResponseBlock reply{};
    std::thread service = serveOnce(reply, 8);
    unsigned char buffer[16];
    EXPECT_EQ(QvIpmiGetData(1, 0, 0, nullptr, {buffer, sizeof buffer}, nullptr), IPMI_PIPE_FAILED);
    service.join();
    EXPECT_NE(::access(ownReplyPipe().c_str(), F_OK), 0);
}

} // namespace
