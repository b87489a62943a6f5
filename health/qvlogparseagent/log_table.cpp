#include "log_table.h"

#include "description_reader.h"
#include "profile.h"
#include "sandbox_path.h"

#include <cstring>
#include <map>
#include <tuple>

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

namespace {

// Severity texts of the records seen so far in this run. A look-up depends only on the
// revision, sensor type, trigger and offset nibble, and the file does not change within a run,
// so a log of many like records reads the description file once per kind.
class SeverityMemo {
public:
    explicit SeverityMemo(ParseFileClass& descriptions) : descriptions_(descriptions) {}

    void copy(const SELRecordType& record, char* out, size_t capacity)
    {
        const Key key{record.eventVersion == 2, record.sensorType, record.eventTrigger,
                      static_cast<uint8_t>(record.eventData1 & 0x0F)};
        auto found = texts_.find(key);
        if (found == texts_.end()) {
            // A closed reader or a record without a description leaves the text empty.
            CopySeverity(descriptions_, record, out, capacity);
            found = texts_.emplace(key, out).first;
        }
        const size_t n = std::min(found->second.size(), capacity - 1);
        std::memcpy(out, found->second.data(), n);
        out[n] = '\0';
    }

private:
    using Key = std::tuple<bool, uint8_t, uint8_t, uint8_t>;
    ParseFileClass& descriptions_;
    std::map<Key, std::string> texts_;
};

} // namespace

std::vector<LogEntry> BuildLogTable()
{
    const SelectionType criteria = getCriteria();
    ParseFileClass descriptions;
    descriptions.StartParse(GetEventSpecFile());

    SeverityMemo severities(descriptions);
    std::vector<LogEntry> table;
    LogFileClass log;
    log.SetCriteria(criteria.sensor, criteria.trigger, criteria.offset);
    log.Open();
    LogEntry entry{};
    while (log.GetNextLogEntry(&entry.logEntrySEL, &entry.logEntryLineNum, entry.logEntryText) == 0) {
        severities.copy(entry.logEntrySEL, entry.logEntrySeverity, sizeof entry.logEntrySeverity);
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
