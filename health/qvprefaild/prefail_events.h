// Which event log records the pre-failure monitor watches, and the predictive-failure record
// each of them turns into when one source repeats too often.
#pragma once

#include <cstdint>

#include "qveventlog.h"

struct SELDefType {
    uint8_t sensorType;
    uint8_t eventTrigger;
    uint8_t offset;   // monitored: bits 0-3 of data 1; predictive: the whole data 1
};

struct EventCnfgType {
    SELDefType MonSEL;
    SELDefType PredSEL;
    uint8_t version;       // event message revision the row applies to
    uint8_t unused;
    uint32_t maskData;     // which parts of a record's key tell sources apart
    uint32_t nRecordsMax;  // count above which a prediction is made
    uint32_t sPeriodMin;   // window in minutes
};

struct CEventInfo {
    static constexpr unsigned nSELs = 7;
    static const EventCnfgType rgEvents[nSELs];

    // The first row of the record's revision that monitors its sensor type, trigger and
    // offset; -1 when none does.
    static int FindSELEntry(const Sel& record);
    // The row monitoring exactly `sel` for revision `version`; -1 when none does.
    static int FindRow(const SELDefType& sel, uint8_t version);
};

// A record's source key: sensor number, data 1, data 2, data 3 from the high byte down.
uint32_t eventKey(const Sel& record);
