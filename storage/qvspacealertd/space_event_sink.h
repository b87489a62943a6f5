// Where qvspacealertd's threshold events go: one narrow interface, so the passes can be tested
// with a recording sink and the program writes to the event log.
#pragma once

#include <cstdint>
#include <string>

// The 16-byte system event record, laid out as the controller's event log stores it.
#pragma pack(push, 1)
struct SpaceEventRecord {
    uint16_t recordId;
    uint8_t recordType;
    uint32_t timestamp;
    uint8_t generatorId;
    uint8_t generatorLun;
    uint8_t eventVersion;
    uint8_t sensorType;
    uint8_t sensorNumber;
    uint8_t eventTrigger;
    uint8_t eventData1;
    uint8_t eventData2;
    uint8_t eventData3;
};
#pragma pack(pop)
static_assert(sizeof(SpaceEventRecord) == 16);

class SpaceEventSink {
public:
    virtual ~SpaceEventSink() = default;
    // Writes one record with its add-string (the volume's mount point); the event log's result.
    virtual int writeEvent(SpaceEventRecord& record, const std::string& addString) = 0;
};
