// The soft log read record by record through the event log library, keeping the records that
// match the selection criterion.
#pragma once

#include "qveventlog.h"

#include <bitset>
#include <cstdint>

namespace logparse {

using SELRecordType = Sel;

// The criterion: 0 in a field means any value; a sensor of 255 selects nothing.
struct SelectionType {
    unsigned char sensor = 0;
    unsigned char trigger = 0;
    unsigned char offset = 0;
};

constexpr unsigned char kSelectNothing = 255;
// The add string kept per record, terminator included.
constexpr size_t kLogTextSize = 256;

// Record id of the next record to read; 0 asks for the first.
extern int iNextLog;

class LogFileClass {
public:
    void SetCriteria(unsigned char sensor, unsigned char trigger, unsigned char offset);
    void Open();
    void Close();
    // 0 with the next selected record, its position among the records read and its add string
    // (kLogTextSize bytes); 1 when there are no more.
    int GetNextLogEntry(SELRecordType* record, unsigned* line, char* text);
    bool FSelectSEL(const Sel& record) const;

    SelectionType Criteria;
    unsigned iLine = 0;

private:
    // Ids already asked for: a log whose ids lead back to one read before ends there instead
    // of being read round and round.
    std::bitset<0x10000> asked_;
};

} // namespace logparse
