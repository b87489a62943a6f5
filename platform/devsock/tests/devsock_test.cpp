#include "devsock.h"
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

TEST(DevsockConnection, OpensExchangesAndReportsRefusals)
{
    qv::test::TempRoot root;
    std::string path = qv::sandboxPath("/dev/mmcdev");
    int listener = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address;
    ASSERT_TRUE(qv::makeUnixAddress(path, address));
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
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
