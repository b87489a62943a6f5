// The MIB-II defaults, the interface rows and, inside a private UTS namespace, host name SETs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "legacy_objects.h"
#include "temp_root.h"

namespace {

constexpr char kInside[] = "QV_LEGACY_IN_UTSNS";

qv::test::ProgramResult agent(const std::vector<std::string>& args)
{
    return qv::test::runProgram(qv::test::installedPath("inventory/qvlegacyagent/qvlegacyagent"), args);
}

TEST(LegacyAgent, DefaultsWithoutRegistryValues)
{
    qv::test::TempRoot root;
    const struct {
        const char* oid;
        const char* out;
    } cases[] = {
        {".1.3.6.1.2.1.1.2.0", ".1.3.6.1.2.1.1.2.0\nobjectid\n.1.3.6.1.4.1.311.1.1.3.1.2\n"},
        {".1.3.6.1.2.1.1.4.0", ".1.3.6.1.2.1.1.4.0\nstring\n<Undefined>\n"},
        {".1.3.6.1.2.1.1.6.0", ".1.3.6.1.2.1.1.6.0\nstring\n<Undefined>\n"},
        {".1.3.6.1.2.1.1.7.0", ".1.3.6.1.2.1.1.7.0\ninteger\n76\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(agent({"-g", c.oid}).out, c.out) << c.oid;

    EXPECT_EQ(agent({"-s", ".1.3.6.1.2.1.1.4.0", "string", "ops", "desk", "4"}).out, "");
    EXPECT_EQ(agent({"-g", ".1.3.6.1.2.1.1.4.0"}).out, ".1.3.6.1.2.1.1.4.0\nstring\nops desk 4\n");
}

TEST(LegacyAgent, InterfaceColumnsHaveOneRowPerInterface)
{
    qv::test::TempRoot root;
    root.writeFile("/proc/net/dev", "Inter-| Receive\n face |bytes\n  lo: 1 2\neth0: 3 4\neth1: 5 6\n");
    const qv::test::ProgramResult r = agent({"-n", ".1.3.6.1.2.1.2.2.1.12.3"});
    EXPECT_EQ(r.out, ".1.3.6.1.2.1.2.2.1.13.1\ninteger\n0\n");
    EXPECT_EQ(agent({"-g", ".1.3.6.1.2.1.2.2.1.18.4"}).exitCode, 1);
    qv::test::removeTree(root.at("/proc/net"));
    EXPECT_EQ(agent({"-g", ".1.3.6.1.2.1.2.2.1.12.1"}).exitCode, 1);
}

TEST(LegacyAgent, HostNameRulesAreCheckedBeforeAnyChange)
{
    for (const char* bad : {"", "web 1", "a;b", "x/y"}) EXPECT_FALSE(IsValidHostName(bad)) << bad;
    EXPECT_TRUE(IsValidHostName("web-1.example_a"));
    EXPECT_EQ(MySetHostName("web 1"), -1);   // refused before sethostname is tried
}

TEST(LegacyAgent, HostNameSetsRunInAPrivateUtsNamespace)
{
    if (geteuid() != 0 || access("/usr/bin/unshare", X_OK)) GTEST_SKIP() << "needs root and unshare";
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const qv::test::ProgramResult r = qv::test::runProgram(
        "/usr/bin/unshare", {"--uts", self, "--gtest_filter=LegacyInUtsNamespace.*"}, {{kInside, "1"}});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ] 2 tests"), std::string::npos) << r.out;
}

class LegacyInUtsNamespace : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv(kInside) == nullptr) GTEST_SKIP() << "run inside its namespace";
        ASSERT_EQ(sethostname("oldname", 7), 0);
    }
    std::string hostName()
    {
        char name[256] = {};
        gethostname(name, sizeof name - 1);
        return name;
    }
    qv::test::ProgramResult setName(const std::string& name)
    {
        return agent({"-s", ".1.3.6.1.2.1.1.5.0", "string", name});
    }
    qv::test::TempRoot root;
};

TEST_F(LegacyInUtsNamespace, NewNameReachesTheRunningSystemAndBothFiles)
{
    root.writeFile("/etc/sysconfig/network", "NETWORKING=yes\nHOSTNAME=old\n#HOSTNAME example\n");
    chmod(root.at("/etc/sysconfig/network").c_str(), 0640);
    EXPECT_EQ(setName("web-1.example_a").out, "");
    EXPECT_EQ(hostName(), "web-1.example_a");
    EXPECT_EQ(root.readFile("/etc/sysconfig/network"),
              "NETWORKING=yes\nHOSTNAME=\"web-1.example_a\"\nHOSTNAME=\"web-1.example_a\"\n");
    EXPECT_EQ(root.readFile("/etc/HOSTNAME"), "web-1.example_a\n");
    struct stat st {};
    ASSERT_EQ(stat(root.at("/etc/sysconfig/network").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(agent({"-g", ".1.3.6.1.2.1.1.5.0"}).out, ".1.3.6.1.2.1.1.5.0\nstring\nweb-1.example_a\n");
}

TEST_F(LegacyInUtsNamespace, FailedFileUpdateRestoresTheOldName)
{
    // No network file: the current name is still accepted without change.
    EXPECT_EQ(setName("oldname").out, "");
    EXPECT_EQ(setName("newname").out, "wrong-value\n");
    EXPECT_EQ(hostName(), "oldname");
    EXPECT_FALSE(root.exists("/etc/HOSTNAME"));
    EXPECT_EQ(setName("web 1").out, "wrong-value\n");
    EXPECT_EQ(hostName(), "oldname");
}

} // namespace
