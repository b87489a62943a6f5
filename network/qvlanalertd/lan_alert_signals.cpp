#include "lan_alert_daemon.h"

#include "snmp_log.h"
#include "trap_sender.h"

#include <cerrno>
#include <csignal>

namespace {

volatile sig_atomic_t pendingHup = 0;
volatile sig_atomic_t pendingTerm = 0;
volatile sig_atomic_t pendingInt = 0;
volatile sig_atomic_t pendingQuit = 0;
volatile sig_atomic_t pendingAbrt = 0;

struct HandledSignal {
    int signo;
    const char* name;
};
const HandledSignal kSignals[] = {
    {SIGHUP, "SIGHUP"}, {SIGABRT, "SIGABRT"}, {SIGINT, "SIGINT"},
    {SIGQUIT, "SIGQUIT"}, {SIGTERM, "SIGTERM"},
};

// Logged and otherwise ignored.
void logIgnored(volatile sig_atomic_t& pending, const char* text)
{
    if (!pending) return;
    pending = 0;
    log(LOG_INFO, "%s", text);
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

void signal_handler(int signo)
{
    switch (signo) {
    case SIGHUP: pendingHup = 1; break;
    case SIGTERM: pendingTerm = 1; break;
    case SIGINT: pendingInt = 1; break;
    case SIGQUIT: pendingQuit = 1; break;
    case SIGABRT: pendingAbrt = 1; break;
    default: break;
    }
}

void install_signal_handlers()
{
    struct sigaction action {};
    action.sa_handler = signal_handler;
    sigemptyset(&action.sa_mask);
    for (const HandledSignal& s : kSignals) {
        if (sigaction(s.signo, &action, nullptr) != 0)
            log(LOG_WARNING, "Signal handler (%s) installation failed (%d)\n", s.name, errno);
    }
}

bool serviceSignals(int& status)
{
    if (pendingHup) {
        pendingHup = 0;
        log(LOG_INFO, "sighup\n");
        // Never inside send_trap here, so the new list is in place before the next trap.
        request_trap_notification_reread();
    }
    logIgnored(pendingInt, "sigint\n");
    logIgnored(pendingQuit, "sigquit\n");
    logIgnored(pendingAbrt, "sigabrt\n");
    if (!pendingTerm) return false;
    pendingTerm = 0;
    status = releaseSegment();
    return true;
}

bool signalPending()
{
    return pendingHup || pendingTerm || pendingInt || pendingQuit || pendingAbrt;
}
