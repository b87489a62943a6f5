// qvspacealertd: the volume capacity trap daemon, writing its events to the event log.
#include <cstring>

#include "qveventlog.h"
#include "space_alert.h"

namespace {

class EventLogSink : public SpaceEventSink {
public:
    int writeEvent(SpaceEventRecord& record, const std::string& addString) override
    {
        // The library shortens the add-string in place, so it gets a copy of its own.
        char text[256] = {};
        std::strncpy(text, addString.c_str(), sizeof text - 1);
        return QVEL_WriteEvent(&record, text);
    }
};

} // namespace

int main()
{
    EventLogSink sink;
    return runSpaceAlertDaemon(sink);
}
