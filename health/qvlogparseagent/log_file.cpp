#include "log_file.h"

#include <cstring>

namespace logparse {

int iNextLog = 0;

void LogFileClass::SetCriteria(unsigned char sensor, unsigned char trigger, unsigned char offset)
{
    Criteria = {sensor, trigger, offset};
}

void LogFileClass::Open()
{
    iLine = 0;
    asked_.reset();
}

void LogFileClass::Close()
{
    iLine = 0;
    iNextLog = 0;
    asked_.reset();
}

bool LogFileClass::FSelectSEL(const Sel& record) const
{
    if (Criteria.sensor != 0 && Criteria.sensor != record.sensorType) return false;
    if (Criteria.trigger != 0 && Criteria.trigger != record.eventTrigger) return false;
    if (Criteria.offset != 0 && (Criteria.offset & 0x0F) != (record.eventData1 & 0x0F)) return false;
    return true;
}

int LogFileClass::GetNextLogEntry(SELRecordType* record, unsigned* line, char* text)
{
    if (Criteria.sensor == kSelectNothing) return 1;
    for (;;) {
        if (iNextLog == QVEL_NO_RECORD || iNextLog < 0 || iNextLog > 0xFFFF) return 1;
        if (asked_.test(static_cast<size_t>(iNextLog))) return 1;
        asked_.set(static_cast<size_t>(iNextLog));
        const unsigned position = iLine;
        EvtStruct event{};
        if (QVEL_ReadEvent(iNextLog, &iNextLog, &event) != 0) return 1;
        ++iLine;
        if (!FSelectSEL(event.selEntry)) continue;
        *record = event.selEntry;
        *line = position;
        event.szAddString[sizeof event.szAddString - 1] = '\0';
        std::memcpy(text, event.szAddString, kLogTextSize);
        return 0;
    }
}

} // namespace logparse
