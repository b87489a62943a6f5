// The drive asset-tag road end to end: the real snmpd runs qvdisktagagent, which asks qvdisktagd,
// which drives the simulated SCSI disks through libqvdiskbus and reads the inventory of the
// outside disk library's stand-in. The simulated drives run here, in-process, so the test moves
// their self-test clock instead of waiting for it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "drive_pages.h"
#include "model_code.h"
#include "private_snmpd.h"
#include "scsi_simulator.h"
#include "service_process.h"
#include "temp_root.h"

namespace {

using nlohmann::json;
using Bytes = std::vector<uint8_t>;

constexpr char kSubtree[] = ".1.3.6.1.4.1.93071.2.23.32";
// A record outside tools wrote to the first disk's area: known text field 0x81.
const Bytes kOutsideRecord = {0x0C, 0x81, 'A', 'S', 'S', 'E', 'T', '-', '0', '0', '4', '2'};

std::string oid(const std::string& suffix) { return kSubtree + suffix; }

// The default server's SCSI side: an aic7xxx host with two disks, a CD-ROM and an enclosure, and a
// RAID host whose logical drives are no drives of the disk library.
json scsiScenario()
{
    json scsi = qv::test::defaultScenario().at("scsi");
    for (json& target : scsi.at("targets"))
        if (target.at("sg") == 0) {
            target["driveArea"] = kOutsideRecord;
        }
    return scsi;
}

std::string ctimeText(time_t t)
{
    char text[32] = {};
    ::ctime_r(&t, text);
    return std::string(text, 24);   // without its newline, as snmpd shows it
}

time_t bigEndianTime(const Bytes& b, size_t at)
{
    return time_t(uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3]);
}

class DiskTagE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access("/usr/sbin/snmpd", X_OK) != 0) {
            GTEST_SKIP() << "snmpd is not installed";
        }
        ASSERT_TRUE(qv::test::storeModelCode(55));
        // On a 2.4 kernel the disk bus library runs drive self-tests.
        root_.writeFile("/var/qvsim/uname", "2.4.20-8\n");
        qv::sim::scsi::SetDriveClock([this] { return driveClock_.load(); });
        simulator_.loadScenario({{"scsi", scsiScenario()}});
        simulator_.start();
        service_.start(qv::test::installedPath("storage/qvdisktagd/qvdisktagd"), {},
                       {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root_.at("/qvdisktagd.log")},
                        {"QV_SELFTEST_WAIT_DIVISOR", "100"}});
        ASSERT_TRUE(qv::test::eventually([this] { return root_.exists("/var/qvserver/qvdisktagd.socket"); }))
            << serviceLog();
        snmpd_ = std::make_unique<qv::e2e::PrivateSnmpd>(
            root_.at("/snmpd"),
            std::vector<qv::e2e::PassLine>{{kSubtree, qv::test::installedPath("storage/qvdisktagagent/qvdisktagagent")}});
    }
    void TearDown() override
    {
        snmpd_.reset();
        if (service_.pid() > 0) {
            EXPECT_EQ(service_.stop(), 0) << "qvdisktagd did not end cleanly on SIGTERM";
        }
        simulator_.stop();
        qv::sim::scsi::SetDriveClock({});
    }

    std::string serviceLog() const
    {
        return root_.exists("/qvdisktagd.log") ? root_.readFile("/qvdisktagd.log") : "";
    }
    // The value part of one GET ("INTEGER: 1"), or the whole output when it failed. snmpd keeps
    // the output of an agent command line for 30 s when the next command is the same, so the
    // object is asked after another one: every answer is the service's answer of the moment.
    std::string get(const std::string& suffix) const
    {
        const qv::test::ProgramResult r = snmpd_->get({oid(".1.1.0"), oid(suffix)});
        const std::string head = oid(".1.1.0") + " = INTEGER: 1\n" + oid(suffix) + " = ";
        if (r.exitCode != 0 || r.out.rfind(head, 0) != 0) return r.out + r.err;
        std::string value = r.out.substr(head.size());
        if (!value.empty() && value.back() == '\n') value.pop_back();
        return value;
    }
    Bytes driveArea(int sg)
    {
        json answer;
        EXPECT_TRUE(simulator_.handleControl({{"op", "scsiDriveArea"}, {"sg", sg}}, answer));
        return answer.value("area", Bytes{});
    }

    qv::test::ScopedEnv noMibs_{"MIBS", ""};
    qv::test::ScopedEnv utc_{"TZ", "UTC"};
    qv::test::TempRoot root_;
    std::atomic<time_t> driveClock_{std::time(nullptr)};
    qv::sim::scsi::ScsiSimulator simulator_;
    qv::test::ChildProcess service_;
    std::unique_ptr<qv::e2e::PrivateSnmpd> snmpd_;
};

TEST_F(DiskTagE2E, WalkShowsTheSimulatedAdaptersAndDrivesInOrder)
{
    const qv::test::ProgramResult r = snmpd_->walk(kSubtree);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string expected;
    const auto line = [&](const std::string& suffix, const std::string& value) {
        expected += oid(suffix) + " = " + value + "\n";
    };
    for (const char* version : {".1.1.0", ".1.2.0", ".1.3.0", ".1.4.0"}) line(version, "INTEGER: 1");
    line(".2.1.0", "INTEGER: 2");
    // Adapters by host: the SCSI host and the RAID controller (class 1).
    const std::vector<std::vector<std::string>> adapters = {
        {"INTEGER: 1", "INTEGER: 2"},
        {"INTEGER: 0", "INTEGER: 1"},
        {"STRING: \"aic7xxx\"", "STRING: \"megaraid\""},
        {"STRING: \"Adaptec\"", "STRING: \"AMI\""},
        {"STRING: \"sim-1.0\"", "STRING: \"sim-1.0\""},
        {"INTEGER: 4", "INTEGER: 1"},
    };
    for (size_t column = 0; column < adapters.size(); ++column)
        for (size_t row = 0; row < 2; ++row)
            line(".2.2.1." + std::to_string(column + 1) + "." + std::to_string(row + 1), adapters[column][row]);
    line(".3.1.0", "INTEGER: 2");
    // The two disks of host 0 (targets 0 and 1); neither ran a self-test.
    const std::vector<std::vector<std::string>> drives = {
        {"INTEGER: 1", "INTEGER: 2"},
        {"INTEGER: 0", "INTEGER: 0"},
        {"INTEGER: 0", "INTEGER: 0"},
        {"INTEGER: 0", "INTEGER: 1"},
        {"STRING: \"0005\"", "STRING: \"S96H\""},
        {"STRING: \"Seagate\"", "STRING: \"IBM\""},
        {"\"\"", "\"\""},
        {"STRING: \"3BV0KXYZ\"", "STRING: \"4CX7A1B2C3\""},
        {"STRING: \"ST39204LC\"", "STRING: \"DDYS-T18350N\""},
        {"INTEGER: 0", "INTEGER: 0"},
        {"INTEGER: 0", "INTEGER: 0"},
        {"INTEGER: 0", "INTEGER: 0"},
        {"INTEGER: 1", "INTEGER: 1"},
        {"INTEGER: 0", "INTEGER: 0"},
        {"INTEGER: 0", "INTEGER: 0"},
        {"INTEGER: 255", "INTEGER: 255"},
        {"INTEGER: 1800", "INTEGER: 1800"},
        {"STRING: \"NA\"", "STRING: \"NA\""},
        {"STRING: \"NA\"", "STRING: \"NA\""},
    };
    for (size_t column = 0; column < drives.size(); ++column)
        for (size_t row = 0; row < 2; ++row)
            line(".3.2.1." + std::to_string(column + 1) + "." + std::to_string(row + 1), drives[column][row]);
    line(".4.1.0", "INTEGER: 0");
    line(".4.2.0", "INTEGER: 0");
    EXPECT_EQ(r.out, expected);
}

TEST_F(DiskTagE2E, ShortSelfTestRunsOnTheDriveAndIsRecordedInItsArea)
{
    const qv::test::ProgramResult readOnly = snmpd_->set(oid(".3.2.1.3.1"), "i", "1");
    EXPECT_NE(readOnly.exitCode, 0);
    EXPECT_NE(readOnly.err.find("notWritable"), std::string::npos) << readOnly.err;

    const time_t before = std::time(nullptr);
    const qv::test::ProgramResult start = snmpd_->set(oid(".3.2.1.15.1"), "i", "1");
    ASSERT_EQ(start.exitCode, 0) << start.err << serviceLog();
    EXPECT_EQ(get(".3.2.1.15.1"), "INTEGER: 1");
    EXPECT_EQ(get(".3.2.1.15.2"), "INTEGER: 0") << "only the first drive runs a test";
    // The drive's short test takes two minutes of its clock: half of them show as 50 percent.
    driveClock_ += 60;
    EXPECT_TRUE(qv::test::eventually([&] { return get(".3.2.1.14.1") == "INTEGER: 50"; }))
        << get(".3.2.1.14.1");
    EXPECT_EQ(get(".3.2.1.15.1"), "INTEGER: 1");
    driveClock_ += 60;
    EXPECT_TRUE(qv::test::eventually([&] { return get(".3.2.1.15.1") == "INTEGER: 0"; })) << serviceLog();
    const time_t after = std::time(nullptr);
    EXPECT_EQ(get(".3.2.1.14.1"), "INTEGER: 100");
    EXPECT_EQ(get(".3.2.1.16.1"), "INTEGER: 0");

    // The area: the outside record kept first, then start, end, last time and result.
    const Bytes area = driveArea(0);
    ASSERT_EQ(area.size(), 600u);
    Bytes head(area.begin(), area.begin() + 12 + 6 * 3 + 3);
    const time_t started = bigEndianTime(area, 14);
    const time_t ended = bigEndianTime(area, 20);
    EXPECT_LE(before, started);
    EXPECT_LE(started, ended);
    EXPECT_LE(ended, after);
    Bytes expected = kOutsideRecord;
    for (const auto& [id, t] : {std::pair{0x6B, started}, {0x6C, ended}, {0x6A, ended}})
        expected.insert(expected.end(), {0x06, uint8_t(id), uint8_t(t >> 24), uint8_t(t >> 16), uint8_t(t >> 8),
                                         uint8_t(t)});
    expected.insert(expected.end(), {0x03, 0x2D, 0x00});
    EXPECT_EQ(head, expected);
    EXPECT_EQ(Bytes(area.begin() + long(head.size()), area.end()), Bytes(600 - head.size(), 0));

    EXPECT_EQ(get(".3.2.1.18.1"), "STRING: \"" + ctimeText(started) + "\"");
    EXPECT_EQ(get(".3.2.1.19.1"), "STRING: \"" + ctimeText(ended) + "\"");
    EXPECT_EQ(get(".3.2.1.18.2"), "STRING: \"NA\"");
    EXPECT_EQ(driveArea(1), Bytes(600, 0)) << "the other drive's area is untouched";
}

} // namespace
