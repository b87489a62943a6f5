#include "card_service.h"

#include "card_reader.h"

#include <identify.h>
#include <log_sink.h>
#include <service_daemon.h>

#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <syslog.h>

namespace {

constexpr qv::NamedSignal kSignals[] = {
    {SIGHUP, "SIGHUP"}, {SIGABRT, "SIGABRT"}, {SIGINT, "SIGINT"}, {SIGQUIT, "SIGQUIT"}, {SIGTERM, "SIGTERM"},
};

const char* noticeOf(int signo)
{
    switch (signo) {
    case SIGHUP: return "sighup\n";
    case SIGABRT: return "sigabrt\n";
    case SIGINT: return "sigint\n";
    case SIGQUIT: return "sigquit\n";
    default: return "sigterm received: stopping daemon\n";
    }
}

// Logs the signals that arrived; true when SIGTERM asks the loop to end.
bool serviceSignals()
{
    bool stop = false;
    for (const qv::NamedSignal& s : kSignals) {
        if (!qv::takeSignal(s.signo))
            continue;
        qv::logWrite(LOG_INFO, noticeOf(s.signo));
        stop = stop || s.signo == SIGTERM;
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        qv::waitForSignal(left);
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
    if (!identifySupportedPlatform()) return 1;
    const bool detached = detachService();
    qv::logOpen("qvmgmtcardd", LOG_DAEMON);
    if (!detached)
        qv::logWrite(LOG_DAEMON | LOG_WARNING, "daemon(): it's not possible create the daemon\n");
    qv::installFlagHandlers(kSignals);

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
