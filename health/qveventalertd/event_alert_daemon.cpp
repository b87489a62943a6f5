// The daemon's loop: a batch of unseen records, then the period's sleep; SIGHUP re-reads the
// destinations between traps, never while one is being sent.
#include "event_alert_daemon.h"

#include "log_sink.h"
#include "service_daemon.h"
#include "snmp_log.h"
#include "trap_sender.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {

long long periodMs()
{
    const char* value = std::getenv(kEventAlertPeriodEnv);
    const long long ms = value ? std::strtoll(value, nullptr, 10) : 0;
    return ms > 0 ? ms : 30000;
}

void serveSighup()
{
    if (!qv::takeSignal(SIGHUP)) return;
    log(LOG_INFO, "Signal %d received", SIGHUP);
    request_trap_notification_reread();
}

// One batch: every unseen record, each as its traps. A cursor that cannot be saved (a full disk)
// gives the same record back at once, so the batch ends after that record: it is read again,
// and sent at most once, in each later period until the cursor can be saved. Logged once.
void sendUnseenEvents(bool& cursorFailureLogged)
{
    // Records the controller logged itself reach the soft log only through a sync.
    QVEL_SyncEventLog();
    EvtStruct event{};
    bool cursorSaved = true;
    while (serviceRunning() && cursorSaved) {
        const bool haveEvent = read_next_event(&event, cursorSaved);
        if (!cursorSaved && !cursorFailureLogged)
            log(LOG_WARNING, "Cannot save the event cursor %s; its record is read again next period",
                kEventAlertCursor);
        if (!cursorSaved || haveEvent) cursorFailureLogged = !cursorSaved;
        if (!haveEvent) return;
        send_event(&event);
        serveSighup();
    }
}

} // namespace

int runEventAlertDaemon()
{
    if (!detachService()) return 1;
    qv::logOpen("qveventalertd", LOG_DAEMON);
    TrapSenderProfile profile;
    profile.announceParsing = true;
    profile.logFailedDestination = false;
    profile.unknownTypeToStderr = true;
    setTrapSenderProfile(profile);
    if (!qv::installFlagHandler(SIGHUP))
        log(LOG_WARNING, "Signal handler installation failed (%d)", errno);
    if (!installStopHandlers())
        log(LOG_WARNING, "Signal handler installation failed (%d)", errno);
    parse_trap_notification_file();

    const long long period = periodMs();
    bool cursorFailureLogged = false;
    while (serviceRunning()) {
        sendUnseenEvents(cursorFailureLogged);
        serveSighup();
        if (serviceRunning()) qv::waitForSignal(period);
        serveSighup();
    }
    return 0;
}
