#include "dimm_events.h"

#include "identify.h"
#include "registry.h"

#include <algorithm>
#include <cstring>

namespace {

struct MemoryEventRow {
    uint8_t sensorType, trigger, offset, severity;
};
static_assert(sizeof(MemoryEventRow) == 4);

// Revision-3 codes; the first matching row wins.
constexpr MemoryEventRow memory_events[9] = {
    {0x0C, 0x6F, 0x00, 2}, {0x0C, 0x6F, 0x03, 2}, {0x0C, 0x6F, 0x01, 4},
    {0x0C, 0x04, 0x01, 3}, {0x0C, 0x70, 0x00, 2}, {0x0C, 0x70, 0x01, 4},
    {0x0C, 0x70, 0x03, 2}, {0x0C, 0x70, 0x04, 3}, {0x0C, 0x6F, 0x02, 4},
};

constexpr DimmEventRecord kResetRecord{1, 0, 0, 0, -1};

const char kRefreshKey[] = "SOFTWARE\\Quorvane\\Trivoke\\qvmemagent\\CurrentVersion=DIMMSleepSecs";

const char kCursorFile[] = "qvmemagent.cfg";

}  // namespace

DimmEventSource eventLogDimmSource() {
    DimmEventSource s;
    s.getEraseTime = [](unsigned long* t) { return QVEL_GetEraseTime(t); };
    s.readNextUnseen = [](EvtStruct* e) { return QVEL_ReadNextUnseenEvent(e, kCursorFile); };
    s.modelCode = [] {
        uint32_t code = 0;
        return GetRegData(kRegKeySpuNum, &code, sizeof code) == 0 ? static_cast<unsigned long>(code) : 0UL;
    };
    return s;
}

int readDimmRefreshSecs() {
    // Taken as stored: 0 (or less) analyses at every pass of the service.
    int32_t secs = 0;
    if (GetRegData(kRefreshKey, &secs, sizeof secs) != 0) return kDefaultRefreshSecs;
    return secs;
}

DIMM_Evt::DIMM_Evt(int refreshSecs, unsigned totalDimm, DimmEventSource source)
    : m_RefreshTime(refreshSecs),
      m_TotalDIMM(std::min(totalDimm, kDimmRecords)),
      m_source(std::move(source)) {
    ResetDimmEventInfo();
}

void DIMM_Evt::ResetDimmEventInfo() {
    m_recordIndex = 0;
    m_OverallStatusSeverity = 1;
    std::fill(std::begin(rgDimmEvent), std::end(rgDimmEvent), kResetRecord);
}

unsigned DIMM_Evt::getSoftwareSeverityStatus(unsigned m) const {
    return inRange(m) ? rgDimmEvent[m].SoftwareSeverityStatus : kResetRecord.SoftwareSeverityStatus;
}
unsigned DIMM_Evt::getSingleBitEventCounter(unsigned m) const {
    return inRange(m) ? rgDimmEvent[m].SingleBitEventCounter : 0;
}
unsigned DIMM_Evt::getPredictiveEventCounter(unsigned m) const {
    return inRange(m) ? rgDimmEvent[m].PredictiveEventCounter : 0;
}
unsigned DIMM_Evt::getDoubleBitEventCounter(unsigned m) const {
    return inRange(m) ? rgDimmEvent[m].DoubleBitEventCounter : 0;
}
int DIMM_Evt::getMostSevereEventID(unsigned m) const {
    return inRange(m) ? rgDimmEvent[m].MostSevereEventID : kResetRecord.MostSevereEventID;
}

int DIMM_Evt::FindSelEntry(const Sel& record, unsigned* severity, unsigned* module) {
    *severity = 0;
    if (m_modelCode == 0 && m_source.modelCode) m_modelCode = m_source.modelCode();
    const uint8_t offset = record.eventData1 & 0x0F;
    const unsigned slot = record.eventData3 & 0x7F;
    const unsigned nibble = record.eventData2 & 0x0F;
    for (const MemoryEventRow& row : memory_events) {
        if (row.sensorType != record.sensorType || row.trigger != record.eventTrigger ||
            row.offset != offset)
            continue;
        *severity = row.severity;
        unsigned board;
        if (m_modelCode == 63) board = nibble == 0 ? 1 : 0;
        else board = nibble == 0x0F ? 0 : nibble;
        *module = slot + board * (m_TotalDIMM / 2);
        // These models number their slots from 1; slot 0 wraps and is rejected as out of range.
        if (m_modelCode == 63 || m_modelCode == 67 || m_modelCode == 69) *module -= 1;
        return 1;
    }
    return 0;
}

void DIMM_Evt::FindEventInListAndUpdateOIDstatus(const EvtStruct& event) {
    unsigned severity = 0, module = 0;
    if (!FindSelEntry(event.selEntry, &severity, &module) || !inRange(module)) return;
    m_OverallStatusSeverity = std::max(m_OverallStatusSeverity, severity);
    DimmEventRecord& r = rgDimmEvent[module];
    if (severity > r.SoftwareSeverityStatus) {
        r.SoftwareSeverityStatus = severity;
        r.MostSevereEventID = m_recordIndex;
    }
    if (severity == 2) ++r.SingleBitEventCounter;
    else if (severity == 3) ++r.PredictiveEventCounter;
    else if (severity == 4) ++r.DoubleBitEventCounter;
}

void DIMM_Evt::AnalyzeEventLog() {
    unsigned long t = 0;
    if (m_source.getEraseTime(&t) != 0) t = 0;
    EvtStruct event;
    std::memset(&event, 0, sizeof event);
    int rc;
    if (static_cast<unsigned>(t) != m_lastErasureTime) {
        m_lastErasureTime = static_cast<unsigned>(t);
        ResetDimmEventInfo();
        rc = m_source.readNextUnseen(&event);
        if (rc != 0) rc = m_source.readNextUnseen(&event);
    } else {
        rc = m_source.readNextUnseen(&event);
    }
    while (rc == 0) {
        QVEL_MapEventRecord2to3(&event.selEntry);
        FindEventInListAndUpdateOIDstatus(event);
        ++m_recordIndex;
        rc = m_source.readNextUnseen(&event);
    }
}

bool analysisDue(time_t now, time_t& lastAnalysis, int period)
{
    if (now - lastAnalysis <= period) return false;
    lastAnalysis = now;
    return true;
}
