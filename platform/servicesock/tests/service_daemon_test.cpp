#include "service_daemon.h"
#include "log_print.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "temp_root.h"

namespace {

using namespace std::chrono_literals;

class ServiceDaemonTest : public ::testing::Test {
protected:
    qv::test::TempRoot root_;
    qv::test::ScopedEnv foreground_{"QV_FOREGROUND", nullptr};
};

std::string fdTarget(int fd)
{
    char link[PATH_MAX] = {};
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
    return n > 0 ? std::string(link, n) : std::string("closed");
}

// The detached grandchild writes what it sees into a file (its descriptors are gone); the pipe
// shows whether anything of its starter stayed open in it.
TEST_F(ServiceDaemonTest, DetachLeavesNoInheritedDescriptorAndNothingWorldWritable)
{
    const std::string report = root_.at("/report");
    int starter[2];
    ASSERT_EQ(::pipe(starter), 0);
    const int inherited = ::open("/proc/self/status", O_RDONLY);   // an ordinary open file, no CLOEXEC
    ASSERT_GE(inherited, 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(starter[0]);
        if (!detachService()) ::_exit(3);
        // Only the detached process gets here.
        const bool inheritedClosed = ::fcntl(inherited, F_GETFD) < 0 && ::fcntl(starter[1], F_GETFD) < 0;
        const mode_t mask = ::umask(0);
        char cwd[PATH_MAX] = {};
        const std::string text = fdTarget(0) + "|" + fdTarget(1) + "|" + fdTarget(2) + "|" +
                                 (inheritedClosed ? "closed" : "open") + "|" + std::to_string(mask) +
                                 "|" + (::getcwd(cwd, sizeof cwd) ? cwd : "") + "|" +
                                 (::getsid(0) == ::getpid() ? "leader" : "member");
        const std::string tmp = report + ".tmp";
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            (void)!::write(fd, text.data(), text.size());
            ::close(fd);
            ::rename(tmp.c_str(), report.c_str());
        }
        ::_exit(0);
    }
    ::close(starter[1]);
    ::close(inherited);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);   // the parent side leaves at once
    char byte;
    EXPECT_EQ(::read(starter[0], &byte, 1), 0);   // end of file: nobody holds the starter's pipe
    ::close(starter[0]);
    for (int i = 0; i < 500 && !root_.exists("/report"); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(root_.exists("/report"));
    EXPECT_EQ(root_.readFile("/report"),
              "/dev/null|/dev/null|/dev/null|closed|" + std::to_string(S_IWOTH) + "|/|leader");
}

TEST_F(ServiceDaemonTest, ForegroundKeepsTheProcessAsItIs)
{
    qv::test::ScopedEnv fg("QV_FOREGROUND", "1");
    const pid_t before = ::getpid();
    const std::string out = fdTarget(1);
    EXPECT_TRUE(foregroundRequested());
    EXPECT_TRUE(detachService());
    EXPECT_EQ(::getpid(), before);
    EXPECT_EQ(fdTarget(1), out);
    qv::test::ScopedEnv other("QV_FOREGROUND", "yes");
    EXPECT_FALSE(foregroundRequested());
}

TEST_F(ServiceDaemonTest, StopSignalsOnlyClearTheRunningFlag)
{
    EXPECT_EXIT(
        {
            if (!installStopHandlers() || !serviceRunning() || stopRequested()) std::_Exit(2);
            ::raise(SIGTERM);
            std::_Exit(!serviceRunning() && stopRequested() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            installStopHandlers();
            ::raise(SIGINT);
            std::_Exit(serviceRunning() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ServiceDaemonTest, NoticedSignalIsTakenOnceAndEndsAWait)
{
    ASSERT_TRUE(qv::installFlagHandler(SIGUSR1));
    EXPECT_FALSE(qv::takeSignal(SIGUSR1));
    EXPECT_FALSE(qv::waitForSignal(30));   // nothing came: the whole time passes

    ::raise(SIGUSR1);
    EXPECT_TRUE(qv::signalPending());
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(qv::waitForSignal(10000));   // already pending: no wait
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_TRUE(qv::takeSignal(SIGUSR1));
    EXPECT_FALSE(qv::takeSignal(SIGUSR1));
    EXPECT_FALSE(qv::signalPending());

    // A signal that comes during the wait ends it.
    const pthread_t waiter = ::pthread_self();
    std::thread sender([waiter] {
        std::this_thread::sleep_for(100ms);
        ::pthread_kill(waiter, SIGUSR1);
    });
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(qv::waitForSignal(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    sender.join();
    EXPECT_TRUE(qv::takeSignal(SIGUSR1));
    ::signal(SIGUSR1, SIG_DFL);
}

TEST_F(ServiceDaemonTest, FailedHandlerInstallationIsLoggedAndTheRestInstalled)
{
    qv::test::ScopedEnv file("QV_LOG_FILE", root_.at("/log").c_str());
    const qv::NamedSignal table[] = {{SIGKILL, "SIGKILL"}, {SIGUSR2, "SIGUSR2"}};
    qv::installFlagHandlers(table);
    EXPECT_EQ(root_.readFile("/log"), "Signal handler (SIGKILL) installation failed (22)\n");
    ::raise(SIGUSR2);   // would end the process without a handler
    EXPECT_TRUE(qv::takeSignal(SIGUSR2));
    ::signal(SIGUSR2, SIG_DFL);
}

TEST_F(ServiceDaemonTest, LogFacesEndEveryMessageWithOneLineEnd)
{
    qv::test::ScopedEnv file("QV_LOG_FILE", root_.at("/log").c_str());
    LogPrint(3, "with its own line end\n");
    LogPrint(3, "without");
    EXPECT_EQ(root_.readFile("/log"), "with its own line end\nwithout\n");
}

} // namespace
