// The one service layer: going to the background, stop and notice signals, QV_FOREGROUND.
// Every service (and nothing else) runs its start-up through these functions, then opens its
// log with qv::logOpen(name, LOG_DAEMON) and speaks through LogPrint or log().
#pragma once

#include <csignal>
#include <span>
#include <sys/stat.h>

inline constexpr char kForegroundEnv[] = "QV_FOREGROUND";

// True when QV_FOREGROUND=1 asks the service to stay attached (tests and the demo).
bool foregroundRequested();

// The file mode creation masks of a service: most leave nothing world-writable (their agents
// reach them through the group of /var/qvserver); a service that no one else may talk to keeps
// everything it creates to its owner.
inline constexpr mode_t kServiceUmask = S_IWOTH;
inline constexpr mode_t kOwnerOnlyUmask = 077;

// Detaches from the terminal unless QV_FOREGROUND=1: fork (the parent exits 0), setsid,
// chdir("/"), umask `mask`, every inherited descriptor up to 99 closed and 0-2 reopened on
// /dev/null, so nothing the service opens later becomes its standard output and no pipe of its
// starter stays open. False when fork fails (the process is unchanged).
bool detachService(mode_t mask = kServiceUmask);

// SIGTERM and SIGINT end the service: their handlers clear the flag serviceRunning() reports.
// False when a handler could not be installed (errno set).
bool installStopHandlers();
bool serviceRunning();
// The same state as a flag a loop can watch: set once a stop signal arrived.
const volatile sig_atomic_t& stopRequested();

namespace qv {

// Handlers only note that a signal arrived; the service's loop acts on it later. The default
// handler is recordSignal; a program may install its own that calls recordSignal. No
// SA_RESTART, so a wait in progress ends at once. False when sigaction fails (errno set).
void recordSignal(int signo);
bool installFlagHandler(int signo, void (*handler)(int) = recordSignal);

// Installs flag handlers for a service's table of signals; each one that fails is logged as
// "Signal handler (<name>) installation failed (<errno>)" at LOG_WARNING and start-up goes on.
struct NamedSignal {
    int signo;
    const char* name;   // "SIGHUP"
};
void installFlagHandlers(std::span<const NamedSignal> signals, void (*handler)(int) = recordSignal);

// True once per arrival of `signo` since the last call (the note is cleared).
bool takeSignal(int signo);
// True while any noted signal has not been taken.
bool signalPending();

// Sleeps up to `ms` milliseconds; returns at once, or as soon as one comes, when a noted signal
// is pending. A signal arriving just before the sleep still ends it. True when one is pending.
bool waitForSignal(long long ms);

// Length in ms of one second of a service's waits: the value of the environment variable `name`
// (tests shorten long periods with it) when it is 1 to 1000, else 1000.
long secondMsFromEnv(const char* name);

} // namespace qv
