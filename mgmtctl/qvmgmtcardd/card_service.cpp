#include "card_service.h"

#include "card_reader.h"
#include "daemon_detach.h"

#include <identify.h>
#include <log_sink.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <poll.h>
#include <syslog.h>

namespace {

struct HandledSignal {
    int signo;
    const char* name;
    const char* notice;
};
constexpr HandledSignal kSignals[] = {
    {SIGHUP, "SIGHUP", "sighup\n"},    {SIGABRT, "SIGABRT", "sigabrt\n"},
    {SIGINT, "SIGINT", "sigint\n"},    {SIGQUIT, "SIGQUIT", "sigquit\n"},
    {SIGTERM, "SIGTERM", "sigterm received: stopping daemon\n"},
};
constexpr size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
volatile sig_atomic_t g_arrived[kSignalCount] = {};

void onSignal(int signo)
{
    for (size_t i = 0; i < kSignalCount; ++i)
        if (kSignals[i].signo == signo)
            g_arrived[i] = 1;
}

void installSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const HandledSignal& s : kSignals) {
        if (sigaction(s.signo, &action, nullptr) != 0) {
            char message[96];
            std::snprintf(message, sizeof message, "Signal handler (%s) installation failed (%d)\n",
                          s.name, errno);
            qv::logWrite(LOG_WARNING, message);
        }
    }
}

// Logs the signals that arrived; true when SIGTERM asks the loop to end.
bool serviceSignals()
{
    bool stop = false;
    for (size_t i = 0; i < kSignalCount; ++i) {
        if (!g_arrived[i])
            continue;
        g_arrived[i] = 0;
        qv::logWrite(LOG_INFO, kSignals[i].notice);
        stop = stop || kSignals[i].signo == SIGTERM;
    }
    return stop;
}

long periodMs()
{
    const char* text = std::getenv(kPeriodEnv);
    if (text && *text) {
        char* end = nullptr;
        const long ms = std::strtol(text, &end, 10);
        if (*end == '\0' && ms > 0)
            return ms;
    }
    return kDefaultPeriodMs;
}

// Waits one period; signals end the wait early so they are logged at once. True on SIGTERM.
bool waitForNextPass(long ms)
{
    sigset_t handled, previous;
    sigemptyset(&handled);
    for (const HandledSignal& s : kSignals)
        sigaddset(&handled, s.signo);
    struct timespec deadline {};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += (ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        // Signals are blocked between the check and the wait, so none is missed.
        sigprocmask(SIG_BLOCK, &handled, &previous);
        bool pending = false;
        for (size_t i = 0; i < kSignalCount; ++i)
            pending = pending || g_arrived[i];
        struct timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        long long left = (deadline.tv_sec - now.tv_sec) * 1000000000LL + (deadline.tv_nsec - now.tv_nsec);
        if (!pending && left > 0) {
            struct timespec timeout {static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)};
            ::ppoll(nullptr, 0, &timeout, &previous);
        }
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        if (serviceSignals())
            return true;
        if (left <= 0)
            return false;
    }
}

// First pass: register the card once it has been read, and update at once when the library
// says it knows the component already.
void registerPass(std::unique_ptr<EntityInfo>& record)
{
    if (!record)
        record.reset(new (std::nothrow) EntityInfo);
    if (!record)
        return;
    if (QVRMC_ReadFRUMultiRecord(record.get()) != 0)
        return;
    if (RegisterComponent(*record) == kComponentAlreadyRegistered)
        UpdateComponent(*record);
}

void updatePass()
{
    EntityInfo record;
    QVRMC_ReadFRUMultiRecord(&record);
    UpdateComponent(record);
}

} // namespace

int runCardService()
{
    unsigned long code = 0;
    if (IdentifyVelkarnReg(&code) != 0) {
        std::fputs(kMsgNotQvSystem, stdout);
        return 1;
    }
    if (!IsProgramModelCode(code)) {
        std::fputs(kMsgNotSupportedVelkarn, stdout);
        return 1;
    }
    const bool detached = foregroundRequested() || detachFromTerminal();
    qv::logOpen("qvmgmtcardd", LOG_DAEMON);
    if (!detached)
        qv::logWrite(LOG_DAEMON | LOG_WARNING, "daemon(): it's not possible create the daemon\n");
    installSignalHandlers();

    std::unique_ptr<EntityInfo> record;
    const long period = periodMs();
    for (bool first = true;; first = false) {
        if (first)
            registerPass(record);
        else
            updatePass();
        if (waitForNextPass(period))
            break;
    }
    return 0;
}
