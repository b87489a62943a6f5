#include "event_cache_service.h"

#include "event_cache_protocol.h"
#include "log_print.h"
#include "log_sink.h"
#include "sandbox_path.h"
#include "service_daemon.h"

#include <syslog.h>

#include <cerrno>
#include <cstdio>

bool ServeEventCacheRequest(CEventLogCache& cache, CServiceRequestReader& reader)
{
    int32_t command = 0;
    if (!reader.ReadCommand(&command)) return false;
    if (command == kEventCacheCount) {
        const int32_t count = cache.GetCount();
        if (!reader.Reply(&count, sizeof count)) LogPrint(LOG_ERR, "Write() failed (errno=%d)", errno);
        return true;
    }
    if (command < kEventCacheDate || command > kEventCacheVarbind8) {
        LogPrint(LOG_ERR, "Unknown command: %d", command);
        reader.DiscardRest();
        return true;
    }
    int32_t row = 0;
    if (!reader.ReadField(&row)) return true;   // no row in time: nothing is sent
    char buffer[4096];
    int length = sizeof buffer;
    bool ok = false;
    switch (command) {
    case kEventCacheDate: ok = cache.GetDate(row, buffer, &length); break;
    case kEventCacheDescription: ok = cache.GetDescription(row, buffer, &length); break;
    case kEventCacheTrapId: ok = cache.GetTrapId(row, buffer, &length); break;
    default: ok = cache.GetVarbind(command - kEventCacheVarbind1 + 1, row, buffer, &length); break;
    }
    // A row that cannot be read gets an empty answer, which the client takes as a failure.
    if (!reader.Reply(buffer, ok ? length : 0)) LogPrint(LOG_ERR, "Write() failed (errno=%d)", errno);
    // The last column of a row: a walk asks for the next row soon.
    if (command == kEventCacheVarbind8) cache.FillRow(cache.HeldRow() + 1);
    return true;
}

int runEventCacheService()
{
    if (!detachService()) {
        std::fputs("qveventcached: error trying to go background\n", stderr);
        return 1;
    }
    qv::logOpen("qveventcached", LOG_DAEMON);
    if (!installStopHandlers()) LogPrint(LOG_WARNING, "Signal handler installation failed (%d)", errno);
    CEventLogCache cache;
    cache.FillRow(0);
    CSocket socket;
    if (!socket.Create(qv::sandboxPath(kEventCacheSocketPath).c_str())) {
        LogPrint(LOG_CRIT, "Cannot create socket (errno=%d)", errno);
        return 1;
    }
    CServiceRequestReader reader(socket);
    while (serviceRunning()) ServeEventCacheRequest(cache, reader);
    socket.Destroy();
    return 0;
}
