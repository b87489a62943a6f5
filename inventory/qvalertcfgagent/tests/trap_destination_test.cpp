// Editing the trap destination file: the line rules, the host check, the lock and the agent's SETs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_locker.h"
#include "registry.h"
#include "temp_root.h"
#include "trap_destination_file.h"
#include "trap_host.h"

using namespace qv::inventory;

namespace {

TEST(TrapDestinationEdit, AddAppendsOnceAndKeepsEveryLine)
{
    const std::string file = "# managers\n\nnms0 public 1162\n  \nlast";
    const std::string added = withHostAdded(file, "nms1");
    EXPECT_EQ(added, "# managers\n\nnms0 public 1162\n  \nlast\nnms1 mantle 162\n");
    EXPECT_EQ(withHostAdded(added, "nms1"), added);
    EXPECT_EQ(withHostAdded("", "nms1"), "nms1 mantle 162\n");
    // Only the first word names the host, case-sensitively.
    EXPECT_EQ(withHostAdded("x nms1\n", "nms1"), "x nms1\nnms1 mantle 162\n");
    EXPECT_EQ(withHostAdded("NMS1\n", "nms1"), "NMS1\nnms1 mantle 162\n");
}

TEST(TrapDestinationEdit, RemoveDropsTheHostsLinesAndBlankOnes)
{
    const std::string file = "#nms1 comment\nnms1\n\n\t \nnms2 c 9\n\tnms1 public 1162\nnms10\n";
    const std::optional<std::string> removed = withHostRemoved(file, "nms1");
    ASSERT_TRUE(removed);
    EXPECT_EQ(*removed, "#nms1 comment\n\nnms2 c 9\nnms10\n");
    EXPECT_FALSE(withHostRemoved(*removed, "nms1"));
    EXPECT_FALSE(withHostRemoved("", "nms1"));
}

TEST(TrapDestinationEdit, OnlyPlainHostNamesAreAccepted)
{
    for (const char* good : {"nms1", "10.0.0.7", "fe80::1", "::1", "mgr-2.example_a", "A"})
        EXPECT_TRUE(trapsend::isTrapHost(good)) << good;
    for (const std::string& bad : {std::string(""), std::string("a b"), std::string("x;reboot"),
                                  std::string("$(id)"), std::string("h'q"), std::string("a\nb"),
                                  std::string("a\0b", 3), std::string(256, 'a'), std::string("-f"),
                                  std::string(".x"), std::string("a:b"), std::string("fe80::1%eth0")})
        EXPECT_FALSE(trapsend::isTrapHost(bad)) << bad;
    EXPECT_TRUE(trapsend::isTrapHost(std::string(255, 'a')));
}

TEST(FileLockerTest, SecondLockerFailsAtOnceAndTheLockEndsWithTheLocker)
{
    qv::test::TempRoot root;
    root.writeFile(kTrapDestinationFile, "nms0\n");
    const std::string file = root.at(kTrapDestinationFile);
    const std::string path = root.at(kTrapDestinationLock);
    auto lockInChild = [&] {
        const pid_t pid = fork();
        if (pid == 0) {
            try {
                FileLocker other(file, path);
                _exit(other.lock() ? 0 : 1);
            } catch (const LockError&) {
                _exit(2);
            }
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WEXITSTATUS(status);
    };
    {
        FileLocker locker(file, path);
        ASSERT_TRUE(locker.lock());
        EXPECT_TRUE(locker.lock());
        EXPECT_EQ(lockInChild(), 2);
        // A new file renamed over the guarded one leaves the lock in place.
        root.writeFile("/usr/qvserver/etc/new.cfg", "nms1\n");
        ASSERT_EQ(rename(root.at("/usr/qvserver/etc/new.cfg").c_str(), file.c_str()), 0);
        EXPECT_EQ(lockInChild(), 2);
    }
    EXPECT_EQ(lockInChild(), 0);

    // The guarded file must exist: it is opened, never created, and its own name is reported.
    for (const std::string& missing : {root.at("/usr/qvserver/etc/none.cfg"), root.at("/missing/dir/x.cfg")}) {
        FileLocker nowhere(missing, path);
        try {
            nowhere.lock();
            ADD_FAILURE() << "locked a file that does not exist: " << missing;
        } catch (const LockError& e) {
            EXPECT_EQ(e.getErrorMessage(), "FileLocker::lock(): unable to open file " + missing);
        }
        EXPECT_FALSE(std::filesystem::exists(missing));
    }
}

class TrapConfigAgent : public ::testing::Test {
protected:
    void SetUp() override
    {
        const uint32_t model = 55;
        ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model), 0u);
    }
    qv::test::ProgramResult agent(const std::vector<std::string>& args)
    {
        return qv::test::runProgram(qv::test::installedPath("inventory/qvalertcfgagent/qvalertcfgagent"), args);
    }
    qv::test::ProgramResult set(const char* object, const std::string& host)
    {
        return agent({"-s", std::string(".1.3.6.1.4.1.93071.2.23.13.3.") + object + ".0", "string", host});
    }
    std::string cfg() { return root.readFile(kTrapDestinationFile); }
    qv::test::TempRoot root;
};

TEST_F(TrapConfigAgent, SetsRewriteTheFileKeepingItsMode)
{
    root.writeFile(kTrapDestinationFile, "# managers\nnms0 public 1162\n");
    chmod(root.at(kTrapDestinationFile).c_str(), 0640);
    EXPECT_EQ(set("2", "nms1").out, "");
    EXPECT_EQ(cfg(), "# managers\nnms0 public 1162\nnms1 mantle 162\n");
    EXPECT_EQ(set("1", "nms0").out, "");
    EXPECT_EQ(cfg(), "# managers\nnms1 mantle 162\n");
    struct stat st {};
    ASSERT_EQ(stat(root.at(kTrapDestinationFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Nothing is left behind in the directory but the file itself.
    EXPECT_FALSE(root.exists("/usr/qvserver/etc/qvtraps.tmp"));
}

TEST_F(TrapConfigAgent, RefusedSetsLeaveTheFileAlone)
{
    const std::string before = "nms0 public 162\n";
    root.writeFile(kTrapDestinationFile, before);
    for (const std::string& host : std::vector<std::string>{"nms9", "x;touch /tmp/qvpwn", "'a'", "nms0 extra"}) {
        const char* object = host == "nms9" ? "1" : "2";
        EXPECT_EQ(set(object, host).out, "wrong-value\n") << host;
        EXPECT_EQ(cfg(), before) << host;
    }
}

TEST_F(TrapConfigAgent, WithoutTheFileAddingFailsAtTheLockAndCreatesNothing)
{
    const std::string log = root.at("/agent.log");
    qv::test::ScopedEnv logFile("QV_LOG_FILE", log.c_str());
    EXPECT_EQ(set("2", "nms1").out, "wrong-value\n");
    EXPECT_FALSE(root.exists(kTrapDestinationFile));
    EXPECT_EQ(qv::test::readWholeFile(log),
              "qvalertcfgagent: FileLocker::lock(): unable to open file " + root.at(kTrapDestinationFile) + "\n");
}

TEST_F(TrapConfigAgent, ReadsOfTheObjects)
{
    const struct {
        const char* op;
        const char* oid;
        const char* out;
    } cases[] = {
        {"-g", ".1.3.6.1.4.1.93071.2.23.13.3.2.0", ".1.3.6.1.4.1.93071.2.23.13.3.2.0\nstring\n\n"},
        {"-n", ".1.3.6.1.4.1.93071.2.23.13.3.2.0", ".1.3.6.1.4.1.93071.2.23.13.3.3.0\ninteger\n1\n"},
        {"-n", ".1.3.6.1.4.1.93071.2.23.13.2.1.1.1.0", ".1.3.6.1.4.1.93071.2.23.13.2.1.1.2.0\nstring\nQV Velkarn Trap Configuration SNMP Agent\n"},
        {"-g", ".1.3.6.1.4.1.93071.2.23.13.1.1.0", ".1.3.6.1.4.1.93071.2.23.13.1.1.0\ninteger\n1\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(agent({c.op, c.oid}).out, c.out) << c.oid;
    // The date of the installed program file: 7 bytes, the last one 0.
    EXPECT_EQ(agent({"-g", ".1.3.6.1.4.1.93071.2.23.13.2.1.1.4.0"}).exitCode, 1);
    root.writeFile("/usr/qvserver/bin/qvalertcfgagent", "");
    const std::string out = agent({"-g", ".1.3.6.1.4.1.93071.2.23.13.2.1.1.4.0"}).out;
    EXPECT_EQ(out.size() - out.rfind('\n', out.size() - 2) - 2, 7u * 3);
    EXPECT_EQ(out.substr(out.size() - 4), " 00\n");
}

} // namespace
