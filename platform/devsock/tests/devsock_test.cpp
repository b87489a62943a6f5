#include "devsock.h"
#include "device_channel.h"
#include "sandbox_path.h"
#include "temp_root.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace qv::devsock;

TEST(DevsockCodec, RoundTripsAndRejectsDamagedMessages)
{
    Request request{kIoctl, 1, 32, {0x18, 0x01}};
    std::vector<uint8_t> bytes = encodeRequest(request);
    ASSERT_EQ(bytes.size(), sizeof(RequestHeader) + 2);
    Request decoded;
    ASSERT_TRUE(decodeRequest(bytes.data(), bytes.size(), decoded));
    EXPECT_EQ(decoded.code, 1u);
    EXPECT_EQ(decoded.outCapacity, 32u);
    EXPECT_EQ(decoded.data, request.data);

    EXPECT_FALSE(decodeRequest(bytes.data(), bytes.size() - 1, decoded)); // length mismatch
    EXPECT_FALSE(decodeRequest(bytes.data(), 3, decoded));                // shorter than a header
    bytes[0] ^= 0xFF;
    EXPECT_FALSE(decodeRequest(bytes.data(), bytes.size(), decoded));     // bad magic

    Reply reply{-1, EBUSY, {1, 2, 3}};
    std::vector<uint8_t> replyBytes = encodeReply(reply);
    Reply back;
    ASSERT_TRUE(decodeReply(replyBytes.data(), replyBytes.size(), back));
    EXPECT_EQ(back.result, -1);
    EXPECT_EQ(back.error, EBUSY);
    EXPECT_EQ(back.data, reply.data);
}

// A tiny echo stand-in: refuses the open when told, echoes ioctl data reversed.
static void serveOnce(int listener, bool refuseOpen)
{
    int fd = accept(listener, nullptr, nullptr);
    std::vector<uint8_t> buffer(kMaxMessage);
    for (;;) {
        ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        Request request;
        Reply reply;
        if (!decodeRequest(buffer.data(), static_cast<size_t>(n), request)) break;
        if (request.op == kOpen && refuseOpen) reply = {-1, EBUSY, {}};
        else if (request.op == kIoctl) reply.data.assign(request.data.rbegin(), request.data.rend());
        std::vector<uint8_t> out = encodeReply(reply);
        send(fd, out.data(), out.size(), MSG_NOSIGNAL);
    }
    close(fd);
}

// A listening SOCK_SEQPACKET socket at `path`, or -1.
static int listenAt(const std::string& path)
{
    int listener = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address;
    if (listener < 0 || !qv::makeUnixAddress(path, address) ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0)
        return -1;
    return listener;
}

TEST(DevsockConnection, OpensExchangesAndReportsRefusals)
{
    qv::test::TempRoot root;
    std::string path = qv::sandboxPath("/dev/mmcdev");
    int listener = listenAt(path);
    ASSERT_GE(listener, 0);
    EXPECT_TRUE(isSocketNode(path));

    std::thread server([&] { serveOnce(listener, false); serveOnce(listener, true); });
    {
        Connection connection;
        ASSERT_EQ(connection.open(path), 0);
        Reply reply;
        ASSERT_EQ(connection.exchange(1, {1, 2, 3}, 8, reply), 0);
        EXPECT_EQ(reply.data, (std::vector<uint8_t>{3, 2, 1}));
    }
    Connection refused;
    EXPECT_EQ(refused.open(path), EBUSY);
    EXPECT_FALSE(refused.isOpen());
    server.join();
    close(listener);

    Connection missing;
    EXPECT_EQ(missing.open(qv::sandboxPath("/dev/none")), ENOENT);
}

TEST(SocketChannel, CarriesRequestsInlineAndSplitsTheStatusBlock)
{
    qv::test::TempRoot root;
    std::string path = qv::sandboxPath("/dev/mmcdev");
    int listener = listenAt(path);
    ASSERT_GE(listener, 0);

    std::thread server([&] { serveOnce(listener, false); serveOnce(listener, true); });
    {
        SocketChannel channel;
        ASSERT_EQ(channel.open(path), 0);
        ChannelReply reply;
        // The stand-in answers the data reversed: status {4, 3}, data in {2, 1}.
        ASSERT_EQ(channel.exchange({1, {1, 2, 3, 4}, 8, 2}, reply), 0);
        EXPECT_EQ(reply.status, (std::vector<uint8_t>{4, 3}));
        EXPECT_EQ(reply.dataIn, (std::vector<uint8_t>{2, 1}));
        EXPECT_EQ(channel.exchange({1, {7}, 8, 2}, reply), EIO);  // shorter than its status
        EXPECT_EQ(channel.close(), 0);
        EXPECT_EQ(channel.exchange({1, {1, 2}, 8, 2}, reply), EBADF);
    }
    SocketChannel refused;
    EXPECT_EQ(refused.open(path), EBUSY);
    server.join();
    close(listener);
}
