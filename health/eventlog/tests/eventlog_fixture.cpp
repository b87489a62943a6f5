#include "eventlog_fixture.h"

#include "pause_hook.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace qv::eventlog::test {

Sel makeEvent(uint8_t sensorType, uint8_t sensorNumber, uint8_t trigger, uint8_t data1, uint8_t version)
{
    Sel r{};
    r.recordType = 2;
    r.generatorId = 0x41;
    r.eventVersion = version;
    r.sensorType = sensorType;
    r.sensorNumber = sensorNumber;
    r.eventTrigger = trigger;
    r.eventData1 = data1;
    r.eventData2 = 0xFF;
    r.eventData3 = 0xFF;
    return r;
}

std::string lineOf(const Sel& record, const std::string& addString)
{
    std::string line;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    char hex[4];
    for (size_t i = 0; i < sizeof record; ++i) {
        std::snprintf(hex, sizeof hex, "%.2x ", bytes[i]);
        line += hex;
    }
    return line + addString;
}

std::string lineOf(const qv::sim::SelEntry& entry, uint16_t id, const std::string& addString)
{
    Sel record{};
    std::memcpy(&record, entry.bytes.data(), sizeof record);
    record.recordId = id;
    return lineOf(record, addString);
}

void EventLogTest::SetUp()
{
    tzset();
    qv::mgmtctl::setPauseHookForTests([](int) {});
    load({{"clock", 946684800}, {"selEraseTime", 0}});
    sim_.start();
}

void EventLogTest::TearDown()
{
    sim_.stop();
    QVEL_SdrCleanup();
    qv::mgmtctl::setPauseHookForTests(nullptr);
}

void EventLogTest::load(const nlohmann::json& bmc) { sim_.loadScenario(bmc); }

nlohmann::json EventLogTest::selOf(int count)
{
    nlohmann::json sel = nlohmann::json::array();
    for (int i = 1; i <= count; ++i)
        sel.push_back({{"timestamp", 946684800 + i}, {"sensorType", 1}, {"sensorNumber", i},
                       {"evmRev", 3}, {"eventData", "52 40 30"}});
    return sel;
}

std::string EventLogTest::softLog() const
{
    return root_.exists("/usr/qvserver/etc/evtlog.dat") ? root_.readFile("/usr/qvserver/etc/evtlog.dat") : "";
}

std::vector<std::string> EventLogTest::softLines() const
{
    std::vector<std::string> lines;
    std::stringstream in(softLog());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string EventLogTest::backupLog() const
{
    return root_.exists("/usr/qvserver/etc/evtlog.bak") ? root_.readFile("/usr/qvserver/etc/evtlog.bak") : "";
}

std::string EventLogTest::setting(const std::string& file, const std::string& key) const
{
    const std::string path = "/usr/qvserver/etc/" + file;
    if (!root_.exists(path)) return "";
    std::stringstream in(root_.readFile(path));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return "";
}

void EventLogTest::writeSoftLog(const std::string& text) const
{
    root_.writeFile("/usr/qvserver/etc/evtlog.dat", text);
}

Sel EventLogTest::write(uint8_t sensorNumber, const char* addString)
{
    Sel record = makeEvent(0x0C, sensorNumber);
    std::string add = addString;
    EXPECT_EQ(QVEL_WriteEvent(&record, add.data()), 0);
    return record;
}

void EventLogTest::clearSelOutside()
{
    // Reserve SEL, then Clear SEL with the initiate-erase flag, as another program would.
    auto answer = sim_.handleMessage({0x0A << 2, 0x42});
    ASSERT_EQ(answer.size(), 5u);
    answer = sim_.handleMessage({0x0A << 2, 0x47, answer[3], answer[4], 'C', 'L', 'R', 0xAA});
    ASSERT_EQ(answer[2], 0);
}

} // namespace qv::eventlog::test
