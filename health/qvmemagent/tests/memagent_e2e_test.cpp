// qvmemagent through the real snmpd: the memory-module subtree on the simulated server, the
// module rows against dmidecode's reading of the same BIOS image, the service's figures and
// their failure values, and the agent's errors.
#include "bios_fixture.h"
#include "bios_image.h"
#include "event_log_simulator.h"
#include "memd_protocol.h"
#include "private_snmpd.h"
#include "qveventlog.h"
#include "registry.h"
#include "sandbox_path.h"
#include "service_process.h"
#include "service_socket.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string M = ".1.3.6.1.4.1.93071.2.23.21";
constexpr char kRefreshKey[] = "SOFTWARE\\Quorvane\\Trivoke\\qvmemagent\\CurrentVersion=DIMMSleepSecs";
constexpr char kVersionKey[] = "SOFTWARE\\Quorvane\\Trivoke=Version";

std::string agentProgram() { return qv::test::installedPath("health/qvmemagent/qvmemagent"); }

struct DmiModule {
    std::string socket;
    long long sizeKb = 0;   // 0 for anything but "N MB"
};

// What dmidecode reads from the image's memory module structures (type 6).
std::vector<DmiModule> dmidecodeModules(const std::string& image)
{
    const qv::test::ProgramResult r =
        qv::test::runProgram("/usr/sbin/dmidecode", {"--no-sysfs", "-d", image, "-t", "6"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<DmiModule> modules;
    std::istringstream in(r.out);
    // The text after "<label>: " on a line of the current module, if the line has that label.
    auto field = [](const std::string& line, const std::string& label) -> std::optional<std::string> {
        const size_t at = line.find(label + ": ");
        if (at == std::string::npos || line.find_first_not_of(" \t") != at) return std::nullopt;
        return line.substr(at + label.size() + 2);
    };
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Memory Module Information", 0) == 0) modules.emplace_back();
        if (modules.empty()) continue;
        if (auto socket = field(line, "Socket Designation")) modules.back().socket = *socket;
        if (auto size = field(line, "Installed Size"); size && size->find(" MB") != std::string::npos)
            modules.back().sizeKb = std::stoll(*size) * 1024;
    }
    return modules;
}

// The agent run directly: its value line, or "exit N" when it refuses.
std::string agentValue(const std::string& oid)
{
    const qv::test::ProgramResult r = qv::test::runProgram(agentProgram(), {"-g", oid});
    if (r.exitCode != 0) return "exit " + std::to_string(r.exitCode);
    std::istringstream in(r.out);
    std::string name, type, value;
    std::getline(in, name);
    std::getline(in, type);
    std::getline(in, value);
    return type + " " + value;
}

std::string integerLine(const std::string& oid, long long v) { return oid + " = INTEGER: " + std::to_string(v) + "\n"; }
std::string stringLine(const std::string& oid, const std::string& v) { return oid + " = STRING: \"" + v + "\"\n"; }

// Asks qvmemd directly (not through snmpd, which keeps answers of identical agent runs).
std::optional<int32_t> askMemd(int32_t command, int32_t index)
{
    CSocket client(false);
    if (!client.CreateAnonymous()) return std::nullopt;
    client.SetTimeout(500);
    sockaddr_un server{};
    if (!qv::makeUnixAddress(qv::sandboxPath(kMemdSocketPath), server)) return std::nullopt;
    const MemdRequest request{command, index};
    if (!client.Write(reinterpret_cast<const char*>(&request), sizeof request, reinterpret_cast<sockaddr*>(&server),
                      sizeof server))
        return std::nullopt;
    int32_t reply = 0;
    int room = sizeof reply;
    if (!client.Read(reinterpret_cast<char*>(&reply), &room, nullptr, nullptr) || room != int(sizeof reply))
        return std::nullopt;
    return reply;
}

bool storeInt(const char* key, int32_t value) { return SetRegData(key, &value, sizeof value) == 0; }

// A memory event of the controller's log (trigger 0x6F) with `data1` (its offset in the low
// nibble) for the slot `module`, board nibble 0x0F (board 0 on the model the tests store).
Sel memoryEvent(uint8_t data1, uint8_t module)
{
    Sel r{};
    r.recordType = 2;
    r.generatorId = 0x41;
    r.eventVersion = 3;
    r.sensorType = 0x0C;
    r.sensorNumber = 0x30;
    r.eventTrigger = 0x6F;
    r.eventData1 = data1;
    r.eventData2 = 0x0F;
    r.eventData3 = module;
    return r;
}

// The simulated server of the default scenario with an empty SEL, qvmemd analysing every second,
// and snmpd running a copy of the agent whose file time is set by the test.
class MemAgentE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(59));
        ASSERT_TRUE(storeInt(kRefreshKey, 1));
        // A copy of its own, beside the installation's libraries as the installed agent is.
        qv::test::makeDirectories(root_.at("/opt/bin"));
        ASSERT_EQ(::symlink(qv::test::installedPath("mgmtctl/libqvbmc").c_str(), root_.at("/opt/lib").c_str()), 0);
        agentCopy_ = root_.at("/opt/bin/qvmemagent");
        ASSERT_EQ(qv::test::runProgram("/bin/cp", {agentProgram(), agentCopy_}).exitCode, 0);
    }
    void TearDown() override
    {
        snmpd_.reset();
        for (qv::test::ChildProcess* p : {&prefaild_, &memd_}) p->stop();
        sim_.stop();
    }
    // The default scenario with the given SEL records.
    void startSimulator(const nlohmann::json& sel = nlohmann::json::array())
    {
        nlohmann::json scenario = qv::test::defaultScenario();
        scenario["bmc"]["sel"] = sel;
        ASSERT_TRUE(qv::test::startSimulator(sim_, root_, scenario));
    }
    void startMemd()
    {
        memd_.start(qv::test::installedPath("health/qvmemd/qvmemd"), {}, {{"QV_FOREGROUND", "1"}});
        ASSERT_TRUE(qv::test::eventually([&] { return askMemd(MEMD_OVERALL_SEVERITY, 0).has_value(); }, 20s));
    }
    void startSnmpd() { snmpd_ = std::make_unique<qv::e2e::PrivateSnmpd>(root_.path() + "/snmpd", std::vector<qv::e2e::PassLine>{{M, agentCopy_}}); }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv tz_{"TZ", "UTC"};
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/qv.log").c_str()};
    qv::test::ChildProcess sim_, memd_, prefaild_;
    std::unique_ptr<qv::e2e::PrivateSnmpd> snmpd_;
    std::string agentCopy_;
};

TEST_F(MemAgentE2E, WalkOfDefaultScenarioThenFailureValuesWithoutTheService)
{
    startSimulator();
    ASSERT_EQ(SetRegData(kVersionKey, "2.40", 4), 0u);
    ASSERT_EQ(qv::test::runProgram("/usr/bin/touch", {"-d", "2001-03-05 14:07:09", agentCopy_}).exitCode, 0);
    startMemd();
    startSnmpd();

    const std::vector<DmiModule> modules = dmidecodeModules(root_.at("/dev/mem"));
    ASSERT_EQ(modules.size(), 4u);
    const std::string E = M + ".3.1.1.";
    std::string expected = integerLine(M + ".1.1.0", 1) + integerLine(M + ".1.2.0", 5) +
                           integerLine(M + ".2.1.1.1.0", 0) + stringLine(M + ".2.1.1.2.0", "QV DIMM SNMP Agent") +
                           stringLine(M + ".2.1.1.3.0", "2.40") +
                           M + ".2.1.1.4.0 = Hex-STRING: 65 03 05 0E 07 09 \n";
    auto column = [&](int c, auto value) {
        for (size_t r = 0; r < modules.size(); ++r) expected += value(E + std::to_string(c) + "." + std::to_string(r), r);
    };
    auto installed = [&](size_t r) { return modules[r].sizeKb != 0; };
    column(1, [](const std::string& o, size_t r) { return integerLine(o, long(r)); });
    column(2, [&](const std::string& o, size_t r) { return integerLine(o, modules[r].sizeKb); });
    column(3, [&](const std::string& o, size_t r) { return integerLine(o, installed(r) ? 2 : 0); });
    column(4, [&](const std::string& o, size_t r) { return integerLine(o, installed(r) ? 60 : 0); });
    column(5, [](const std::string& o, size_t) { return stringLine(o, "Not Available"); });
    column(6, [](const std::string& o, size_t) { return o + " = \"\"\n"; });   // how snmpwalk shows an empty text
    column(7, [](const std::string& o, size_t) { return o + " = Hex-STRING: 00 00 \n"; });
    column(8, [&](const std::string& o, size_t r) { return integerLine(o, installed(r) ? 4 : 0); });
    column(9, [&](const std::string& o, size_t r) { return stringLine(o, modules[r].socket); });
    column(10, [](const std::string& o, size_t) { return integerLine(o, 1); });
    for (int c : {11, 12, 13}) column(c, [](const std::string& o, size_t) { return integerLine(o, 0); });
    column(14, [](const std::string& o, size_t) { return integerLine(o, -1); });
    column(15, [](const std::string& o, size_t) { return integerLine(o, 0); });
    for (size_t r = 0; r < modules.size(); ++r) expected += integerLine(M + ".3.1.2.1." + std::to_string(r), long(r));
    for (size_t r = 0; r < modules.size(); ++r) expected += M + ".3.1.2.2." + std::to_string(r) + " = STRING: \"NONE\"\n";
    for (size_t r = 0; r < modules.size(); ++r) expected += integerLine(M + ".3.1.2.3." + std::to_string(r), 0);
    for (size_t r = 0; r < modules.size(); ++r) expected += integerLine(M + ".4.1." + std::to_string(r), 1);

    qv::test::ProgramResult r = snmpd_->walk(M);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);

    memd_.stop();
    const auto start = std::chrono::steady_clock::now();
    r = snmpd_->get({E + "14.2", M + ".4.1.3", E + "10.1"});
    // Waiting for the service would take its 15 s per value; the bound leaves room for a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "failure values must not wait for the service";
    EXPECT_EQ(r.out, integerLine(E + "14.2", -1) + integerLine(M + ".4.1.3", 1) + integerLine(E + "10.1", 0));
}

// 101 correctable errors of one module: qvprefaild adds one predictive event, qvmemd counts both
// kinds on that module, the agent shows them. A library write takes about a quarter second on the
// simulator, so most of the errors are in the controller's log from the start and the last ones
// are written through the library (which brings the earlier ones into the soft log too).
TEST_F(MemAgentE2E, PredictiveEventRoadAcrossProcesses)
{
    constexpr int kSeeded = 95;
    nlohmann::json sel = nlohmann::json::array();
    for (int i = 0; i < kSeeded; ++i)   // correctable ECC (offset 0), board nibble 0x0F, slot 2
        sel.push_back({{"timestamp", 946684900}, {"sensorType", 0x0C}, {"sensorNumber", 0x30},
                       {"eventType", 0x6F}, {"evmRev", 3}, {"eventData", "a0 0f 02"}});
    startSimulator(sel);
    for (int i = kSeeded; i < 101; ++i) {
        Sel r = memoryEvent(0xA0, 2);   // correctable, module 2
        ASSERT_EQ(QVEL_WriteEvent(&r, nullptr), 0) << i;
    }
    prefaild_.start(qv::test::installedPath("health/qvprefaild/qvprefaild"), {},
                    {{"QV_FOREGROUND", "1"}, {"QV_PREFAILD_PERIOD_MS", "100"}});
    startMemd();
    ASSERT_TRUE(qv::test::eventually([] { return askMemd(MEMD_PREDICTIVE, 2) == 1; }, 30s))
        << root_.readFile("/qv.log");
    EXPECT_EQ(askMemd(MEMD_SINGLE_BIT, 2), 101);
    EXPECT_EQ(askMemd(MEMD_PREDICTIVE, 1), 0);

    startSnmpd();
    const std::string E = M + ".3.1.1.";
    const qv::test::ProgramResult r = snmpd_->get({E + "10.2", E + "11.2", E + "12.2", E + "13.2", E + "14.2", M + ".4.1.0"});
    EXPECT_EQ(r.out, integerLine(E + "10.2", 3) + integerLine(E + "11.2", 101) + integerLine(E + "12.2", 1) +
                         integerLine(E + "13.2", 0) + integerLine(E + "14.2", 101) + integerLine(M + ".4.1.0", 3));

    // SIGINT is noted and ignored; SIGTERM writes the store and ends the monitor.
    prefaild_.signal(SIGINT);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(::kill(prefaild_.pid(), 0), 0);
    prefaild_.signal(SIGTERM);
    EXPECT_EQ(prefaild_.wait(5s), 0);
    const std::string log = root_.readFile("/qv.log");
    for (const char* line : {"starting qvprefaild daemon", "signal SIGINT caught", "signal SIGTERM caught... stopping qvprefaild"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    uint8_t count[4] = {};
    EXPECT_EQ(GetRegData("SOFTWARE\\Quorvane\\Trivoke\\DataMark=nItems", count, 4), 0u);
    EXPECT_EQ(count[0], 1);
}

// A stored period of 0 is taken as it is: the service analyses at every pass (a pass a second
// at most, as the period counts whole seconds), not every 120 s.
TEST_F(MemAgentE2E, StoredPeriodOfZeroAnalysesAtEveryPass)
{
    ASSERT_TRUE(storeInt(kRefreshKey, 0));
    startSimulator();
    startMemd();
    Sel r = memoryEvent(0xA1, 1);   // uncorrectable, module 1
    ASSERT_EQ(QVEL_WriteEvent(&r, nullptr), 0);
    EXPECT_TRUE(qv::test::eventually([] { return askMemd(MEMD_DOUBLE_BIT, 1) == 1; }, 4s))
        << root_.readFile("/qv.log");
    EXPECT_EQ(askMemd(MEMD_SEVERITY, 1), 4);
}

// Images of the modules' edge cases, read by the agent and by dmidecode.
class MemAgentImages : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void write(const qv::sim::BiosInventory& inventory)
    {
        writeImage(qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21));
    }
};

TEST_F(MemAgentImages, RowsSizesAndDesignationsAgreeWithDmidecode)
{
    qv::sim::BiosInventory inventory;
    // Installed, empty, not determinable, disabled, double-bank, 1 MB, and 2^30 MB, whose KB do
    // not fit the integer object (clamped).
    const uint8_t sizes[] = {0x07, 0x7F, 0x7D, 0x7E, 0x8A, 0x00, 0x1E};
    for (size_t i = 0; i < std::size(sizes); ++i)
        inventory.memoryModules.push_back(
            {.socket = "Bank " + std::to_string(i) + " DIMM", .speedNs = 70, .installedSize = sizes[i], .enabledSize = sizes[i]});
    write(inventory);
    const std::vector<DmiModule> modules = dmidecodeModules(root.at("/dev/mem"));
    ASSERT_EQ(modules.size(), std::size(sizes));
    for (size_t r = 0; r < modules.size(); ++r) {
        SCOPED_TRACE(r);
        const std::string row = "." + std::to_string(r);
        EXPECT_EQ(agentValue(M + ".3.1.1.2" + row), "integer " + std::to_string(std::min(modules[r].sizeKb, 2147483647LL)));
        EXPECT_EQ(agentValue(M + ".3.1.1.9" + row), "string " + modules[r].socket);
        EXPECT_EQ(agentValue(M + ".3.1.1.4" + row), modules[r].sizeKb ? "integer 70" : "integer 0");
    }
    EXPECT_EQ(agentValue(M + ".3.1.1.2." + std::to_string(modules.size())), "exit 1");
    EXPECT_EQ(agentValue(M + ".2.1.1.2.1"), "exit 1");   // the agent table has one row
}

TEST_F(MemAgentImages, SixtyFiveModulesAndNoTable)
{
    qv::sim::BiosInventory inventory;
    for (int i = 0; i < 65; ++i)
        inventory.memoryModules.push_back({.socket = "S" + std::to_string(i), .installedSize = 0x06, .enabledSize = 0x06});
    write(inventory);
    const std::vector<DmiModule> modules = dmidecodeModules(root.at("/dev/mem"));
    ASSERT_EQ(modules.size(), 65u);
    EXPECT_EQ(agentValue(M + ".3.1.1.9.64"), "string " + modules[64].socket);
    EXPECT_EQ(agentValue(M + ".3.1.1.2.64"), "integer 65536");
    EXPECT_EQ(agentValue(M + ".4.1.64"), "integer 1");   // no service: the failure value
    EXPECT_EQ(agentValue(M + ".4.1.65"), "exit 1");

    // Version: empty when missing, cut at 63 characters.
    EXPECT_EQ(agentValue(M + ".2.1.1.3.0"), "string ");
    const std::string longVersion(70, 'v');
    ASSERT_EQ(SetRegData(kVersionKey, longVersion.data(), longVersion.size()), 0u);
    EXPECT_EQ(agentValue(M + ".2.1.1.3.0"), "string " + longVersion.substr(0, 63));

    writeImage(qv::test::blankBiosImage());
    qv::test::ScopedEnv log("QV_LOG_FILE", root.at("/agent.log").c_str());
    EXPECT_EQ(agentValue(M + ".3.1.1.1.0"), "exit 1");
    EXPECT_NE(root.readFile("/agent.log").find("An unknow exception was handled"), std::string::npos);
}

// Without the service every figure answers its failure value, and the agent's socket says nothing
// about it: a walk would otherwise leave a log line per column and module.
TEST_F(MemAgentImages, WithoutTheServiceFiguresAnswerFailureValuesAndNothingIsLogged)
{
    qv::sim::BiosInventory inventory;
    for (const char* socket : {"DIMM1", "DIMM2"})
        inventory.memoryModules.push_back({.socket = socket, .installedSize = 0x07, .enabledSize = 0x07});
    write(inventory);
    qv::test::ScopedEnv log("QV_LOG_FILE", root.at("/agent.log").c_str());
    const std::pair<std::string, std::string> figures[] = {
        {".3.1.1.10.1", "integer 0"}, {".3.1.1.13.1", "integer 0"}, {".3.1.1.14.1", "integer -1"}, {".4.1.0", "integer 1"}};
    for (const auto& [oid, value] : figures) EXPECT_EQ(agentValue(M + oid), value) << oid;
    // A socket file left behind by a service that is gone: the send is refused, quietly too.
    root.writeFile(kMemdSocketPath, "");
    EXPECT_EQ(agentValue(M + ".3.1.1.10.0"), "integer 0");
    EXPECT_EQ(root.exists("/agent.log") ? root.readFile("/agent.log") : "", "");
}

} // namespace
