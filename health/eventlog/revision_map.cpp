// Records written under event message revision 2 take the revision 3 codes, so descriptions and
// pattern tables need only one set.
#include "eventlog_internal.h"

namespace {
constexpr uint8_t kRevision2 = 2;
constexpr uint8_t kRevision3 = 3;

const uint8_t rgThresholdTriggers[] = {0x01, 0};
const uint8_t rgDigitalTriggers[] = {0x03, 0x04, 0x05, 0x06, 0x08, 0x09, 0};
const uint8_t rgDiscreteTriggers[] = {0x02, 0x07, 0x0A, 0x0B, 0};

// Data-1 flags by bits 5-7 of the revision 2 byte.
const uint8_t rgMapThreshold[8] = {0x80, 0x90, 0xA0, 0x80, 0x40, 0x50, 0x60, 0x40};
const uint8_t rgMapDigital[8] = {0x40, 0x50, 0x60, 0x50, 0x00, 0x00, 0x00, 0x00};
const uint8_t rgMapDiscrete[8] = {0x80, 0x20, 0xA0, 0x90, 0x40, 0x60, 0x60, 0x50};
const uint8_t rgMapOEM[8] = {0x00, 0x80, 0x20, 0xA0, 0x40, 0x40, 0x60, 0x60};

bool EventIsType(uint8_t trigger, const uint8_t* table)
{
    for (; *table != 0; ++table)
        if (*table == trigger) return true;
    return false;
}
} // namespace

namespace qv::eventlog {

uint8_t MapTrigger_2to3(uint8_t trigger)
{
    if (trigger == 0xE6) return 0xEF;
    if (trigger == 0xE7) return 0x6F;
    if (trigger >= 0xE8 && trigger <= 0xEF) return static_cast<uint8_t>(trigger + 0x88);
    return trigger;
}

uint8_t MapData1_2to3(uint8_t trigger3, uint8_t data1)
{
    const uint8_t* table = EventIsType(trigger3, rgThresholdTriggers) ? rgMapThreshold
                           : EventIsType(trigger3, rgDigitalTriggers) ? rgMapDigital
                           : EventIsType(trigger3, rgDiscreteTriggers) ? rgMapDiscrete
                                                                       : rgMapOEM;
    return static_cast<uint8_t>((data1 & 0x0F) | table[data1 >> 5]);
}

} // namespace qv::eventlog

extern "C" void QVEL_MapEventRecord2to3(Sel* record)
{
    if (record == nullptr || record->eventVersion != kRevision2) return;
    record->eventTrigger = qv::eventlog::MapTrigger_2to3(record->eventTrigger);
    record->eventData1 = qv::eventlog::MapData1_2to3(record->eventTrigger, record->eventData1);
    record->eventVersion = kRevision3;
}
