#include "log_sink.h"
#include "sandbox_path.h"
#include "temp_root.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/un.h>
#include <syslog.h>

namespace {
struct OpenlogCall {
    std::string ident;
    int option = -1;
    int facility = -1;
};
OpenlogCall lastOpenlog;
} // namespace

// Stands in for the C library's openlog in this test program, so that its arguments can be seen
// (and nothing reaches the machine's syslog).
extern "C" void openlog(const char* ident, int option, int facility) noexcept
{
    lastOpenlog = {ident != nullptr ? ident : "", option, facility};
}

TEST(SandboxPath, ResolvesFixedPathsBelowTheRoot)
{
    qv::test::TempRoot root;
    EXPECT_EQ(qv::sandboxPath("/var/qvserver/registry.ini"), root.path() + "/var/qvserver/registry.ini");
    EXPECT_EQ(qv::sandboxPath("relative/file"), "relative/file");
}

TEST(SandboxPath, UnsetOrEmptyRootUsesRealPaths)
{
    qv::test::ScopedEnv unset("QV_ROOT", nullptr);
    EXPECT_EQ(qv::sandboxPath("/dev/mem"), "/dev/mem");
    qv::test::ScopedEnv empty("QV_ROOT", "");
    EXPECT_EQ(qv::sandboxPath("/dev/mem"), "/dev/mem");
}

TEST(SandboxPath, UnixAddressRefusesPathsThatDoNotFit)
{
    sockaddr_un address;
    EXPECT_TRUE(qv::makeUnixAddress("/tmp/x.socket", address));
    EXPECT_STREQ(address.sun_path, "/tmp/x.socket");
    EXPECT_FALSE(qv::makeUnixAddress(std::string(sizeof address.sun_path, 'a'), address));
    EXPECT_FALSE(qv::makeUnixAddress("", address));
}

TEST(LogSink, WritesIdentifiedLinesToTheTestFile)
{
    qv::test::TempRoot root;
    std::string file = root.path() + "/log.txt";
    qv::test::ScopedEnv env("QV_LOG_FILE", file.c_str());
    qv::logOpen("unit", LOG_DAEMON);
    qv::logWrite(LOG_ERR, "first");
    qv::logWrite(LOG_INFO, "second");
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "unit: first\nunit: second\n");
}

TEST(LogSink, OpensSyslogWithTheNameAndFacilityAndNoOptions)
{
    qv::test::ScopedEnv env("QV_LOG_FILE", nullptr);
    lastOpenlog = {};
    qv::logOpen("qvclimated", LOG_DAEMON);
    EXPECT_EQ(lastOpenlog.ident, "qvclimated");
    EXPECT_EQ(lastOpenlog.option, 0);   // no process id in every line
    EXPECT_EQ(lastOpenlog.facility, LOG_DAEMON);
}
