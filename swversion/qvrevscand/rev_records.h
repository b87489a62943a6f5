// The texts the scanning service writes and reads back: baseline records, history entries,
// dates, and its polling decision.
#pragma once

#include <ctime>
#include <string>

#include "driver_list.h"

// Baseline record "name,size,M/D/Y hh:mm:ss.dst,state,type,version".
std::string formatBaselineRecord(const DriverStruct& driver);
// Parses a baseline record into `out` (cleared first); false for an empty text. The version is
// taken only when a comma follows it, so a record as written reads back without one.
bool parseBaselineRecord(const std::string& record, DriverStruct& out);

// History entry of a changed driver (category 3) from its baseline record `old`.
std::string formatDriverChangeEntry(const DriverStruct& old, const std::string& changeDate);
// History entry of a changed agents version (category 1).
std::string formatAgentsVersionEntry(const std::string& version, const std::string& changeDate);
// "M/D/Y hh:mm" in local time.
std::string formatChangeDate(time_t when);

// True when a pass at local time `now` runs a poll: in minutes 0 to 5 of the polling hour, or
// when one was asked for.
bool shouldPoll(const struct tm& now, int pollingTime, bool pollNow);
