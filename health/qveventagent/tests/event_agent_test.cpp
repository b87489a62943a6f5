// qveventagent on the simulated controller with the event cache service: scalars from the
// library, table columns from the service, and the erase SET.
#include "model_code.h"
#include "qveventlog.h"
#include "event_log_simulator.h"
#include "private_snmpd.h"
#include "service_process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <unistd.h>

namespace {

using qv::test::ChildProcess;

const std::string E = ".1.3.6.1.4.1.93071.2.23.19";

// Numeric OID order: sub-identifier by sub-identifier.
bool SnmpOidLess(const std::string& a, const std::string& b)
{
    std::vector<unsigned long> x, y;
    for (auto [text, out] : {std::pair{&a, &x}, std::pair{&b, &y}})
        for (size_t at = 1; at < text->size();) {
            const size_t dot = text->find('.', at);
            out->push_back(std::stoul(text->substr(at, dot - at)));
            at = dot == std::string::npos ? text->size() : dot + 1;
        }
    return x < y;
}

class EventAgent : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Room for four records and a known erase time: the walk shows both.
        nlohmann::json scenario = qv::test::defaultScenario();
        scenario["bmc"]["selCapacity"] = 4;
        scenario["bmc"]["selEraseTime"] = 0x01020304;
        ASSERT_TRUE(qv::test::startEmptyLogSimulator(sim_, root_, scenario));
        root_.writeFile("/usr/qvserver/etc/evtspec.cfg",
                        "[SensorType 0x04]\n[EvtTrigger 0x01]\n[Offset 0x02]\nString=Fan %1 failed\n"
                        "TrapID=1.3.6.1.4.1.93071.2.23.5\nVarbind1=sn\n");
        for (int i = 0; i < 3; ++i) {
            Sel r{};
            r.recordType = 2;
            r.generatorId = 0x41;
            r.eventVersion = 3;
            r.sensorType = 0x04;
            r.sensorNumber = static_cast<uint8_t>(7 + i);
            r.eventTrigger = 0x01;
            r.eventData1 = 0x02;
            ASSERT_EQ(QVEL_WriteEvent(&r, nullptr), 0);
        }
        service_.start(qv::test::installedPath("health/qveventcached/qveventcached"), {}, {{"QV_FOREGROUND", "1"}});
        ASSERT_TRUE(qv::test::eventually([&] {
            struct stat st{};
            return ::stat(root_.at("/var/qvserver/qveventcached.socket").c_str(), &st) == 0;
        }, std::chrono::seconds(20)));
    }
    void TearDown() override
    {
        service_.stop();
        sim_.stop();
    }
    // The agent's three output lines joined by '|', or its failure.
    std::string agent(std::vector<std::string> args)
    {
        const auto r = qv::test::runProgram(qv::test::installedPath("health/qveventagent/qveventagent"), args, {});
        std::string out = r.out;
        std::replace(out.begin(), out.end(), '\n', '|');
        return r.exitCode == 0 ? out : "exit " + std::to_string(r.exitCode) + ": " + out;
    }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    ChildProcess sim_, service_;
};

TEST_F(EventAgent, ScalarsAndTableColumnsRowAfterRow)
{
    EXPECT_EQ(agent({"-g", E + ".1.1.0"}), E + ".1.1.0|integer|2|");
    EXPECT_EQ(agent({"-g", E + ".5.6.0"}), E + ".5.6.0|integer|3|");
    EXPECT_EQ(agent({"-g", E + ".5.5.1.1.2"}), E + ".5.5.1.1.2|integer|2|");
    EXPECT_EQ(agent({"-g", E + ".5.5.1.3.1"}), E + ".5.5.1.3.1|string|Fan %1 failed|");
    EXPECT_EQ(agent({"-g", E + ".5.5.1.5.3"}), E + ".5.5.1.5.3|string|9|");   // sensor number of row 3
    // The description column row after row, then on to the trap id column.
    std::string oid = E + ".5.5.1.3";
    std::vector<std::string> walk;
    for (int i = 0; i < 4; ++i) {
        const std::string out = agent({"-n", oid});
        oid = out.substr(0, out.find('|'));
        walk.push_back(oid);
    }
    EXPECT_EQ(walk, (std::vector<std::string>{E + ".5.5.1.3.1", E + ".5.5.1.3.2", E + ".5.5.1.3.3", E + ".5.5.1.4.1"}));
    EXPECT_EQ(agent({"-g", E + ".5.5.1.3.4"}).rfind("exit", 0), 0u);
}

TEST_F(EventAgent, OnlyTheEraseCodeEmptiesTheLog)
{
    EXPECT_EQ(agent({"-s", E + ".5.4.0", "integer", "1"}), "wrong-value|");
    EXPECT_EQ(agent({"-g", E + ".5.6.0"}), E + ".5.6.0|integer|3|");
    EXPECT_EQ(agent({"-s", E + ".5.4.0", "integer", "9913"}), "");   // a SET that succeeds prints nothing
    EXPECT_EQ(agent({"-g", E + ".5.6.0"}), E + ".5.6.0|integer|0|");
    const std::string sel = qv::test::runIpmitool(root_, {"sel", "list"}).out;
    EXPECT_EQ(sel.find("Fan"), std::string::npos) << sel;
}

TEST_F(EventAgent, WithoutTheServiceTheScalarsStillAnswer)
{
    service_.stop();
    EXPECT_EQ(agent({"-g", E + ".5.6.0"}), E + ".5.6.0|integer|3|");
    EXPECT_EQ(agent({"-g", E + ".5.5.1.3.1"}).rfind("exit", 0), 0u);
}

// Through the real snmpd: the whole subtree in order, then the erase SET.
TEST_F(EventAgent, WalkAndEraseThroughSnmpd)
{
    if (::access("/usr/sbin/snmpd", X_OK) != 0) GTEST_SKIP() << "snmpd is not installed";
    qv::test::ScopedEnv mibs("MIBS", "");
    qv::e2e::PrivateSnmpd snmpd(root_.path() + "/snmpd",
                                {{E, qv::test::installedPath("health/qveventagent/qveventagent")}});
    const std::string walk = snmpd.walk(E).out;
    std::vector<std::string> oids;
    for (size_t at = 0; at < walk.size();) {
        const size_t end = walk.find('\n', at);
        oids.push_back(walk.substr(at, walk.find(' ', at) - at));
        at = end == std::string::npos ? walk.size() : end + 1;
    }
    // 11 scalars, 12 columns of 3 rows, the count.
    ASSERT_EQ(oids.size(), 11u + 36u + 1u) << walk;
    EXPECT_EQ(oids[11], E + ".5.5.1.1.1");
    EXPECT_EQ(oids[11 + 2 * 3 + 2], E + ".5.5.1.3.3");   // columns one after the other, rows 1 to 3
    EXPECT_EQ(oids.back(), E + ".5.6.0");
    EXPECT_TRUE(std::is_sorted(oids.begin(), oids.end(), [](const std::string& a, const std::string& b) {
        return SnmpOidLess(a, b);
    }));
    EXPECT_NE(walk.find(E + ".5.5.1.3.2 = STRING: \"Fan %1 failed\""), std::string::npos) << walk;
    // 3 records, 16 free bytes: 3 * 100 / 19; the erase time least significant byte first.
    EXPECT_NE(walk.find(E + ".5.1.0 = INTEGER: 15\n"), std::string::npos) << walk;
    EXPECT_NE(walk.find(E + ".5.2.0 = Hex-STRING: 04 03 02 01"), std::string::npos) << walk;

    const std::string lines = qv::test::readWholeFile(GetSoftLogFile());
    EXPECT_NE(snmpd.set(E + ".5.4.0", "i", "1").exitCode, 0);
    EXPECT_EQ(snmpd.set(E + ".5.4.0", "i", "9913").exitCode, 0);
    EXPECT_EQ(qv::test::readWholeFile(GetSoftLogFile()), "");
    EXPECT_EQ(qv::test::readWholeFile(GetSoftLogBackupFile()), lines);
}

} // namespace
