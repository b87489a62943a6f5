#include "tvk_semaphore.h"
#include "temp_root.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using qv::test::TempRoot;

namespace {

TEST(TvkRetrySchedule, SpreadsTriesOverTheTimeout)
{
    struct Case { unsigned long timeout; bool inRange; unsigned long tries, interval; };
    const Case cases[] = {
        {0, true, 20, 5},          {99, true, 20, 5},         {100, true, 20, 5},
        {1000, true, 20, 50},      {5000, true, 20, 250},     {39999, true, 20, 1999},
        {40000, true, 20, 2000},   {60000, true, 30, 2000},   {120000, true, 60, 2000},
        {3604425, true, 1802, 2000}, {3604426, false, 0, 0},  {~0UL, false, 0, 0},
    };
    for (const Case& c : cases) {
        TvkRetrySchedule schedule = TvkComputeRetrySchedule(c.timeout);
        EXPECT_EQ(schedule.inRange, c.inRange) << c.timeout;
        EXPECT_EQ(schedule.tries, c.tries) << c.timeout;
        EXPECT_EQ(schedule.intervalMs, c.interval) << c.timeout;
    }
}

// Runs `body` in a forked child and reports its exit status.
template <typename Body>
int inChild(Body body)
{
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A child process trying the lock once, with the shortest timeout.
int lockedElsewhere(const std::string& path)
{
    return inChild([&] {
        int handle = 0;
        if (TvkAccessSemaphore(path.c_str(), &handle) != 0) return 2;
        return TvkAcquireSemaphore(handle, 0) == -1 ? 1 : 0;
    });
}

class SemaphoreTest : public ::testing::Test {
protected:
    TempRoot root;
    std::string path = root.at("/var/qvserver/test_SEM");
};

TEST_F(SemaphoreTest, LockHeldByAnotherProcessTimesOut)
{
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t holder = fork();
    if (holder == 0) {
        int handle = 0;
        char byte = (TvkAccessSemaphore(path.c_str(), &handle) == 0 &&
                     TvkAcquireSemaphore(handle, 100) == 0) ? '1' : '0';
        (void)!write(ready[1], &byte, 1);
        (void)!read(release[0], &byte, 1);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, '1');

    int handle = 0;
    ASSERT_EQ(TvkAccessSemaphore(path.c_str(), &handle), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TvkAcquireSemaphore(handle, 200), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_EQ(TvkAcquireSemaphore(handle, 3604426), 99999);

    (void)!write(release[1], "x", 1);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(TvkAcquireSemaphore(handle, 100), 0);
    EXPECT_EQ(TvkReleaseSemaphore(handle), 0);
    EXPECT_EQ(TvkEndSemaphoreAccess(handle), 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

TEST_F(SemaphoreTest, SecondAccessInProcessNeverDropsTheLock)
{
    int first = 0, second = 0;
    ASSERT_EQ(TvkAccessSemaphore(path.c_str(), &first), 0);
    ASSERT_EQ(TvkAccessSemaphore(path.c_str(), &second), 0);
    EXPECT_GT(first, 0);
    ASSERT_EQ(TvkAcquireSemaphore(first, 100), 0);
    EXPECT_EQ(TvkAcquireSemaphore(second, 100), 0);   // per process: at once
    EXPECT_EQ(TvkEndSemaphoreAccess(second), 0);
    EXPECT_EQ(lockedElsewhere(path), 1);
    EXPECT_EQ(TvkReleaseSemaphore(second), 0);         // one of two acquires undone
    EXPECT_EQ(lockedElsewhere(path), 1);
    EXPECT_EQ(TvkReleaseSemaphore(first), 0);
    EXPECT_EQ(lockedElsewhere(path), 0);
    EXPECT_EQ(TvkEndSemaphoreAccess(first), 0);
}

TEST_F(SemaphoreTest, ForkedChildDoesNotInheritTheLock)
{
    int handle = 0;
    ASSERT_EQ(TvkAccessSemaphore(path.c_str(), &handle), 0);
    ASSERT_EQ(TvkAcquireSemaphore(handle, 100), 0);
    EXPECT_EQ(inChild([&] { return TvkAcquireSemaphore(handle, 0) == -1 ? 1 : 0; }), 1);
    EXPECT_EQ(TvkReleaseSemaphore(handle), 0);
    EXPECT_EQ(TvkEndSemaphoreAccess(handle), 0);
}

TEST_F(SemaphoreTest, AccessFailureReturnsErrnoAndLeavesHandle)
{
    int handle = 1234;
    EXPECT_EQ(TvkAccessSemaphore(root.at("/no/such/dir/x_SEM").c_str(), &handle), ENOENT);
    EXPECT_EQ(handle, 1234);
    EXPECT_EQ(TvkAcquireSemaphore(0, 0), -1);          // not a semaphore: every try fails
}

TEST(SleepTest, WaitsWithSelect)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Sleep(20), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

} // namespace
