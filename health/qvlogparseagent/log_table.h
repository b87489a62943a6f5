// The parse-log table: every soft-log record that matches the criterion of the settings file,
// with its position, add string and the Severity text of its description.
#pragma once

#include "log_file.h"

#include <string>
#include <vector>

namespace logparse {

struct LogEntry {
    SELRecordType logEntrySEL;
    unsigned logEntryLineNum;
    char logEntryText[kLogTextSize];
    char logEntrySeverity[256];
};

// "/usr/qvserver/etc/qvlogparseagent.cfg" below the root, and its section.
std::string SettingsFile();
inline constexpr char kCriterionSection[] = "Criterion";

// The criterion the table is built with: each key of [Criterion], 255 when absent.
SelectionType getCriteria();

// Builds the table from the log and the settings as they are now.
std::vector<LogEntry> BuildLogTable();

// The table of this run, built on first use.
const std::vector<LogEntry>& logTable();

} // namespace logparse
