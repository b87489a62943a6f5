#include "lan_alert_daemon.h"

#include "snmp_log.h"
#include "service_daemon.h"
#include "trap_sender.h"

#include <csignal>

namespace {

const qv::NamedSignal kSignals[] = {
    {SIGHUP, "SIGHUP"}, {SIGABRT, "SIGABRT"}, {SIGINT, "SIGINT"},
    {SIGQUIT, "SIGQUIT"}, {SIGTERM, "SIGTERM"},
};

// Logged and otherwise ignored.
void logIgnored(int signo, const char* text)
{
    if (qv::takeSignal(signo)) log(LOG_INFO, "%s", text);
}

// Lock, detach, remove, unlock; 0 when every step worked.
int releaseSegment()
{
    log(LOG_INFO, "sigterm caught... releasing resources... ");
    bool failed = !shm_parm || !shm_parm->lock();
    if (shm_parm) {
        shm_parm->detach();
        failed = failed || shm_parm->getOperationStatus() != 0;
        shm_parm->destroy();
        failed = failed || shm_parm->getOperationStatus() != 0;
        failed = !shm_parm->unlock() || failed;
    }
    if (failed) {
        log(LOG_WARNING, "error: destroying the parameters semaphore\n");
        return 1;
    }
    log(LOG_INFO, "done.\n");
    return 0;
}

} // namespace

void signal_handler(int signo) { qv::recordSignal(signo); }

void install_signal_handlers() { qv::installFlagHandlers(kSignals, signal_handler); }

bool serviceSignals(int& status)
{
    if (qv::takeSignal(SIGHUP)) {
        log(LOG_INFO, "sighup\n");
        // Never inside send_trap here, so the new list is in place before the next trap.
        request_trap_notification_reread();
    }
    logIgnored(SIGINT, "sigint\n");
    logIgnored(SIGQUIT, "sigquit\n");
    logIgnored(SIGABRT, "sigabrt\n");
    if (!qv::takeSignal(SIGTERM)) return false;
    status = releaseSegment();
    return true;
}

bool signalPending() { return qv::signalPending(); }
