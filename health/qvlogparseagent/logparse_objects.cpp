#include "logparse_objects.h"

#include "agent_frontend.h"
#include "agent_info.h"
#include "log_table.h"
#include "profile.h"
#include "tokenizer.h"

#include <cstdlib>
#include <string>

namespace {

using logparse::LogEntry;
using logparse::logTable;

constexpr char kVersionKey[] = "SOFTWARE\\Quorvane\\Trivoke=Version";
constexpr unsigned kVersionBuffer = 37;

// Token `n` of the suite's version text; a missing token throws, which ends the request.
int versionNumber(unsigned n)
{
    StringTokenizer words(qv::inventory::readRegistryText(kVersionKey, kVersionBuffer), ". \n\r\t\f");
    return static_cast<int>(std::strtol(words.getToken(n).c_str(), nullptr, 10));
}

bool getVersion(int, SnmpValue* v, const SnmpOid&) { return v->setValue(versionNumber(0)); }
bool getRevision(int, SnmpValue* v, const SnmpOid&) { return v->setValue(versionNumber(1)); }
bool getMibVersion(int, SnmpValue* v, const SnmpOid&) { return v->setValue(1); }
bool getMibRevision(int, SnmpValue* v, const SnmpOid&) { return v->setValue(2); }

int countLogEntry(int, const SnmpOid&) { return static_cast<int>(logTable().size()); }
bool getNumEntries(int, SnmpValue* v, const SnmpOid&) { return v->setValue(static_cast<int>(logTable().size())); }

const LogEntry* row(int index)
{
    const auto& table = logTable();
    return index >= 0 && static_cast<size_t>(index) < table.size() ? &table[static_cast<size_t>(index)]
                                                                   : nullptr;
}

bool getIndex(int index, SnmpValue* v, const SnmpOid&)
{
    return row(index) != nullptr && v->setValue(index + 1);
}

template <int (*field)(const LogEntry&)>
bool getColumn(int index, SnmpValue* v, const SnmpOid&)
{
    const LogEntry* entry = row(index);
    return entry != nullptr && v->setValue(field(*entry));
}

int recordId(const LogEntry& e) { return e.logEntrySEL.recordId; }
int recordType(const LogEntry& e) { return e.logEntrySEL.recordType; }
int timestamp(const LogEntry& e) { return static_cast<int>(e.logEntrySEL.timestamp); }
int generatorId(const LogEntry& e) { return e.logEntrySEL.generatorId; }
int generatorLun(const LogEntry& e) { return e.logEntrySEL.generatorLun; }
int eventVersion(const LogEntry& e) { return e.logEntrySEL.eventVersion; }
int sensorType(const LogEntry& e) { return e.logEntrySEL.sensorType; }
int sensorNumber(const LogEntry& e) { return e.logEntrySEL.sensorNumber; }
int eventTrigger(const LogEntry& e) { return e.logEntrySEL.eventTrigger; }
int eventData1(const LogEntry& e) { return e.logEntrySEL.eventData1; }
int eventData2(const LogEntry& e) { return e.logEntrySEL.eventData2; }
int eventData3(const LogEntry& e) { return e.logEntrySEL.eventData3; }
int lineNum(const LogEntry& e) { return static_cast<int>(e.logEntryLineNum); }

bool getStrInfo(int index, SnmpValue* v, const SnmpOid&)
{
    const LogEntry* entry = row(index);
    return entry != nullptr && v->setValue(entry->logEntryText, 0);
}
bool getSeverity(int index, SnmpValue* v, const SnmpOid&)
{
    const LogEntry* entry = row(index);
    return entry != nullptr && v->setValue(entry->logEntrySeverity, 0);
}

// The criterion keys as the getters report them (the table reads them with its own default).
template <int Default>
bool getFilter(const char* key, SnmpValue* v)
{
    return v->setValue(GetPrivateProfileInt(logparse::kCriterionSection, key, Default,
                                            logparse::SettingsFile().c_str()));
}
bool setFilter(const char* key, const SnmpValue& value)
{
    const std::string text = std::to_string(value.asInteger());
    return WritePrivateProfileString(logparse::kCriterionSection, key, text.c_str(),
                                     logparse::SettingsFile().c_str()) != 0;
}

bool getFilterSensorType(int, SnmpValue* v, const SnmpOid&) { return getFilter<255>("sensor", v); }
bool getFilterEventTrigger(int, SnmpValue* v, const SnmpOid&) { return getFilter<0>("trigger", v); }
bool getFilterOffset(int, SnmpValue* v, const SnmpOid&) { return getFilter<0>("offset", v); }
bool setFilterSensorType(int, const SnmpValue& v, const SnmpOid&) { return setFilter("sensor", v); }
bool setFilterEventTrigger(int, const SnmpValue& v, const SnmpOid&) { return setFilter("trigger", v); }
bool setFilterOffset(int, const SnmpValue& v, const SnmpOid&) { return setFilter("offset", v); }

bool getLogFile(int, SnmpValue* v, const SnmpOid&)
{
    return v->setValue("/usr/qvserver/etc/evtlog.dat", 0);
}

#define PARSELOG ".1.3.6.1.4.1.93071.2.23.29"
constexpr SNMP_OBJECT_TYPE S = SNMP_SCALAR;
constexpr SNMP_OBJECT_TYPE T = SNMP_TABULAR;
constexpr SNMP_TYPE I = SNMP_INTEGER;
constexpr SNMP_TYPE STR = SNMP_STRING;
constexpr SNMP_ACCESS RO = SNMP_READONLY;
constexpr SNMP_ACCESS RW = SNMP_READWRITE;

const SnmpObjectRow kObjects[] = {
    {S, I, RO, PARSELOG ".1.0", getVersion},
    {S, I, RO, PARSELOG ".2.0", getRevision},
    {S, I, RO, PARSELOG ".3.0", getMibVersion},
    {S, I, RO, PARSELOG ".4.0", getMibRevision},
    {S, I, RO, PARSELOG ".5.0", getNumEntries},
    {T, I, RO, PARSELOG ".6.1.1.0", getIndex, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.2.0", getColumn<recordId>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.3.0", getColumn<recordType>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.4.0", getColumn<timestamp>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.5.0", getColumn<generatorId>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.6.0", getColumn<generatorLun>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.7.0", getColumn<eventVersion>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.8.0", getColumn<sensorType>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.9.0", getColumn<sensorNumber>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.10.0", getColumn<eventTrigger>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.11.0", getColumn<eventData1>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.12.0", getColumn<eventData2>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.13.0", getColumn<eventData3>, nullptr, countLogEntry, 1, 1},
    {T, I, RO, PARSELOG ".6.1.14.0", getColumn<lineNum>, nullptr, countLogEntry, 1, 1},
    {T, STR, RO, PARSELOG ".6.1.15.0", getStrInfo, nullptr, countLogEntry, 1, 1},
    {T, STR, RO, PARSELOG ".6.1.16.0", getSeverity, nullptr, countLogEntry, 1, 1},
    {S, I, RW, PARSELOG ".7.0", getFilterSensorType, setFilterSensorType},
    {S, I, RW, PARSELOG ".8.0", getFilterEventTrigger, setFilterEventTrigger},
    {S, I, RW, PARSELOG ".9.0", getFilterOffset, setFilterOffset},
    {S, STR, RO, PARSELOG ".10.0", getLogFile},
};
#undef PARSELOG

} // namespace

bool loadObjects() { return addObjectRows(objects, kObjects); }
