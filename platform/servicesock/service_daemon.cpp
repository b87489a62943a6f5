#include "service_daemon.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <syslog.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log_sink.h"
#include "sandbox_path.h"

namespace {

volatile sig_atomic_t g_arrived[NSIG] = {};
volatile sig_atomic_t g_endsService[NSIG] = {};
volatile sig_atomic_t g_stop = 0;
sigset_t g_handled;        // signals with a flag handler, blocked around the check-then-wait
bool g_handledReady = false;

constexpr int kHighestInheritedDescriptor = 99;

bool validSignal(int signo) { return signo > 0 && signo < NSIG; }

void reopenStandardDescriptors()
{
    // A sandbox root rarely carries a null device of its own.
    int fd = ::open(qv::sandboxPath("/dev/null").c_str(), O_RDWR);
    if (fd < 0) fd = ::open("/dev/null", O_RDWR);
    if (fd < 0) return;
    for (int target = 0; target <= 2; ++target)
        if (fd != target) ::dup2(fd, target);
    if (fd > 2) ::close(fd);
}

} // namespace

bool foregroundRequested()
{
    const char* value = std::getenv(kForegroundEnv);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

bool detachService(mode_t mask)
{
    if (foregroundRequested()) return true;
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid > 0) ::_exit(0);
    ::setsid();
    if (::chdir("/") != 0) {
        // Only left so no mount stays busy; nothing depends on the working directory.
    }
    ::umask(mask);
    for (int fd = 0; fd <= kHighestInheritedDescriptor; ++fd) ::close(fd);
    reopenStandardDescriptors();
    return true;
}

bool installStopHandlers()
{
    g_endsService[SIGTERM] = 1;
    g_endsService[SIGINT] = 1;
    return qv::installFlagHandler(SIGTERM) && qv::installFlagHandler(SIGINT);
}

bool serviceRunning() { return g_stop == 0; }

const volatile sig_atomic_t& stopRequested() { return g_stop; }

namespace qv {

void recordSignal(int signo)
{
    if (!validSignal(signo)) return;
    g_arrived[signo] = 1;
    if (g_endsService[signo]) g_stop = 1;
}

bool installFlagHandler(int signo, void (*handler)(int))
{
    if (!g_handledReady) {
        sigemptyset(&g_handled);
        g_handledReady = true;
    }
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    if (::sigaction(signo, &action, nullptr) != 0) return false;
    sigaddset(&g_handled, signo);
    return true;
}

void installFlagHandlers(std::span<const NamedSignal> signals, void (*handler)(int))
{
    for (const NamedSignal& s : signals) {
        if (installFlagHandler(s.signo, handler)) continue;
        char message[96];
        std::snprintf(message, sizeof message, "Signal handler (%s) installation failed (%d)",
                      s.name, errno);
        logWrite(LOG_DAEMON | LOG_WARNING, message);
    }
}

bool takeSignal(int signo)
{
    if (!validSignal(signo) || !g_arrived[signo]) return false;
    g_arrived[signo] = 0;
    return true;
}

bool signalPending()
{
    for (int signo = 1; signo < NSIG; ++signo)
        if (g_arrived[signo]) return true;
    return false;
}

bool waitForSignal(long long ms)
{
    sigset_t previous;
    if (!g_handledReady) sigemptyset(&g_handled);
    g_handledReady = true;
    ::sigprocmask(SIG_BLOCK, &g_handled, &previous);
    if (!signalPending() && ms > 0) {
        const timespec timeout{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        // The handled signals are unblocked only inside the wait.
        ::ppoll(nullptr, 0, &timeout, &previous);
    }
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    return signalPending();
}

long secondMsFromEnv(const char* name)
{
    const char* text = std::getenv(name);
    const long ms = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    return ms > 0 && ms <= 1000 ? ms : 1000;
}

} // namespace qv
