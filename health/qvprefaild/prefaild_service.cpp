#include "prefaild_service.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <syslog.h>

#include "log_print.h"
#include "prefail_store.h"
#include "service_daemon.h"
#include "service_startup.h"
#include "suspect_list.h"

namespace {

constexpr char kProgram[] = "qvprefaild";
constexpr char kCursorFile[] = "qvprefaild.cfg";

// In the order they are installed; only SIGTERM stops the monitor.
constexpr qv::NamedSignal kSignals[] = {
    {SIGHUP, "SIGHUP"}, {SIGABRT, "SIGABRT"}, {SIGINT, "SIGINT"}, {SIGQUIT, "SIGQUIT"}, {SIGTERM, "SIGTERM"},
};

long long periodMs()
{
    const char* value = std::getenv(kPrefailPeriodEnv);
    const long long ms = value ? std::strtoll(value, nullptr, 10) : 0;
    return ms > 0 ? ms : 30000;
}

bool installHandlers()
{
    for (const qv::NamedSignal& s : kSignals) {
        if (!qv::installFlagHandler(s.signo)) {
            LogPrint(LOG_INFO, "sigaction(%s) failed", s.name);
            return false;
        }
    }
    return true;
}

// The handlers only note signals; their log lines are written here. True when SIGTERM came.
bool serveSignals()
{
    bool stop = false;
    for (const qv::NamedSignal& s : kSignals) {
        if (!qv::takeSignal(s.signo)) continue;
        if (s.signo == SIGTERM) {
            LogPrint(LOG_INFO, "signal SIGTERM caught... stopping qvprefaild");
            stop = true;
        } else {
            LogPrint(LOG_INFO, "signal %s caught", s.name);
        }
    }
    return stop;
}

// Sources already above their row's maximum start again from 0.
bool resetOverfullSources(std::vector<CEventStatus>& statuses)
{
    bool reset = false;
    for (CEventStatus& s : statuses) {
        if (s.EventIsPending()) {
            s.ResetState();
            reset = true;
        }
    }
    return reset;
}

} // namespace

PrefailEventSource eventLogPrefailSource()
{
    PrefailEventSource s;
    s.readNextUnseen = [](EvtStruct* e) { return QVEL_ReadNextUnseenEvent(e, kCursorFile); };
    s.writeEvent = [](Sel* record) { return QVEL_WriteEvent(record, nullptr); };
    s.now = [] { return static_cast<long>(std::time(nullptr)); };
    s.storeList = UpdatePersistentStore;
    return s;
}

int runPrefailService()
{
    if (const int status = startIdentifiedService(kProgram); status >= 0) return status;
    LogPrint(LOG_INFO, "starting qvprefaild daemon");
    if (!installHandlers()) return 1;

    CSuspectList list;
    list.statuses() = ReadPersistentStore();
    if (resetOverfullSources(list.statuses())) UpdatePersistentStore(list.statuses());

    const PrefailEventSource source = eventLogPrefailSource();
    const auto period = std::chrono::milliseconds(periodMs());
    auto nextPass = std::chrono::steady_clock::now() + period;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextPass - std::chrono::steady_clock::now());
        if (left.count() > 0) qv::waitForSignal(left.count());
        if (serveSignals()) break;
        if (std::chrono::steady_clock::now() < nextPass) continue;
        if (list.QueryEventLog(source) != 0) break;
        nextPass = std::chrono::steady_clock::now() + period;
    }
    UpdatePersistentStore(list.statuses());
    return 0;
}
