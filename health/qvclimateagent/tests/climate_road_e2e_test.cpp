// The sensor road end to end: the real snmpd runs qvclimateagent, which asks qvclimated, which
// reads the standalone simulated controller. Walk values are worked out by hand from the default
// scenario's SDRs and readings; threshold writes are checked on the controller itself.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "devsock.h"
#include "mmcdev_payload.h"
#include "model_code.h"
#include "private_snmpd.h"
#include "sandbox_path.h"
#include "service_process.h"
#include "temp_root.h"

namespace {

constexpr char kSubtree[] = ".1.3.6.1.4.1.93071.2.23.26";
constexpr char kVoltageLnc[] = ".1.3.6.1.4.1.93071.2.23.26.2.1.1.12";
constexpr uint8_t kBaseboard12VNumber = 2;

// One row of a table: columns 2 to 22 as the service scales them (see the sensor model).
struct Row {
    int values[21];
};

// Default scenario. The baseboard controller's SDR repository lists its own sensors and those of
// the power supply's controller (0x22), in that order. Limits (columns 8-11, 18, 21-22) and
// nominal values are M times the raw byte without the result exponent; readings and thresholds
// apply it as the library does, and are then given in hundredths (volts, degrees) or units
// (fans), truncated toward zero. Absent thresholds read 0; the simulator's defaults are normal
// max = max = 255, min 0, hysteresis 2.
const std::vector<Row> kVoltageRows = {
    // Baseboard 12V: M 63, R -3, entity 7 (location 2), OEM 0 (description 7), reading 191.
    {{2, 2, 7, 3, 1203, 190 * 63, 255 * 63, 0, 255 * 63, 0,
      1121, 1278, 1071, 1323, 0, 0,   // LNC 178, UNC 203, LC 170, UC 210 times 0.063 V
      630, 0, 0, 2 * 63, 2 * 63}},
    // PSU1 5V: M 26, R -3, entity 10 (location 11), reading 193 (5.018 V), LC 180, UC 205.
    {{2, 11, 7, 3, 501, 192 * 26, 255 * 26, 0, 255 * 26, 0, 0, 0, 468, 533, 0, 0, 260, 0, 0, 2 * 26, 2 * 26}},
};
const std::vector<Row> kTemperatureRows = {
    // Baseboard Temp: M 1, reading 38, nominal 35 (tenths), limits in tenths.
    {{1, 2, 2, 3, 3800, 350, 2550, 0, 2550, 0, 500, 5500, 0, 6500, 0, 7500, 100, 0, 0, 2, 2}},
    // PSU1 Temp: M 1, entity 10, reading 42, nominal 40, UNC 60, UC 70, UNR 80.
    {{1, 11, 2, 3, 4200, 400, 2550, 0, 2550, 0, 0, 6000, 0, 7000, 0, 8000, 100, 0, 0, 2, 2}},
};
const std::vector<Row> kFanRows = {
    // CPU Fan: M 30, entity 29 (location 2), reading 96, nominal 100, LNC 30, LC 20.
    {{4, 2, 2, 3, 96 * 30, 100 * 30, 255 * 30, 0, 255 * 30, 0, 900, 0, 600, 0, 0, 0, 0, 0, 0, 60, 60}},
    // PSU1 Fan: M 30, entity 10, reading 90, nominal 100, LNC 30, LC 20.
    {{4, 11, 2, 3, 90 * 30, 100 * 30, 255 * 30, 0, 255 * 30, 0, 900, 0, 600, 0, 0, 0, 0, 0, 0, 60, 60}},
};

std::string integerLine(const std::string& oid, int value)
{
    return oid + " = INTEGER: " + std::to_string(value) + "\n";
}

// A table's walk: column by column, row by row.
std::string tableWalk(int table, const std::vector<Row>& rows)
{
    std::string out;
    for (int column = 2; column <= 22; ++column)
        for (size_t row = 0; row < rows.size(); ++row)
            out += integerLine(std::string(kSubtree) + "." + std::to_string(table) + ".1.1." +
                                   std::to_string(column) + "." + std::to_string(row + 1),
                               rows[row].values[column - 2]);
    return out;
}

class ClimateRoadE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root = new qv::test::TempRoot;
        if (!qv::test::storeModelCode(55)) return;
        simulator = new qv::test::ChildProcess;
        if (!qv::test::startSimulator(*simulator, *root, qv::test::defaultScenario())) return;
        service = new qv::test::ChildProcess;
        service->start(qv::test::installedPath("health/qvclimated/qvclimated"), {},
                       {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root->at("/qvclimated.log")}},
                       root->at("/qvclimated.out"));   // its threshold check messages
        // Building the controller's system object probes the IPMB: allow for a slow machine.
        if (!qv::test::eventually([] { return root->exists("/var/qvserver/qvclimated.socket"); },
                                  std::chrono::seconds(180)))
            return;
        snmpd = new qv::e2e::PrivateSnmpd(
            root->path() + "/snmpd",
            {{kSubtree, qv::test::installedPath("health/qvclimateagent/qvclimateagent")}});
    }
    static void TearDownTestSuite()
    {
        delete snmpd;
        if (service) {
            EXPECT_EQ(service->stop(), 0) << "qvclimated did not end cleanly on SIGTERM";
        }
        delete service;
        if (simulator) simulator->stop();
        delete simulator;
        delete root;
        snmpd = nullptr;
        service = simulator = nullptr;
        root = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(snmpd, nullptr) << "the road did not come up; service log:\n"
                                  << (root->exists("/qvclimated.log") ? root->readFile("/qvclimated.log") : "");
    }

    // The simulated controller's own lower non-critical threshold (raw byte) of a sensor.
    static int controllerLnc(uint8_t sensorNumber)
    {
        qv::devsock::Connection device;
        if (device.open(qv::sandboxPath(qv::devsock::mmcdev::kDevicePath)) != 0) return -1;
        qv::devsock::Reply reply;
        // Get Sensor Thresholds: retcode (2), netfn, command, completion code, mask, LNC, ...
        if (device.exchange(qv::devsock::mmcdev::kSendReceive, {0x04 << 2, 0x27, sensorNumber}, 64, reply) != 0 ||
            reply.data.size() < 7 || reply.data[4] != 0)
            return -1;
        return reply.data[6];
    }

    static qv::test::TempRoot* root;
    static qv::test::ChildProcess* simulator;
    static qv::test::ChildProcess* service;
    static qv::e2e::PrivateSnmpd* snmpd;
};

qv::test::TempRoot* ClimateRoadE2E::root = nullptr;
qv::test::ChildProcess* ClimateRoadE2E::simulator = nullptr;
qv::test::ChildProcess* ClimateRoadE2E::service = nullptr;
qv::e2e::PrivateSnmpd* ClimateRoadE2E::snmpd = nullptr;

TEST_F(ClimateRoadE2E, WalkGivesEveryTableInOrderWithTheScenarioValues)
{
    const std::string expected = integerLine(std::string(kSubtree) + ".1.1", 1) +
                                 integerLine(std::string(kSubtree) + ".1.2", 0) +
                                 tableWalk(2, kVoltageRows) + tableWalk(3, kTemperatureRows) +
                                 tableWalk(4, kFanRows) +
                                 integerLine(std::string(kSubtree) + ".5.1", 0);   // no intrusion sensor
    const qv::test::ProgramResult r = snmpd->walk(kSubtree);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);
}

TEST_F(ClimateRoadE2E, ThresholdSetReachesTheControllerAndOutOfRangeSetsAreRefused)
{
    const std::string row1 = std::string(kVoltageLnc) + ".1";
    ASSERT_EQ(controllerLnc(kBaseboard12VNumber), 178);

    qv::test::ProgramResult r = snmpd->set(row1, "i", "1134");   // 11.34 V = raw 180 at 63 mV
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(controllerLnc(kBaseboard12VNumber), 180);
    // snmpd caches identical agent command lines, so read back through GETNEXT forms not used before.
    EXPECT_EQ(snmpd->getNext(kVoltageLnc).out, integerLine(row1, 1134));

    struct Refused {
        const char* value;
        const char* why;
    };
    for (const Refused& c : {Refused{"99999", "above the sensor's maximum"},
                             Refused{"-5", "below the sensor's minimum"},
                             Refused{"1300", "above the upper non-critical threshold"}}) {
        r = snmpd->set(row1, "i", c.value);
        EXPECT_NE(r.exitCode, 0) << c.why << ": " << r.out;
        EXPECT_NE((r.out + r.err).find("wrongValue"), std::string::npos) << c.why << ": " << r.out << r.err;
        EXPECT_EQ(controllerLnc(kBaseboard12VNumber), 180) << c.why;
    }
    // A row the service does not have is refused too.
    r = snmpd->set(std::string(kVoltageLnc) + ".3", "i", "1134");
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_EQ(snmpd->getNext(std::string(kVoltageLnc) + ".0").out, integerLine(row1, 1134));
}

} // namespace
