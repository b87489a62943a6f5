// The test agent behind the real snmpd: walk, get, set and refused sets as a manager sees them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "model_code.h"
#include "private_snmpd.h"
#include "temp_root.h"

namespace {

constexpr char kRoot[] = ".1.3.6.1.4.1.93071.2.99";

std::string oid(const std::string& suffix) { return std::string(kRoot) + suffix; }

class SnmpAgentE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root = new qv::test::TempRoot;
        ASSERT_TRUE(qv::test::storeModelCode(55));
        snmpd = new qv::e2e::PrivateSnmpd(
            root->path() + "/snmpd",
            {{kRoot, qv::test::buildPath("snmpagent/tests/qvtestagent")}});
    }
    static void TearDownTestSuite()
    {
        delete snmpd;
        delete root;
    }

    static qv::test::TempRoot* root;
    static qv::e2e::PrivateSnmpd* snmpd;
};

qv::test::TempRoot* SnmpAgentE2E::root = nullptr;
qv::e2e::PrivateSnmpd* SnmpAgentE2E::snmpd = nullptr;

TEST_F(SnmpAgentE2E, WalkReturnsEveryObjectInOrderAndEndsCleanly)
{
    qv::test::ProgramResult r = snmpd->walk(kRoot);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string expected =
        oid(".1.0") + " = STRING: \"qvtestagent\"\n" +
        oid(".2.0") + " = INTEGER: 42\n" +
        oid(".3.0") + " = Counter32: 4294967295\n" +
        oid(".4.1.1.1") + " = INTEGER: 1\n" + oid(".4.1.1.2") + " = INTEGER: 2\n" +
        oid(".4.1.1.3") + " = INTEGER: 3\n" +
        oid(".4.1.2.1") + " = STRING: \"row-1\"\n" + oid(".4.1.2.2") + " = STRING: \"row-2\"\n" +
        oid(".4.1.2.3") + " = STRING: \"row-3\"\n" +
        oid(".5.1.10.1") + " = Gauge32: 1\n" + oid(".5.1.10.7") + " = Gauge32: 7\n" +
        oid(".5.1.2147483648.1") + " = Gauge32: 1\n" +
        oid(".5.1.4294967295.2") + " = Gauge32: 2\n" +
        oid(".6.0") + " = STRING: \"unset\"\n" +
        oid(".7.0") + " = INTEGER: 5\n" +
        oid(".8.0") + " = Hex-STRING: 00 1A FF \n" +
        oid(".9.0") + " = IpAddress: 127.0.0.1\n";
    EXPECT_EQ(r.out, expected);
}

TEST_F(SnmpAgentE2E, GetOfMissingObjectsIsNoSuchInstance)
{
    qv::test::ProgramResult r = snmpd->get({oid(".2.0"), oid(".4.1.1.4"), oid(".77.0")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(oid(".2.0") + " = INTEGER: 42\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(oid(".4.1.1.4") + " = No Such Instance"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(oid(".77.0") + " = No Such Instance"), std::string::npos) << r.out;
}

TEST_F(SnmpAgentE2E, SetOfWritableObjectsReachesTheIniFile)
{
    qv::test::ProgramResult r = snmpd->set(oid(".7.0"), "i", "17");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(snmpd->get({oid(".7.0")}).out, oid(".7.0") + " = INTEGER: 17\n");

    r = snmpd->set(oid(".6.0"), "s", "rack 4 left");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(snmpd->get({oid(".6.0")}).out, oid(".6.0") + " = STRING: \"rack 4 left\"\n");
    EXPECT_NE(root->readFile("/usr/qvserver/etc/qvtestagent.ini").find("Name=rack 4 left\n"),
              std::string::npos);
}

TEST_F(SnmpAgentE2E, StringWithNonAsciiByteSetsExactly)
{
    qv::test::ProgramResult r = snmpd->set(oid(".6.0"), "x", "C3A9 74 C3 A9");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(root->readFile("/usr/qvserver/etc/qvtestagent.ini").find("Name=\xC3\xA9t\xC3\xA9\n") !=
                  std::string::npos,
              true)
        << root->readFile("/usr/qvserver/etc/qvtestagent.ini");
    r = snmpd->client("snmpget", {oid(".6.0")}, {"-Ox"});
    EXPECT_EQ(r.out, oid(".6.0") + " = Hex-STRING: C3 A9 74 C3 A9 \n");
}

TEST_F(SnmpAgentE2E, RefusedSetReachesTheManagerAsAnError)
{
    const struct {
        const char* suffix;
        const char* type;
        const char* value;
        const char* error;
    } cases[] = {
        {".7.0", "i", "500", "wrongValue"},
        {".7.0", "i", "-1", "wrongValue"},
        {".7.0", "s", "x", "wrongType"},
        {".2.0", "i", "1", "notWritable"},
        {".77.0", "i", "1", "noCreation"},
    };
    for (const auto& c : cases) {
        qv::test::ProgramResult r = snmpd->set(oid(c.suffix), c.type, c.value);
        EXPECT_NE(r.exitCode, 0) << c.suffix << " " << c.value;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << c.suffix << ": " << r.err;
    }
    EXPECT_EQ(snmpd->get({oid(".7.0")}).out.find("INTEGER: 500"), std::string::npos);
}

} // namespace
