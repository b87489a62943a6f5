#include "scan_service.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <syslog.h>
#include <unistd.h>

#include "agent_identification.h"
#include "log_sink.h"
#include "profile.h"
#include "rev_scanner.h"
#include "sandbox_path.h"
#include "service_daemon.h"
#include "sw_files.h"

namespace {

volatile sig_atomic_t g_bReload = 0;
volatile sig_atomic_t g_bErase = 0;
volatile sig_atomic_t g_bPollNow = 0;

void onSignal(int signo)
{
    if (signo == SIGHUP) g_bReload = 1;
    else if (signo == SIGUSR1) g_bErase = 1;
    else if (signo == SIGUSR2) g_bPollNow = 1;
}

bool installSignals()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;   // no SA_RESTART: a signal ends the pause at once
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return ::sigaction(SIGHUP, &action, nullptr) == 0 && ::sigaction(SIGUSR1, &action, nullptr) == 0 &&
           ::sigaction(SIGUSR2, &action, nullptr) == 0 && ::sigaction(SIGINT, &ignore, nullptr) == 0 &&
           ::sigaction(SIGQUIT, &ignore, nullptr) == 0;
}

struct PollingConfig {
    int g_nPollingState = 1;
    int g_nPollingTime = 17;
};

PollingConfig load_polling_config()
{
    const std::string file = qv::sandboxPath(swfiles::kConfigFile);
    return {GetPrivateProfileInt("Polling", "State", 1, file.c_str()),
            GetPrivateProfileInt("Polling", "Time", 17, file.c_str())};
}

void recordPid()
{
    // Under the common lock: the agent rewrites the same file when it changes the settings.
    swfiles::ScopedLockFile lock(swfiles::kCommonLock);
    const std::string pid = std::to_string(::getpid());
    WritePrivateProfileString("Polling", "PID", pid.c_str(),
                              qv::sandboxPath(swfiles::kConfigFile).c_str());
}

void pause(unsigned ms)
{
    struct timespec rest {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    // A signal ends the pause early so the loop acts on its flag at once.
    ::nanosleep(&rest, nullptr);
}

} // namespace

unsigned scanPauseMs()
{
    const char* text = std::getenv("QV_REVSCAND_PAUSE_MS");
    if (text && *text) {
        char* end = nullptr;
        const unsigned long ms = std::strtoul(text, &end, 10);
        if (end && *end == '\0' && ms > 0 && ms <= 5000) return static_cast<unsigned>(ms);
    }
    return 5000;
}

int runScanService()
{
    if (!identifySupportedPlatform()) return 1;
    if (!installSignals()) return 1;
    if (!detachService()) {
        std::fputs("qvrevscand: error - unable to fork(), daemon aborted\n", stderr);
        return 1;
    }
    recordPid();
    qv::logOpen("qvrevscand", LOG_DAEMON);

    CRevisionScanner scanner;
    PollingConfig config = load_polling_config();
    bool g_bInitialized = false;
    const unsigned pauseMs = scanPauseMs();
    for (;;) {
        if (g_bReload) {
            g_bReload = 0;
            config = load_polling_config();
        }
        if (g_bErase) {
            g_bErase = 0;
            scanner.RHFilesErase();
            g_bInitialized = true;
        }
        if (config.g_nPollingState > 0) {
            if (!g_bInitialized) {
                scanner.CreateRevisionHistoryBaseFile(false);
                g_bInitialized = true;
            }
            const time_t now = std::time(nullptr);
            struct tm local {};
            localtime_r(&now, &local);
            if (shouldPoll(local, config.g_nPollingTime, g_bPollNow != 0)) {
                g_bPollNow = 0;
                scanner.UpdateRevisionHistory(now);
            }
        }
        pause(pauseMs);
    }
}
