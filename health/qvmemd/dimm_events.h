// Per-module memory error counts kept by qvmemd: which memory events matter, which module an
// event names, and the most severe event seen per module. Counts live in memory only.
#pragma once

#include <ctime>

#include "qveventlog.h"

#include <cstdint>
#include <functional>

// One memory module's figures; five 32-bit fields, as the agent reads them one by one.
struct DimmEventRecord {
    uint32_t SoftwareSeverityStatus;
    uint32_t SingleBitEventCounter;
    uint32_t PredictiveEventCounter;
    uint32_t DoubleBitEventCounter;
    int32_t MostSevereEventID;
};
static_assert(sizeof(DimmEventRecord) == 20, "module record layout");

constexpr unsigned kDimmRecords = 64;
constexpr int kDefaultRefreshSecs = 120;

// Where the counts come from; tests hand in their own.
struct DimmEventSource {
    std::function<int(unsigned long*)> getEraseTime;          // 0 on success
    std::function<int(EvtStruct*)> readNextUnseen;             // 0 with a record
    std::function<unsigned long()> modelCode;                  // 0 when unreadable
};

// The event log, the cursor file "qvmemagent.cfg" and the registry's model code.
DimmEventSource eventLogDimmSource();

class DIMM_Evt {
public:
    // `totalDimm` is the platform's module count; events and requests use at most 64 records.
    DIMM_Evt(int refreshSecs, unsigned totalDimm, DimmEventSource source);

    int getRefreshTime() const { return m_RefreshTime; }
    unsigned getTotalDimm() const { return m_TotalDIMM; }
    unsigned getSoftwareSeverityStatus(unsigned module) const;
    unsigned getSingleBitEventCounter(unsigned module) const;
    unsigned getPredictiveEventCounter(unsigned module) const;
    unsigned getDoubleBitEventCounter(unsigned module) const;
    int getMostSevereEventID(unsigned module) const;
    unsigned getOverallStatusSeverity() const { return m_OverallStatusSeverity; }

    void ResetDimmEventInfo();
    int FindSelEntry(const Sel& record, unsigned* severity, unsigned* module);
    void FindEventInListAndUpdateOIDstatus(const EvtStruct& event);
    void AnalyzeEventLog();

private:
    bool inRange(unsigned module) const { return module < m_TotalDIMM; }

    int m_RefreshTime;
    unsigned m_lastErasureTime = 0;
    int m_recordIndex = 0;
    DimmEventRecord rgDimmEvent[kDimmRecords];
    unsigned m_OverallStatusSeverity = 1;
    unsigned m_TotalDIMM;
    DimmEventSource m_source;
    unsigned long m_modelCode = 0;
};

// True, with `lastAnalysis` moved to `now`, when strictly more than `period` seconds have passed
// since the last analysis; a service that never analysed (0) analyses at once.
bool analysisDue(time_t now, time_t& lastAnalysis, int period);

// The analysis period from the registry as stored; 120 s only when it cannot be read.
int readDimmRefreshSecs();
