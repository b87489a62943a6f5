#include "service_daemon.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox_path.h"

namespace {
volatile sig_atomic_t g_running = 1;

void onStopSignal(int) { g_running = 0; }
} // namespace

bool detachService()
{
    const char* fg = std::getenv("QV_FOREGROUND");
    if (fg && std::strcmp(fg, "1") == 0) return true;
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid > 0) std::_Exit(0);
    ::setsid();
    if (::chdir("/") != 0) { /* nothing depends on the working directory */ }
    ::umask(S_IWOTH);
    int null = ::open(qv::sandboxPath("/dev/null").c_str(), O_RDWR);
    if (null < 0) null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
        if (null > 2) ::close(null);
    }
    return true;
}

bool installStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;   // no SA_RESTART: the pending wait ends at once
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

bool serviceRunning() { return g_running != 0; }
