// qvspaceagent behind the real snmpd: a walk of the whole subtree, threshold SETs and clearing
// a history, seen by the real net-snmp clients.
#include "private_snmpd.h"
#include "volcap_files.h"
#include "volcap_test_root.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const std::string kBase = ".1.3.6.1.4.1.93071.2.23.15";

std::vector<std::string> oidsOf(const std::string& walk)
{
    std::vector<std::string> oids;
    size_t at = 0;
    while ((at = walk.find(kBase, at)) != std::string::npos) {
        const size_t end = walk.find(' ', at);
        oids.push_back(walk.substr(at + kBase.size(), end - at - kBase.size()));
        at = end;
    }
    return oids;
}

TEST(SpaceAgentE2E, WalkSetAndClearHistory)
{
    if (::access("/usr/sbin/snmpd", X_OK) != 0) GTEST_SKIP() << "snmpd is not installed";
    volcaptest::VolcapRoot v;
    v.root.writeFile(volcaptest::kDir + "_",
                     "[/]\nHistLastEntry=1\nHistOverflow=0\n0=981173106 4000 2000\n"
                     "1=981173107 4000 1000\n");
    const sharedInfo latched{3, 7, 1, 1, 1};
    ASSERT_EQ(WriteSharedVars("/", &latched), 0);
    qv::test::ScopedEnv noMibs("MIBS", "");
    qv::test::ScopedEnv utc("TZ", "UTC");
    qv::e2e::PrivateSnmpd snmpd(v.root.at("/snmpd"),
                                {{kBase, qv::test::installedPath("storage/qvspaceagent/qvspaceagent")}});

    qv::test::ProgramResult r = snmpd.walk(kBase);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::vector<std::string> expected = {".1.1.0", ".1.2.0", ".2.1.1.1.1", ".2.1.1.2.1",
                                         ".2.1.1.3.1", ".2.1.1.4.1", ".3.1.0"};
    for (int column = 1; column <= 14; ++column)
        for (int row = 1; row <= 2; ++row)
            expected.push_back(".3.2.1." + std::to_string(column) + "." + std::to_string(row));
    for (int column = 1; column <= 3; ++column)
        for (int sample = 1; sample <= 2; ++sample)
            expected.push_back(".4.1.1." + std::to_string(column) + ".1." + std::to_string(sample));
    EXPECT_EQ(oidsOf(r.out), expected) << r.out;
    EXPECT_NE(r.out.find(kBase + ".3.2.1.2.2 = STRING: \"/home\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(kBase + ".3.2.1.11.1 = INTEGER: 4000"), std::string::npos);
    EXPECT_NE(r.out.find(kBase + ".4.1.1.3.1.1 = Hex-STRING: 65 02 03 04 05 07 A0 0F 00 00 E8 03 00 00"),
              std::string::npos) << r.out;

    r = snmpd.set(kBase + ".3.2.1.7.1", "i", "90");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(v.file("qvvolcap.cfg").find("[/]\nWarnThreshold=90\n"), std::string::npos);
    EXPECT_NE(v.file("qvvolcap.var").find("Var=0 7 1 0 0\n"), std::string::npos)
        << v.file("qvvolcap.var");

    const std::string cfg = v.file("qvvolcap.cfg");
    const std::string var = v.file("qvvolcap.var");
    for (const char* bad : {"101", "-1"}) {
        r = snmpd.set(kBase + ".3.2.1.8.1", "i", bad);
        EXPECT_NE(r.exitCode, 0) << bad << r.out;
    }
    EXPECT_EQ(v.file("qvvolcap.cfg"), cfg);
    EXPECT_EQ(v.file("qvvolcap.var"), var);

    r = snmpd.set(kBase + ".3.2.1.14.1", "i", "9913");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(v.exists("_"));
    r = snmpd.walk(kBase + ".4");
    EXPECT_EQ(r.out.find(kBase + ".4.1"), std::string::npos) << r.out;
}

} // namespace
