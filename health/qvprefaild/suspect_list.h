// The sources the pre-failure monitor watches: one status per source, counted until it repeats
// too often (a predictive-failure record is written) or falls silent for 91 days.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <vector>

#include "prefail_events.h"

constexpr long kExpirySeconds = 7862400;   // 91 days
constexpr int kQueryFailed = 9999;

struct CEventStatus {
    unsigned iEvent = 0;      // row of CEventInfo::rgEvents
    uint32_t eventData = 0;   // key of the source's first record, unmasked
    uint32_t nEvents = 0;
    uint32_t tLast = 0;       // seconds; 0 = none

    bool MatchSEL(const Sel& record) const;
    // Counts a record of time `t` (0: now, as `now` gives it); true when a prediction is due.
    bool UpdateStatus(long t, long now);
    bool EventIsPending() const { return nEvents > CEventInfo::rgEvents[iEvent].nRecordsMax; }
    void MakePredictiveSEL(Sel* record) const;
    bool DataIsExpired(long now) const;
    void ResetState() { nEvents = 0; tLast = 0; }
};

// What a pass reads from and writes to; tests hand in their own.
struct PrefailEventSource {
    std::function<int(EvtStruct*)> readNextUnseen;   // 0 with a record
    std::function<int(Sel*)> writeEvent;             // 0 when written
    std::function<long()> now;
    std::function<void(const std::vector<CEventStatus>&)> storeList;
};

// The event log (cursor "qvprefaild.cfg"), the clock and the registry store.
PrefailEventSource eventLogPrefailSource();

class CSuspectList {
public:
    CEventStatus* FindSuspect(const Sel& record);
    const std::vector<CEventStatus>& statuses() const { return m_statuses; }
    std::vector<CEventStatus>& statuses() { return m_statuses; }
    size_t nSuspects() const { return m_statuses.size(); }

    // One pass over the records not yet seen: count, predict, expire, store when changed.
    // 0, or kQueryFailed when a new source could not be kept.
    int QueryEventLog(const PrefailEventSource& source);

private:
    std::vector<CEventStatus> m_statuses;   // in the order sources first appeared
};
