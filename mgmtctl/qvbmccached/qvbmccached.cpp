#include "qvbmccached.h"

#include "cache_system.h"
#include "pipe_server.h"

#include <identify.h>
#include <log_sink.h>
#include <service_daemon.h>

#include <csignal>
#include <cstdio>

#include <syslog.h>

int runCacheService()
{
    // Identify while stdout still reaches the caller and the exit status still counts.
    if (!IsVelkarnId()) {
        std::fputs(kMsgNotVelkarn, stdout);
        return 1;
    }
    if (!detachService())
        return 1;
    qv::logOpen("qvbmccached", LOG_DAEMON);
    // A blocked read of the request FIFO ends at a stop signal, so the loop sees the flag.
    installStopHandlers();
    signal(SIGPIPE, SIG_IGN);
    if (!createRequestPipe())
        return 0;
    {
        CacheSystem cache;
        if (cache.setUp(kSetUpAttempts))
            serveRequests(cache, stopRequested());
    }
    removeRequestPipe();
    return 0;
}
