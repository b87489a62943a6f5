#include "service_socket.h"
#include "service_client.h"
#include "log_print.h"
#include "service_daemon.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "sandbox_path.h"
#include "temp_root.h"

namespace {

class ServiceSocketTest : public ::testing::Test {
protected:
    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", nullptr};
    std::string path_ = root_.at("/var/qvserver/t.socket");
};

TEST_F(ServiceSocketTest, CreateReplacesAnOldFileAndAllowsNoWorldAccess)
{
    root_.writeFile("/var/qvserver/t.socket", "left over");
    CSocket s;
    ASSERT_TRUE(s.Create(path_.c_str()));
    struct stat st{};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0007, 0u);
    // A second Create closes the first socket and binds again.
    ASSERT_TRUE(s.Create(path_.c_str()));
    s.Destroy();
    EXPECT_FALSE(root_.exists("/var/qvserver/t.socket"));
}

TEST_F(ServiceSocketTest, TooLongPathIsRefusedNotTruncated)
{
    CSocket s;
    EXPECT_FALSE(s.Create((root_.path() + "/" + std::string(120, 'x')).c_str()));
}

TEST_F(ServiceSocketTest, ReadTimesOutCutsLongDatagramsAndAcceptsEmptyOnes)
{
    CSocket server;
    ASSERT_TRUE(server.Create(path_.c_str()));
    server.SetTimeout(50);
    char buf[4];
    int size = sizeof buf;
    EXPECT_FALSE(server.Read(buf, &size, nullptr, nullptr));
    EXPECT_EQ(size, 0);

    CServiceClient client("/var/qvserver/t.socket");
    ASSERT_TRUE(client.SendFields({0x11223344, 7}));
    size = 2;
    ASSERT_TRUE(server.Read(buf, &size, nullptr, nullptr));
    EXPECT_EQ(size, 2);   // the rest of the datagram is lost
    size = sizeof buf;
    ASSERT_TRUE(server.Read(buf, &size, nullptr, nullptr));
    EXPECT_EQ(size, 4);

    sockaddr_un from{};
    int fromLen = sizeof from;
    CSocket raw;
    ASSERT_TRUE(raw.CreateAnonymous());
    sockaddr_un to{};
    ASSERT_TRUE(qv::makeUnixAddress(path_, to));
    ASSERT_TRUE(raw.Write("", 0, reinterpret_cast<sockaddr*>(&to), sizeof to));
    size = sizeof buf;
    ASSERT_TRUE(server.Read(buf, &size, reinterpret_cast<sockaddr*>(&from), &fromLen));
    EXPECT_EQ(size, 0);
    EXPECT_GT(fromLen, static_cast<int>(sizeof(sa_family_t)));   // autobind gave it a name
}

TEST_F(ServiceSocketTest, ClosedSocketReportsFalse)
{
    CSocket s;
    char buf[4];
    int size = 4;
    EXPECT_FALSE(s.Read(buf, &size, nullptr, nullptr));
    EXPECT_FALSE(s.Write(buf, 4, nullptr, 0));
}

TEST_F(ServiceSocketTest, ClientTakesRepliesOnlyFromItsServiceAndOfTheExpectedSize)
{
    CSocket server;
    ASSERT_TRUE(server.Create(path_.c_str()));
    CServiceClient client("/var/qvserver/t.socket");
    client.Socket().SetTimeout(100);
    ASSERT_TRUE(client.SendFields({1}));
    char buf[4];
    int size = sizeof buf;
    sockaddr_un from{};
    int fromLen = sizeof from;
    ASSERT_TRUE(server.Read(buf, &size, reinterpret_cast<sockaddr*>(&from), &fromLen));

    CSocket stranger;
    ASSERT_TRUE(stranger.CreateAnonymous());
    const int32_t forged = 99, good = 42;
    ASSERT_TRUE(stranger.Write(reinterpret_cast<const char*>(&forged), 4, reinterpret_cast<sockaddr*>(&from), fromLen));
    int32_t reply = 0;
    EXPECT_FALSE(client.ReadReply(&reply, sizeof reply));
    ASSERT_TRUE(server.Write("ab", 2, reinterpret_cast<sockaddr*>(&from), fromLen));
    EXPECT_FALSE(client.ReadReply(&reply, sizeof reply));
    ASSERT_TRUE(server.Write(reinterpret_cast<const char*>(&good), 4, reinterpret_cast<sockaddr*>(&from), fromLen));
    ASSERT_TRUE(client.ReadReply(&reply, sizeof reply));
    EXPECT_EQ(reply, 42);
}

TEST_F(ServiceSocketTest, WriteWithZeroTimeOutNeverWaitsOnAFullQueue)
{
    CSocket server;   // never reads
    ASSERT_TRUE(server.Create(path_.c_str()));
    CServiceClient client("/var/qvserver/t.socket");
    client.Socket().SetTimeout(0);
    int sent = 0;
    for (int i = 0; i < 5000; ++i) sent += client.SendFields({i}) ? 1 : 0;
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, 5000);   // the full queue refused the rest instead of blocking
}

TEST_F(ServiceSocketTest, LogPrintLogsVerbatimCutsAndEndsOnCritical)
{
    qv::test::ScopedEnv file("QV_LOG_FILE", root_.at("/log").c_str());
    LogPrint(3, "%s", "100%d %n");
    LogPrint(3, "%s", std::string(400, 'y').c_str());
    const std::string log = root_.readFile("/log");
    EXPECT_NE(log.find("100%d %n"), std::string::npos);
    EXPECT_NE(log.find(std::string(255, 'y')), std::string::npos);
    EXPECT_EQ(log.find(std::string(256, 'y')), std::string::npos);
    EXPECT_EXIT(LogPrint(2, "Cannot create socket (errno=%d)", 5), ::testing::ExitedWithCode(1), "");
    EXPECT_NE(root_.readFile("/log").find("Cannot create socket (errno=5)"), std::string::npos);
}

// Sends `signo` to one thread every few milliseconds while it lives, so a wait of that thread
// is interrupted whenever it runs.
class SignalRain {
public:
    SignalRain(pthread_t target, int signo)
        : thread_([this, target, signo] {
              while (!stop_) {
                  ::pthread_kill(target, signo);
                  std::this_thread::sleep_for(std::chrono::milliseconds(3));
              }
          })
    {
    }
    ~SignalRain()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(ServiceSocketTest, SignalsInterruptNoWaitIntoAFailure)
{
    qv::test::ScopedEnv file("QV_LOG_FILE", root_.at("/log").c_str());
    root_.writeFile("/log", "");
    ASSERT_TRUE(qv::installFlagHandler(SIGUSR1));
    CSocket server;
    ASSERT_TRUE(server.Create(path_.c_str()));
    server.SetTimeout(20000);
    sockaddr_un to{};
    ASSERT_TRUE(qv::makeUnixAddress(path_, to));
    char buf[8];
    int size = sizeof buf;
    {
        // A signal that does not stop the service: the wait goes on to the datagram.
        SignalRain rain(::pthread_self(), SIGUSR1);
        std::thread late([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            CSocket client;
            if (client.CreateAnonymous()) client.Write("late", 4, reinterpret_cast<sockaddr*>(&to), sizeof to);
        });
        EXPECT_TRUE(server.Read(buf, &size, nullptr, nullptr));
        late.join();
        EXPECT_EQ(size, 4);
    }
    {
        // A send that waits on the receiver's full queue goes on once there is room.
        const int filler = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        while (::sendto(filler, "fill", 4, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to), sizeof to) == 4) {}
        ::close(filler);
        CSocket sender;
        ASSERT_TRUE(sender.CreateAnonymous());
        sender.SetTimeout(20000);
        SignalRain rain(::pthread_self(), SIGUSR1);
        std::thread reader([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            char room[8];
            int roomSize = sizeof room;
            server.SetTimeout(0);
            server.Read(room, &roomSize, nullptr, nullptr);
        });
        EXPECT_TRUE(sender.Write("sent", 4, reinterpret_cast<sockaddr*>(&to), sizeof to));
        reader.join();
    }
    qv::takeSignal(SIGUSR1);   // the notes the rain left, so later tests start without one
    // A stop signal ends the wait at once, like a time-out (in a child: the stop stays noted).
    EXPECT_EXIT(
        {
            if (!installStopHandlers()) std::_Exit(2);
            CSocket idle;
            idle.CreateAnonymous();
            idle.SetTimeout(20000);
            SignalRain rain(::pthread_self(), SIGTERM);
            size = sizeof buf;
            const bool read = idle.Read(buf, &size, nullptr, nullptr);
            std::_Exit(!read && size == 0 && stopRequested() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(root_.readFile("/log"), "");
}

} // namespace
