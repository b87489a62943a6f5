#include "service_socket.h"
#include "service_client.h"
#include "log_print.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

} // namespace
