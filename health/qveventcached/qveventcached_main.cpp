// qveventcached: the event cache service behind the event-log agent.
#include "agent_identification.h"
#include "event_cache_service.h"

int main()
{
    if (!identifySupportedPlatform()) return 1;
    return runEventCacheService();
}
