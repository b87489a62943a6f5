#include "prefail_events.h"

// 0x0C memory, 0x07 processor. Each revision has its own rows; records are not mapped.
const EventCnfgType CEventInfo::rgEvents[CEventInfo::nSELs] = {
    {{0x0C, 0xE7, 0x00}, {0x0C, 0x04, 0x61}, 2, 0, 0xFF00FFFF, 100, 0},
    {{0x0C, 0x6F, 0x00}, {0x0C, 0x04, 0xA1}, 3, 0, 0xFF00FFFF, 100, 0},
    {{0x07, 0xE8, 0x03}, {0x07, 0x04, 0x41}, 2, 0, 0x000000FF, 100, 0},
    {{0x07, 0x70, 0x03}, {0x07, 0x04, 0x61}, 3, 0, 0x000000FF, 100, 0},
    {{0x0C, 0xE7, 0x03}, {0x0C, 0x04, 0x61}, 2, 0, 0xFF00FFFF, 100, 0},
    {{0x0C, 0x6F, 0x03}, {0x0C, 0x04, 0xA1}, 3, 0, 0xFF00FFFF, 100, 0},
    {{0x0C, 0x6F, 0x03}, {0x0C, 0x04, 0xA1}, 2, 0, 0xFF00FFFF, 100, 0},
};

int CEventInfo::FindSELEntry(const Sel& record)
{
    return FindRow({record.sensorType, record.eventTrigger, uint8_t(record.eventData1 & 0x0F)},
                   record.eventVersion);
}

int CEventInfo::FindRow(const SELDefType& sel, uint8_t version)
{
    for (unsigned i = 0; i < nSELs; ++i) {
        const EventCnfgType& row = rgEvents[i];
        if (row.version == version && row.MonSEL.sensorType == sel.sensorType &&
            row.MonSEL.eventTrigger == sel.eventTrigger && row.MonSEL.offset == sel.offset)
            return static_cast<int>(i);
    }
    return -1;
}

uint32_t eventKey(const Sel& record)
{
    return uint32_t(record.sensorNumber) << 24 | uint32_t(record.eventData1) << 16 |
           uint32_t(record.eventData2) << 8 | record.eventData3;
}
