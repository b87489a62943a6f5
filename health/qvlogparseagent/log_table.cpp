#include "log_table.h"

#include "description_reader.h"
#include "profile.h"
#include "sandbox_path.h"

namespace logparse {

std::string SettingsFile() { return qv::sandboxPath("/usr/qvserver/etc/qvlogparseagent.cfg"); }

SelectionType getCriteria()
{
    const std::string file = SettingsFile();
    const auto key = [&](const char* name) {
        return static_cast<unsigned char>(
            GetPrivateProfileInt(kCriterionSection, name, kSelectNothing, file.c_str()));
    };
    return {key("sensor"), key("trigger"), key("offset")};
}

std::vector<LogEntry> BuildLogTable()
{
    const SelectionType criteria = getCriteria();
    ParseFileClass descriptions;
    descriptions.StartParse(GetEventSpecFile());

    std::vector<LogEntry> table;
    LogFileClass log;
    log.SetCriteria(criteria.sensor, criteria.trigger, criteria.offset);
    log.Open();
    LogEntry entry{};
    while (log.GetNextLogEntry(&entry.logEntrySEL, &entry.logEntryLineNum, entry.logEntryText) == 0) {
        // A closed reader or a record without a description leaves the text empty.
        CopySeverity(descriptions, entry.logEntrySEL, entry.logEntrySeverity,
                     sizeof entry.logEntrySeverity);
        table.push_back(entry);
    }
    log.Close();
    descriptions.EndParse();
    return table;
}

const std::vector<LogEntry>& logTable()
{
    static const std::vector<LogEntry> table = BuildLogTable();
    return table;
}

} // namespace logparse
