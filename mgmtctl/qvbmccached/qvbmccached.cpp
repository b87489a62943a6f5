#include "qvbmccached.h"

#include "cache_system.h"
#include "daemon_detach.h"
#include "pipe_server.h"

#include <identify.h>
#include <log_sink.h>

#include <csignal>
#include <cstdio>

#include <syslog.h>

namespace {
volatile sig_atomic_t g_stop = 0;

void onStopSignal(int) { g_stop = 1; }

void installStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocked read of the request FIFO returns so the loop sees the flag.
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}
} // namespace

int runCacheService()
{
    // Identify while stdout still reaches the caller and the exit status still counts.
    if (!IsVelkarnId()) {
        std::fputs(kMsgNotVelkarn, stdout);
        return 1;
    }
    if (!foregroundRequested() && !detachFromTerminal())
        return 1;
    qv::logOpen("qvbmccached", LOG_DAEMON);
    installStopHandlers();
    if (!createRequestPipe())
        return 0;
    {
        CacheSystem cache;
        if (cache.setUp(kSetUpAttempts))
            serveRequests(cache, g_stop);
    }
    removeRequestPipe();
    return 0;
}
