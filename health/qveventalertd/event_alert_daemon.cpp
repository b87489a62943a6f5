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
    while (serviceRunning()) {
        EvtStruct event{};
        while (serviceRunning() && read_next_event(&event)) {
            send_event(&event);
            serveSighup();
        }
        serveSighup();
        if (serviceRunning()) qv::waitForSignal(period);
        serveSighup();
    }
    return 0;
}
