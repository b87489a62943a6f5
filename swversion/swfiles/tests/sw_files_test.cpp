// Locked INI access and the revision history append shared by the version programs.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "process_lock.h"
#include "profile.h"
#include "sandbox_path.h"
#include "sw_files.h"
#include "temp_root.h"

namespace {

using swfiles::CountOrder;

class SwFiles : public ::testing::Test {
protected:
    std::string history(const char* key)
    {
        char buffer[256] = {};
        GetPrivateProfileString("RHLog", key, "<none>", buffer, sizeof buffer,
                                root.at(swfiles::kHistoryFile).c_str());
        return buffer;
    }

    // A child process that holds a lock file until killed.
    pid_t holdLockInChild(const char* fixedPath)
    {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            qv::lockFileAcquire(qv::sandboxPath(fixedPath), 1000);
            (void)!::write(ready[1], "x", 1);
            for (;;) ::pause();
        }
        char c;
        EXPECT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        return pid;
    }

    static void stopChild(pid_t pid)
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }

    qv::test::TempRoot root;
    qv::test::ScopedEnv shortLocks{"QV_SWA_LOCK_TIMEOUT_MS", "200"};
};

TEST_F(SwFiles, HistoryAppendTakesTheNextKeyInEitherOrder)
{
    const swfiles::CLockedProfile service(swfiles::kServiceLock);
    EXPECT_EQ(swfiles::appendRevisionHistory(service, "first", CountOrder::CountFirst), 0);
    EXPECT_EQ(history("Count"), "1");
    EXPECT_EQ(history("0"), "first");
    EXPECT_EQ(swfiles::appendRevisionHistory(service, "second", CountOrder::EntryFirst), 1);
    EXPECT_EQ(history("Count"), "2");
    EXPECT_EQ(history("1"), "second");

    root.writeFile(swfiles::kHistoryFile, "[RHLog]\nCount=-1\n");
    EXPECT_EQ(swfiles::appendRevisionHistory(swfiles::CLockedProfile(nullptr), "x", CountOrder::CountFirst), 0);
    EXPECT_EQ(history("Count"), "1");
}

TEST_F(SwFiles, BusyLocksGiveDefaultsAndSkipWrites)
{
    root.writeFile(swfiles::kConfigFile, "[Polling]\nState=0\nTime=3\n");
    const swfiles::CLockedProfile agent(swfiles::kAgentLock);
    const pid_t holder = holdLockInChild(swfiles::kAgentLock);
    char buffer[16] = "untouched";
    EXPECT_EQ(agent.MyGetPrivateProfileString("Polling", "Time", "9", buffer, sizeof buffer,
                                              swfiles::kConfigFile), 0);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(agent.MyGetPrivateProfileInt("Polling", "State", 1, swfiles::kConfigFile), 1);
    EXPECT_EQ(agent.MyWritePrivateProfileString("Polling", "State", "5", swfiles::kConfigFile), 0);
    stopChild(holder);
    EXPECT_EQ(agent.MyGetPrivateProfileInt("Polling", "State", 1, swfiles::kConfigFile), 0);

    // The common lock alone stops every writer, the collector's (no own lock) included.
    const pid_t common = holdLockInChild(swfiles::kCommonLock);
    EXPECT_EQ(agent.MyWritePrivateProfileString("Polling", "State", "5", swfiles::kConfigFile), 0);
    EXPECT_EQ(swfiles::appendRevisionHistory(swfiles::CLockedProfile(nullptr), "x", CountOrder::CountFirst), -1);
    EXPECT_EQ(agent.MyGetPrivateProfileInt("Polling", "Time", 17, swfiles::kConfigFile), 3);
    stopChild(common);
    EXPECT_FALSE(root.exists(swfiles::kHistoryFile));
}

} // namespace
