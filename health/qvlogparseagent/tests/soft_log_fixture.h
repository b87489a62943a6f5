// A soft log and a description file for the parse-log tests: five records of four sensor
// types, written as the event log library writes its lines.
#pragma once

#include "qveventlog.h"
#include "temp_root.h"

#include <cstdio>
#include <string>
#include <vector>

namespace logparse::test {

struct FixtureRecord {
    Sel sel;
    const char* addString;
};

inline Sel record(uint16_t id, uint8_t sensorType, uint8_t trigger, uint8_t data1, uint8_t version = 3)
{
    Sel r{};
    r.recordId = id;
    r.recordType = 2;
    r.timestamp = 1000000000u + id;
    r.generatorId = 0x20;
    r.generatorLun = 1;
    r.eventVersion = version;
    r.sensorType = sensorType;
    r.sensorNumber = static_cast<uint8_t>(0x40 + id);
    r.eventTrigger = trigger;
    r.eventData1 = data1;
    r.eventData2 = 0x11;
    r.eventData3 = 0x22;
    return r;
}

// The records in log order: two memory events, a temperature event, an OEM-style event with
// trigger 0xFF and offset nibble 0x0F, and a memory event with offset 3.
inline const std::vector<FixtureRecord>& fixtureRecords()
{
    static const std::vector<FixtureRecord> records = {
        {record(1, 0x0C, 0x6F, 0xA0), "DIMM 1!ECC"},
        {record(2, 0x01, 0x01, 0x57), "CPU temp"},
        {record(3, 0x0C, 0x6F, 0x01), ""},
        {record(4, 0x07, 0xFF, 0x0F), "oem"},
        {record(5, 0x0C, 0x6F, 0x83), "DIMM 2"},
    };
    return records;
}

inline std::string softLogLine(const Sel& sel, const char* addString)
{
    std::string line;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&sel);
    char hex[4];
    for (size_t i = 0; i < sizeof sel; ++i) {
        std::snprintf(hex, sizeof hex, "%.2x ", bytes[i]);
        line += hex;
    }
    return line + addString + "\n";
}

inline std::string softLog(const std::vector<FixtureRecord>& records)
{
    std::string text;
    for (const FixtureRecord& r : records) text += softLogLine(r.sel, r.addString);
    return text;
}

// Severity texts per section; the memory offset 3 has no Severity key, and the temperature
// section names another trigger.
inline constexpr char kDescriptions[] =
    "# descriptions\n"
    "[SensorType 0x0C]\n"
    "[EvtTrigger 0x6F]\n"
    "[Offset 0x00]\n"
    "String=Correctable ECC\n"
    "Severity=Warning\n"
    "[Offset 0x01]\n"
    "Severity= Critical ; uncorrectable\n"
    "[Offset 0x03]\n"
    "String=Parity\n"
    "[SensorType 0x01]\n"
    "[EvtTrigger 0x02]\n"
    "[Offset 0x07]\n"
    "Severity=Info\n";

inline void writeFixture(const qv::test::TempRoot& root, const std::vector<FixtureRecord>& records = fixtureRecords())
{
    root.writeFile("/usr/qvserver/etc/evtlog.dat", softLog(records));
    root.writeFile("/usr/qvserver/etc/evtspec.cfg", kDescriptions);
}

inline void writeCriterion(const qv::test::TempRoot& root, const std::string& keys)
{
    root.writeFile("/usr/qvserver/etc/qvlogparseagent.cfg", "[Criterion]\n" + keys);
}

} // namespace logparse::test
