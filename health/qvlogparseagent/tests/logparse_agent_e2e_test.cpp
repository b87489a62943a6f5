// qvlogparseagent as snmpd runs it: walks under several criteria, the criterion SET, the
// version scalars and what reaches standard output.
#include "model_code.h"
#include "private_snmpd.h"
#include "registry.h"
#include "soft_log_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace logparse::test;

const std::string P = ".1.3.6.1.4.1.93071.2.23.29";

// "OID = TYPE: value" lines of a walk, by OID.
std::map<std::string, std::string> values(const std::string& walk)
{
    std::map<std::string, std::string> out;
    for (size_t at = 0; at < walk.size();) {
        size_t end = walk.find('\n', at);
        if (end == std::string::npos) end = walk.size();
        const std::string line = walk.substr(at, end - at);
        const size_t eq = line.find(" = ");
        if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 3);
        at = end + 1;
    }
    return out;
}

std::vector<std::string> column(const std::map<std::string, std::string>& walk, int c)
{
    std::vector<std::string> out;
    const std::string prefix = P + ".6.1." + std::to_string(c) + ".";
    for (int row = 1;; ++row) {
        const auto it = walk.find(prefix + std::to_string(row));
        if (it == walk.end()) return out;
        out.push_back(it->second);
    }
}

// A string value as snmpwalk prints it.
std::string text(const std::string& s) { return s.empty() ? "\"\"" : "STRING: \"" + s + "\""; }

class LogParseAgent : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(59));
        setVersion("2.5");
        writeFixture(root_);
    }
    void setVersion(const char* text)
    {
        ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke=Version", text, std::strlen(text) + 1), 0u);
    }
    qv::test::ProgramResult agent(const std::vector<std::string>& args)
    {
        return qv::test::runProgram(qv::test::installedPath("health/qvlogparseagent/qvlogparseagent"), args);
    }
    std::string log() { return root_.exists("/log") ? root_.readFile("/log") : ""; }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
};

TEST_F(LogParseAgent, ScalarsRowZeroAndStandardOutput)
{
    writeCriterion(root_, "sensor=12\ntrigger=0\noffset=0\n");
    const struct {
        std::string oid;
        std::string out;
    } cases[] = {
        {P + ".1.0", P + ".1.0\ninteger\n2\n"},
        {P + ".2.0", P + ".2.0\ninteger\n5\n"},
        {P + ".4.0", P + ".4.0\ninteger\n2\n"},
        {P + ".5.0", P + ".5.0\ninteger\n3\n"},
        {P + ".6.1.14.3", P + ".6.1.14.3\ninteger\n4\n"},
        {P + ".8.0", P + ".8.0\ninteger\n0\n"},
        {P + ".10.0", P + ".10.0\nstring\n/usr/qvserver/etc/evtlog.dat\n"},
    };
    for (const auto& c : cases) {
        const auto r = agent({"-g", c.oid});
        EXPECT_EQ(r.exitCode, 0) << c.oid;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
    // Nothing but the answer, also when the descriptions are missing.
    std::remove(root_.at("/usr/qvserver/etc/evtspec.cfg").c_str());
    auto r = agent({"-g", P + ".6.1.16.1"});
    EXPECT_EQ(r.out, P + ".6.1.16.1\nstring\n\n");
    EXPECT_EQ(r.err, "");
    r = agent({"-g", P + ".6.1.2.0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");

    // A version without a second number ends the request through the exception handler.
    setVersion("7");
    r = agent({"-g", P + ".2.0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(log().find("An unknow exception was handled"), std::string::npos) << log();
}

TEST_F(LogParseAgent, WalksAndTheCriterionSetThroughSnmpd)
{
    if (::access("/usr/sbin/snmpd", X_OK) != 0) GTEST_SKIP() << "snmpd is not installed";
    qv::test::ScopedEnv mibs("MIBS", "");
    qv::e2e::PrivateSnmpd snmpd(root_.path() + "/snmpd",
                                {{P, qv::test::installedPath("health/qvlogparseagent/qvlogparseagent")}});

    // The memory records: the whole table, every field of every row as the soft log holds it,
    // and the severities of their descriptions.
    writeCriterion(root_, "sensor=12\ntrigger=0\noffset=0\n");
    const auto walk = values(snmpd.walk(P + ".6").out);
    EXPECT_EQ(walk.size(), 16u * 3u);
    const auto& records = fixtureRecords();
    const size_t fixtureRows[] = {0, 2, 4};
    for (int row = 0; row < 3; ++row) {
        const FixtureRecord& f = records[fixtureRows[row]];
        const Sel& s = f.sel;
        const std::vector<int> fields = {row + 1, s.recordId, s.recordType, static_cast<int>(s.timestamp),
                                         s.generatorId, s.generatorLun, s.eventVersion, s.sensorType,
                                         s.sensorNumber, s.eventTrigger, s.eventData1, s.eventData2,
                                         s.eventData3, static_cast<int>(fixtureRows[row])};
        for (size_t c = 0; c < fields.size(); ++c)
            EXPECT_EQ(column(walk, static_cast<int>(c + 1))[static_cast<size_t>(row)],
                      "INTEGER: " + std::to_string(fields[c]))
                << "row " << row + 1 << " column " << c + 1;
        EXPECT_EQ(column(walk, 15)[static_cast<size_t>(row)], text(f.addString));
    }
    EXPECT_EQ(column(walk, 16), (std::vector<std::string>{text("Warning"), text(" Critical"), text("")}));

    // Record ids under the other criteria, each read by a new run of the agent.
    const struct {
        const char* settings;
        std::vector<std::string> ids;
    } cases[] = {
        {"sensor=0\ntrigger=0\noffset=0\n", {"INTEGER: 1", "INTEGER: 2", "INTEGER: 3", "INTEGER: 4", "INTEGER: 5"}},
        {"sensor=0\ntrigger=111\noffset=19\n", {"INTEGER: 5"}},
        {"sensor=255\ntrigger=0\noffset=0\n", {}},
    };
    for (const auto& c : cases) {
        writeCriterion(root_, c.settings);
        EXPECT_EQ(column(values(snmpd.walk(P + ".6.1.2").out), 2), c.ids) << c.settings;
    }
    EXPECT_EQ(snmpd.get({P + ".5.0"}).out, P + ".5.0 = INTEGER: 0\n");

    // The SET changes the settings file, and the next run's table.
    const auto set = snmpd.set(P + ".7.0", "i", "12");
    EXPECT_EQ(set.exitCode, 0) << set.out << set.err;
    EXPECT_NE(root_.readFile("/usr/qvserver/etc/qvlogparseagent.cfg").find("sensor=12"), std::string::npos);
    EXPECT_EQ(snmpd.get({P + ".7.0"}).out, P + ".7.0 = INTEGER: 12\n");
    EXPECT_EQ(column(values(snmpd.walk(P + ".6.1.2").out), 2),
              (std::vector<std::string>{"INTEGER: 1", "INTEGER: 3", "INTEGER: 5"}));

    // Without the description file the severities are empty.
    std::remove(root_.at("/usr/qvserver/etc/evtspec.cfg").c_str());
    EXPECT_EQ(column(values(snmpd.walk(P + ".6.1.16").out), 16),
              (std::vector<std::string>(3, text(""))));
}

} // namespace
