#include "suspect_list.h"

#include <algorithm>
#include <new>

bool CEventStatus::MatchSEL(const Sel& record) const
{
    const EventCnfgType& row = CEventInfo::rgEvents[iEvent];
    return row.MonSEL.sensorType == record.sensorType && row.MonSEL.eventTrigger == record.eventTrigger &&
           row.MonSEL.offset == (record.eventData1 & 0x0F) &&
           (row.maskData & eventData) == (row.maskData & eventKey(record));
}

bool CEventStatus::UpdateStatus(long t, long now)
{
    if (t == 0) t = now;
    const long window = long(CEventInfo::rgEvents[iEvent].sPeriodMin) * 60;
    // With the table's window 0 this holds only for a record earlier than the previous one.
    const bool tooSoon = tLast != 0 && t - long(tLast) < window;
    tLast = static_cast<uint32_t>(t);
    ++nEvents;
    return tooSoon || EventIsPending();
}

void CEventStatus::MakePredictiveSEL(Sel* record) const
{
    const EventCnfgType& row = CEventInfo::rgEvents[iEvent];
    record->recordType = 2;
    record->generatorId = 0x21;
    record->generatorLun = 0;
    record->eventVersion = row.version;
    record->sensorType = row.PredSEL.sensorType;
    record->eventTrigger = row.PredSEL.eventTrigger;
    record->eventData1 = row.PredSEL.offset;
    record->sensorNumber = static_cast<uint8_t>(eventData >> 24);
    record->eventData2 = (row.maskData & 0x0000FF00) ? static_cast<uint8_t>(eventData >> 8) : 0x1F;
    record->eventData3 = (row.maskData & 0x000000FF) ? static_cast<uint8_t>(eventData) : 0xFF;
}

bool CEventStatus::DataIsExpired(long now) const
{
    return tLast != 0 && std::max(now, long(tLast)) - long(tLast) > kExpirySeconds;
}

CEventStatus* CSuspectList::FindSuspect(const Sel& record)
{
    for (CEventStatus& status : m_statuses)
        if (status.MatchSEL(record)) return &status;
    return nullptr;
}

int CSuspectList::QueryEventLog(const PrefailEventSource& source)
{
    bool changed = false;
    EvtStruct event{};
    while (source.readNextUnseen(&event) == 0) {
        const Sel& record = event.selEntry;
        const int row = CEventInfo::FindSELEntry(record);
        if (row < 0) continue;
        CEventStatus* status = FindSuspect(record);
        if (status == nullptr) {
            try {
                m_statuses.push_back({static_cast<unsigned>(row), eventKey(record), 0, 0});
            } catch (const std::bad_alloc&) {
                return kQueryFailed;
            }
            status = &m_statuses.back();
        }
        changed = true;
        if (status->UpdateStatus(long(record.timestamp), source.now())) {
            Sel predictive = record;
            status->MakePredictiveSEL(&predictive);
            // A failed write keeps the count, so the next matching record predicts again.
            if (source.writeEvent(&predictive) == 0) status->ResetState();
        }
    }
    const long now = source.now();
    for (CEventStatus& status : m_statuses) {
        if (status.DataIsExpired(now)) {
            status.ResetState();
            changed = true;
        }
    }
    if (changed) source.storeList(m_statuses);
    return 0;
}
