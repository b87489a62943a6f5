// qvspacealertd for process tests: the real service with its events appended to the file named
// by QV_SPACEALERTD_EVENT_LOG instead of the event log.
#include <cstdlib>

#include "recording_event_sink.h"
#include "space_alert.h"

int main()
{
    const char* path = std::getenv("QV_SPACEALERTD_EVENT_LOG");
    spacetest::FileEventSink sink(path != nullptr ? path : "/dev/null");
    return runSpaceAlertDaemon(sink);
}
