// qveventcached: serves the rows of the event-log table to the event-log agent.
#pragma once

#include "event_log_cache.h"
#include "service_request.h"

// Waits for one request and answers it; false when no command arrived in time.
bool ServeEventCacheRequest(CEventLogCache& cache, CServiceRequestReader& reader);
// The whole service after identification; the exit status.
int runEventCacheService();
