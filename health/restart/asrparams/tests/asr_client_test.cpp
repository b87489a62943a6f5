// The client's exchange with a stand-in restart service: confirmation, a wrong reply, silence
// and no service at all. Only a confirmed change reaches the registry.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "asr_fixture.h"
#include "asr_params.h"
#include "sandbox_path.h"

namespace {

using qv::test::AsrRegistryTest;

// Binds the service's path, takes one message and answers it (or not) on the client's path.
class StandInService {
public:
    explicit StandInService(std::optional<std::string> reply) : reply_(std::move(reply))
    {
        sockaddr_un address{};
        const std::string path = qv::sandboxPath(kKickTimerSocketPath);
        EXPECT_TRUE(qv::makeUnixAddress(path, address));
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const timeval bound{5, 0};   // never outlives a broken test for long
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
        thread_ = std::thread([this] { serveOne(); });
    }
    ~StandInService()
    {
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
        ::unlink(qv::sandboxPath(kKickTimerSocketPath).c_str());
    }
    AGT_MSG received() const { return message_; }
    ssize_t receivedLength() const { return length_; }

private:
    void serveOne()
    {
        length_ = ::recv(fd_, &message_, sizeof message_ + 1, 0);
        if (length_ <= 0 || !reply_) return;
        sockaddr_un client{};
        qv::makeUnixAddress(qv::sandboxPath(kAsrAgentSocketPath), client);
        const int out = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        ::sendto(out, reply_->data(), reply_->size() + 1, 0, reinterpret_cast<sockaddr*>(&client), sizeof client);
        ::close(out);
    }

    std::optional<std::string> reply_;
    int fd_ = -1;
    std::thread thread_;
    AGT_MSG message_{};
    ssize_t length_ = 0;
};

class AsrClientTest : public AsrRegistryTest {
protected:
    qv::test::ScopedEnv shortWait{"QV_ASR_REPLY_MS", "300"};
};

TEST_F(AsrClientTest, AConfirmedChangeIsWrittenAnythingElseWritesNothing)
{
    struct Case {
        const char* what;
        std::optional<std::string> reply;
        bool service;
        int result;
        const char* message;   // logged on failure
    };
    const Case cases[] = {
        {"confirmed", std::string("QVRESTARTD_OK"), true, 1, nullptr},
        {"wrong reply", std::string("QVRESTARTD_NO"), true, 0,
         "CommunicateWithAsrSrvc() - service did not sent the apropriate msg"},
        {"longer reply", std::string("QVRESTARTD_OKAY"), true, 0,
         "CommunicateWithAsrSrvc() - service did not sent the apropriate msg"},
        {"silence", std::nullopt, true, 0, "CommunicateWithAsrSrvc() - service did not sent the apropriate msg"},
        {"no service", std::nullopt, false, 0,
         "CommunicateWithAsrSrvc() - UnixDgramSocket Class:  could not send message"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(AsrSetHWtimeout(600, 0), 1);
        root.writeFile("/asr.log", "");
        const std::string before = registry();
        int result = -1;
        AGT_MSG received{};
        ssize_t length = 0;
        if (c.service) {
            StandInService service(c.reply);
            result = AsrSetHWtimeout(900, 1);
            received = service.received();
            length = service.receivedLength();
        } else {
            result = AsrSetHWtimeout(900, 1);
        }
        EXPECT_EQ(result, c.result) << c.what;
        int hw = 0;
        ASSERT_EQ(AsrGetHWtimeout(&hw), 1);
        EXPECT_EQ(hw, c.result ? 900 : 600) << c.what;
        if (!c.result) {
            EXPECT_EQ(registry(), before) << c.what;
            EXPECT_TRUE(logged(c.message)) << c.what;
        }
        if (c.service) {
            EXPECT_EQ(length, 8) << c.what;
            EXPECT_EQ(received.type, HWTIMEOUT_AGT_MSG) << c.what;
            EXPECT_EQ(received.data.hwtimeout, 900) << c.what;
        }
        EXPECT_FALSE(root.exists(kAsrAgentSocketPath)) << c.what << ": the client path is removed";
    }
}

TEST_F(AsrClientTest, EachSettingSendsItsTypeAndUnknownTypesTravelAsNull)
{
    struct Case {
        std::function<int()> set;
        int32_t type;
        int32_t data;
    };
    const Case cases[] = {
        {[] { return AsrSetSWpollTime(45, 600, 1); }, SWPOLLTIME_AGT_MSG, 45},
        {[] { return AsrSetTimeoutAction(3, 1); }, ACTION_AGT_MSG, 3},
        {[] { int32_t v = 77; return CommunicateWithAsrSrvc(static_cast<AGT_MSG_TYPE>(9), &v); }, NULL_MSG, 0},
    };
    for (const Case& c : cases) {
        StandInService service(std::string("QVRESTARTD_OK"));
        EXPECT_EQ(c.set(), 1);
        EXPECT_EQ(service.received().type, c.type);
        EXPECT_EQ(service.received().data.action, c.data);
    }
    int v = 0;
    EXPECT_TRUE(AsrGetSWpollTime(&v) && v == 45);
    EXPECT_TRUE(AsrGetTimeoutAction(&v) && v == 3);
}

TEST_F(AsrClientTest, ATooLongRootIsAnErrorNotACutPath)
{
    const std::string deep = root.path() + "/" + std::string(100, 'd');
    qv::test::makeDirectories(deep + "/var/qvserver");
    qv::test::ScopedEnv longRoot("QV_ROOT", deep.c_str());
    int32_t v = 900;
    EXPECT_EQ(CommunicateWithAsrSrvc(HWTIMEOUT_AGT_MSG, &v), 0);
    EXPECT_TRUE(logged("socket name length exceeded the limit: 108 chars"));
}

} // namespace
