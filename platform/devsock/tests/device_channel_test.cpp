#include "device_channel.h"

#include "sandbox_path.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

using namespace qv::devsock;

namespace {

class NoDriverCodec final : public NodeRequestCodec {
public:
    // Passes the request number through and hands the driver nothing it could answer.
    int issue(const ChannelRequest& request, ChannelReply&, const Ioctl& ioctl) const override
    {
        unsigned char block[12] = {};
        return ioctl(request.code, block) < 0 ? errno : 0;
    }
};

} // namespace

TEST(NodeChannel, NodesThatAreNoDriverFailCleanly)
{
    qv::test::TempRoot root;
    NoDriverCodec codec;
    NodeChannel channel(codec);
    ChannelReply reply;
    EXPECT_EQ(channel.exchange({1, {}, 0, 2}, reply), EBADF);  // not open
    EXPECT_EQ(channel.open(qv::sandboxPath("/dev/mmcdev")), ENOENT);
    EXPECT_EQ(channel.exchange({1, {}, 0, 2}, reply), EBADF);

    // A regular file is no device; a character device that is not the driver opens but takes no
    // driver request.
    std::ofstream(qv::sandboxPath("/dev/mmcdev")) << "not a driver";
    EXPECT_EQ(channel.open(qv::sandboxPath("/dev/mmcdev")), ENODEV);
    EXPECT_EQ(channel.exchange({1, {}, 0, 2}, reply), EBADF);
    ASSERT_EQ(channel.open("/dev/null"), 0);
    EXPECT_EQ(channel.exchange({1, {0x18, 0x01}, 32, 2}, reply), ENOTTY);
    EXPECT_EQ(channel.close(), 0);
    EXPECT_EQ(channel.exchange({1, {}, 0, 2}, reply), EBADF);
    EXPECT_EQ(channel.close(), 0);  // closing twice is harmless
}

// The node is opened for what the caller asks and no more: a node that cannot be written still
// opens for reading, and nothing is written through an open for reading.
TEST(NodeChannel, OpensTheNodeForTheAccessAsked)
{
    NoDriverCodec codec;
    struct Case {
        OpenAccess access;
        int write, read;   // what a write and a read of the node give
    };
    const Case cases[] = {
        {OpenAccess::ReadOnly, EBADF, 0}, {OpenAccess::WriteOnly, 0, EBADF}, {OpenAccess::ReadWrite, 0, 0}};
    for (const Case& c : cases) {
        NodeChannel channel(codec);
        ASSERT_EQ(channel.open("/dev/null", c.access), 0);
        ChannelReply reply;
        EXPECT_EQ(channel.exchange({0, {1, 2}, 0, 0, RequestKind::Write}, reply), c.write) << int(c.access);
        EXPECT_EQ(channel.exchange({0, {}, 8, 0, RequestKind::Read}, reply), c.read) << int(c.access);
    }
}

TEST(ScriptedChannel, AnswersFromItsResponderOnlyWhileOpen)
{
    std::vector<ChannelRequest> seen;
    ScriptedChannel channel([&](const ChannelRequest& request, ChannelReply& reply) {
        seen.push_back(request);
        if (request.code == 9) return EIO;
        reply.status = {0, 0};
        if (request.code == 8) reply.status.push_back(0);  // a status block of the wrong size
        reply.dataIn = request.dataOut;
        return 0;
    });
    ChannelReply reply;
    EXPECT_EQ(channel.exchange({1, {}, 0, 2}, reply), EBADF);
    ASSERT_EQ(channel.open("/dev/anything"), 0);
    ASSERT_EQ(channel.exchange({1, {1, 2, 3}, 8, 2}, reply), 0);
    EXPECT_EQ(reply.dataIn, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(channel.exchange({9, {}, 0, 2}, reply), EIO);
    EXPECT_EQ(channel.exchange({8, {}, 0, 2}, reply), EIO);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].dataInCapacity, 8u);
    EXPECT_EQ(channel.close(), 0);
    EXPECT_EQ(channel.exchange({1, {}, 0, 2}, reply), EBADF);

    ScriptedChannel busy([](const ChannelRequest&, ChannelReply&) { return 0; }, EBUSY);
    EXPECT_EQ(busy.open("/dev/anything"), EBUSY);
    EXPECT_EQ(busy.exchange({1, {}, 0, 0}, reply), EBADF);
}

TEST(DeviceChannelChoice, SocketNodeMeansStandInAndAnythingElseTheDriver)
{
    qv::test::TempRoot root;
    NoDriverCodec codec;
    const std::string node = qv::sandboxPath("/dev/mmcdev");
    EXPECT_NE(dynamic_cast<NodeChannel*>(channelForNode(node, codec).get()), nullptr);  // missing
    int listener = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address;
    ASSERT_TRUE(qv::makeUnixAddress(node, address));
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_NE(dynamic_cast<SocketChannel*>(channelForNode(node, codec).get()), nullptr);
    close(listener);
}

TEST(DeviceChannelChoice, StatusBlockAndDataAreSplitOnlyWhenTheStatusIsWhole)
{
    ChannelReply reply;
    ASSERT_TRUE(splitStatusAndData({1, 2, 3, 4}, 2, reply));
    EXPECT_EQ(reply.status, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(reply.dataIn, (std::vector<uint8_t>{3, 4}));
    ASSERT_TRUE(splitStatusAndData({1, 2}, 2, reply));
    EXPECT_TRUE(reply.dataIn.empty());
    EXPECT_FALSE(splitStatusAndData({1}, 2, reply));
}
