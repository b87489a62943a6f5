#include "process_lock.h"
#include "temp_root.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Whether another process can take the lock right now.
bool otherProcessCanLock(const std::string& path)
{
    const pid_t child = fork();
    if (child == 0) _exit(qv::lockFileTryLock(qv::lockFileOpen(path)) ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(ProcessLock, ASecondOpenAndCloseNeverDropsAHeldLock)
{
    qv::test::TempRoot root;
    const std::string path = root.at("/var/qvserver/test_SEM");
    const int fd = qv::lockFileOpen(path);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(qv::lockFileTryLock(fd));
    const int again = qv::lockFileOpen(path);
    EXPECT_EQ(again, fd);
    EXPECT_EQ(qv::lockFileClose(again), 0);
    EXPECT_FALSE(otherProcessCanLock(path));

    EXPECT_TRUE(qv::lockFileTryLock(fd)); // nested
    EXPECT_EQ(qv::lockFileUnlock(fd), 0);
    EXPECT_FALSE(otherProcessCanLock(path));
    EXPECT_EQ(qv::lockFileUnlock(fd), 0);
    EXPECT_TRUE(otherProcessCanLock(path));
    EXPECT_EQ(qv::lockFileClose(fd), 0);
}

TEST(ProcessLock, AcquireTriesAtEveryPollUpToAndIncludingTheTimeOut)
{
    struct Case { unsigned timeoutMs, pollMs; unsigned long long tries; };
    const Case cases[] = {{0, 10, 1},       {9, 10, 1},      {10, 10, 2},       {25, 10, 3},
                          {10000, 10, 1001}, {120000, 10, 12001}, {4294967295u, 1, 4294967296ULL},
                          {50, 0, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(qv::lockFileTries(c.timeoutMs, c.pollMs), c.tries) << c.timeoutMs << "/" << c.pollMs;
}

TEST(ProcessLock, AcquireTimesOutWhileAnotherProcessHoldsIt)
{
    qv::test::TempRoot root;
    const std::string path = root.at("/var/qvserver/busy_SEM");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        close(ready[0]);
        const bool locked = qv::lockFileTryLock(qv::lockFileOpen(path));
        (void)!write(ready[1], locked ? "1" : "0", 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char locked = 0;
    ASSERT_EQ(read(ready[0], &locked, 1), 1);
    EXPECT_EQ(locked, '1');
    errno = 0;
    EXPECT_EQ(qv::lockFileAcquire(path, 30), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);

    const int fd = qv::lockFileAcquire(path, 30);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(qv::lockFileRelease(fd), 0);
    EXPECT_TRUE(otherProcessCanLock(path));
}

TEST(ProcessLock, RefusesALinkInPlaceOfTheLockFile)
{
    qv::test::TempRoot root;
    const std::string path = root.at("/var/qvserver/link_SEM");
    ASSERT_EQ(symlink(root.at("/tmp/elsewhere").c_str(), path.c_str()), 0);
    EXPECT_EQ(qv::lockFileOpen(path), -1);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_FALSE(root.exists("/tmp/elsewhere"));
}
