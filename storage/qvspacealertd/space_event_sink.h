// Where qvspacealertd's threshold events go: one narrow interface, so the passes can be tested
// with a recording sink and the program writes to the event log.
#pragma once

#include "qveventlog.h"

#include <cstdint>
#include <string>

// The event log's own 16-byte record, so what the daemon builds is what the log stores.
using SpaceEventRecord = Sel;

class SpaceEventSink {
public:
    virtual ~SpaceEventSink() = default;
    // Writes one record with its add-string (the volume's mount point); the event log's result.
    virtual int writeEvent(SpaceEventRecord& record, const std::string& addString) = 0;
};
