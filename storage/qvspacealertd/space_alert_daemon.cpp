#include "space_alert.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include "agent_identification.h"
#include <syslog.h>

#include "log_print.h"
#include "log_sink.h"
#include "service_daemon.h"
#include "shared_file.h"

namespace {

struct HandledSignal {
    int signo;
    const char* name;
    volatile sig_atomic_t pending;
};

// In installation order.
HandledSignal g_signals[] = {
    {SIGHUP, "SIGHUP", 0}, {SIGINT, "SIGINT", 0}, {SIGQUIT, "SIGQUIT", 0},
    {SIGABRT, "SIGABRT", 0}, {SIGTERM, "SIGTERM", 0},
};
volatile sig_atomic_t g_stopRequested = 0;

// Only flags: the loop logs and ends, never in the middle of a history rewrite.
void onSignal(int signo)
{
    for (HandledSignal& s : g_signals)
        if (s.signo == signo) s.pending = 1;
    if (signo == SIGINT || signo == SIGTERM) g_stopRequested = 1;
}

void installSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;   // no SA_RESTART: a signal ends the pause at once
    for (const HandledSignal& s : g_signals)
        if (::sigaction(s.signo, &action, nullptr) != 0)
            LogPrint(LOG_WARNING, "%s Signal handler installation failed (%d)", s.name, errno);
}

// Logs the signals that arrived; true when one of them ends the service.
bool takeSignals()
{
    for (HandledSignal& s : g_signals) {
        if (!s.pending) continue;
        s.pending = 0;
        LogPrint(LOG_INFO, "Signal %s received\n", s.name);
    }
    return g_stopRequested != 0;
}

unsigned pauseMs()
{
    const char* text = std::getenv(kPauseMsEnv);
    if (text == nullptr || *text == '\0') return kDefaultPauseMs;
    char* end = nullptr;
    const unsigned long ms = std::strtoul(text, &end, 10);
    return *end == '\0' && ms <= kDefaultPauseMs ? static_cast<unsigned>(ms) : kDefaultPauseMs;
}

// Sleeps the pause between passes; false when a stop signal ended it.
bool pauseBetweenPasses(unsigned ms)
{
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    for (auto now = Clock::now(); now < until; now = Clock::now()) {
        if (takeSignals()) return false;
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - now);
        const timespec pause{static_cast<time_t>(left.count() / 1000000000),
                             static_cast<long>(left.count() % 1000000000)};
        ::nanosleep(&pause, nullptr);
    }
    return !takeSignals();
}

int stopService(SharedFile& lock)
{
    lock.Close();
    return 1;
}

// The state and names files go with the service: the next start numbers volumes afresh.
int endService(SharedFile& lock)
{
    lock.Lock();
    ::unlink(fileDrv.c_str());
    ::unlink(fileVar.c_str());
    lock.Close();
    return 0;
}

} // namespace

int runSpaceAlertDaemon(SpaceEventSink& sink)
{
    // Before detaching, so the refusal reaches the terminal.
    if (!identifySupportedPlatform()) return 1;
    if (!detachService()) return 1;
    qv::logOpen("qvspacealertd", LOG_DAEMON);
    SharedFile lock;
    if (LoadVolcapFilenames() != 0) {
        LogPrint(LOG_WARNING, "Can't get volCap filenames stored in registry\n");
        return stopService(lock);
    }
    installSignalHandlers();
    if (!lock.Open(fileLock)) {
        LogPrint(LOG_WARNING, "Can't open lock file\n");
        return stopService(lock);
    }
    ::unlink(fileVar.c_str());

    const unsigned pause = pauseMs();
    UnsavedStates unsaved;
    for (;;) {
        if (takeSignals()) return endService(lock);
        const DrvInfo drives(true);
        if (!lock.Lock()) {
            LogPrint(LOG_WARNING, "lock failed!\n");
            return stopService(lock);
        }
        if (!runVolumePass(sink, drives, unsaved)) return stopService(lock);
        lock.UnLock();
        if (!pauseBetweenPasses(pause)) return endService(lock);
    }
}
