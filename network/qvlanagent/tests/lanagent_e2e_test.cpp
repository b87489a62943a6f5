// qvlanagent as snmpd runs it: the whole subtree walked through a private snmpd, and the
// program's own command-line answers.
#include "nic_test_fixture.h"
#include "private_snmpd.h"
#include "snmp_oid.h"

#include <gtest/gtest.h>

#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr char kSubtree[] = ".1.3.6.1.4.1.93071.2.23.18";

std::string agent() { return qv::test::installedPath("network/qvlanagent/qvlanagent"); }

TEST(LanAgentE2E, WalkOfTheWholeSubtreeIsStrictlyIncreasingAndEndsCleanly)
{
    if (::access("/usr/sbin/snmpd", X_OK) != 0) GTEST_SKIP() << "snmpd is not installed";
    lantest::NicRoot nic(4);
    nic.createSegment();
    qv::test::ScopedEnv noMibs("MIBS", "");
    qv::e2e::PrivateSnmpd snmpd(nic.root.at("/snmpd"), {{kSubtree, agent()}});
    const qv::test::ProgramResult r = snmpd.walk(kSubtree);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err.find("not increasing"), std::string::npos) << r.err;

    std::istringstream lines(r.out);
    std::string line;
    std::vector<SnmpOid> seen;
    while (std::getline(lines, line)) {
        if (line.rfind(kSubtree, 0) != 0) continue;
        seen.emplace_back(line.substr(0, line.find(' ')).c_str());
        if (seen.size() > 1) {
            EXPECT_TRUE(seen[seen.size() - 2] < seen.back()) << line;
        }
    }
    // 2 rows of the 92 one-level columns, 2 frame-type entries of 3 columns, 2 + 123 scalars.
    EXPECT_EQ(seen.size(), 2u * 92 + 2 * 3 + 2 + 123) << r.out;
    EXPECT_NE(r.out.find(std::string(kSubtree) + ".1.1.1.9.1 = Hex-STRING: 00 10 00 00"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string(kSubtree) + ".9.1.1.10.2 = INTEGER: 0"), std::string::npos);
}

TEST(LanAgentE2E, CommandLineAnswers)
{
    lantest::NicRoot nic(4);
    qv::test::ProgramResult r = qv::test::runProgram(agent(), {});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("QVLANAGENT - QV Network Interface Card SNMP Agent\n\n"
                          "Usage: qvlanagent <cmd> <oid> [ <type> <value> ]\n", 0), 0u) << r.err;

    const std::string ioPort = std::string(kSubtree) + ".1.1.1.9.1";
    r = qv::test::runProgram(agent(), {"-g", ioPort});
    EXPECT_EQ(r.out, ioPort + "\noctet\n 00 10 00 00\n");

    // Without the daemon's segment a SET must not look like success to snmpd.
    r = qv::test::runProgram(agent(), {"-s", std::string(kSubtree) + ".7.1.1.0", "integer", "3"});
    EXPECT_EQ(r.out, "no-creation\n");

    nic.createSegment();
    r = qv::test::runProgram(agent(), {"-s", std::string(kSubtree) + ".7.1.1.0", "integer", "3"});
    EXPECT_EQ(r.out, "");
    EXPECT_NE(nic.settings().find("TrapPollTime=3\n"), std::string::npos) << nic.settings();
    r = qv::test::runProgram(agent(), {"-s", std::string(kSubtree) + ".7.1.8.0", "integer", "3"});
    EXPECT_EQ(r.out, "wrong-type\n");
}

TEST(LanAgentE2E, GetsLeaveTheSettingsFileAloneAndASetChangesOnlyItsLine)
{
    lantest::NicRoot nic(4);
    nic.createSegment();
    const std::string pollTime = std::string(kSubtree) + ".7.1.1.0";
    const std::string ioPort = std::string(kSubtree) + ".1.1.1.9.1";
    ASSERT_EQ(qv::test::runProgram(agent(), {"-g", pollTime}).exitCode, 0);
    const std::string file = nic.root.at("/usr/qvserver/etc/vknicagt.cfg");
    const std::string settings = nic.settings();
    ASSERT_NE(settings.find("TrapPollTime=5\n"), std::string::npos) << settings;
    const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), past, 0), 0);
    struct stat before{};
    ASSERT_EQ(stat(file.c_str(), &before), 0);

    const std::vector<std::vector<std::string>> reads = {{"-g", pollTime}, {"-g", ioPort}, {"-n", kSubtree}};
    for (const auto& args : reads) {
        const std::string& oid = args[1];
        const qv::test::ProgramResult r = qv::test::runProgram(agent(), args);
        EXPECT_EQ(r.exitCode, 0) << oid;
        EXPECT_NE(r.out, "") << oid;
        struct stat after{};
        ASSERT_EQ(stat(file.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << oid;
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << oid;
    }
    EXPECT_EQ(nic.settings(), settings);

    EXPECT_EQ(qv::test::runProgram(agent(), {"-s", pollTime, "integer", "3"}).out, "");
    std::string expected = settings;
    expected.replace(expected.find("TrapPollTime=5\n"), 15, "TrapPollTime=3\n");
    EXPECT_EQ(nic.settings(), expected);
}

} // namespace
