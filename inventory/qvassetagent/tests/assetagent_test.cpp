// qvassetagent run as snmpd runs it: the INI-backed URL and component table, the serial number
// from the registry cache or the BIOS tables, the registry telephone; and a walk through snmpd.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "bios_image.h"
#include "model_code.h"
#include "registry.h"
#include "temp_root.h"

#if __has_include("private_snmpd.h")
#include "private_snmpd.h"
#define QV_HAVE_E2E 1
#endif

namespace {

constexpr char kRoot[] = ".1.3.6.1.4.1.93071.2.36.1.1";
constexpr char kIni[] = "/usr/qvserver/etc/qvassetagent.ini";
constexpr char kPhoneKey[] = "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\RFC1156Agent=sysPhone";

std::string agent() { return qv::test::installedPath("inventory/qvassetagent/qvassetagent"); }
std::string oid(const std::string& suffix) { return kRoot + suffix; }

class AssetAgent : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(55));
        qv::sim::BiosInventory inventory;
        inventory.modelCode = 55;
        ASSERT_TRUE(qv::sim::writeBiosImage(root.at("/dev/mem"),
                                            qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21)));
        root.writeFile(kIni,
                       "[URL]\nurl=http://host/\n[TOTALCOMPONENTS]\nComponents=2\n"
                       "[Component1]\nSysObjID=1.3.6.1.4.1.9\nRelationshipType=2\nUniqueID=U1\nURL=http://c1/\n"
                       "[Component2]\nSysObjID=1.3.6.1.4.1.11\nUniqueID=U2\nIPAddress=10.0.0.2\n");
    }
    qv::test::ProgramResult run(const std::vector<std::string>& args) const { return qv::test::runProgram(agent(), args); }
    std::string get(const std::string& suffix) const { return run({"-g", oid(suffix)}).out; }
    static std::string answer(const std::string& suffix, const char* type, const std::string& value)
    {
        return oid(suffix) + "\n" + type + "\n" + value + "\n";
    }

    qv::test::TempRoot root;
};

TEST_F(AssetAgent, ScalarsAndTheComponentTable)
{
    struct Case {
        const char* suffix;
        const char* type;
        const char* value;
    };
    const Case cases[] = {
        {".1.1.0", "string", "http://host/"},     {".2.1.0", "string", "http://host/"},
        {".2.2.0", "string", "QV99120047"},       {".2.3.0", "integer", "1"},
        {".2.4.0", "string", "Quorvane Co"},      {".2.6.0", "string", "A.02.00"},
        {".2.9.0", "string", "QV99120047"},       {".2.11.0", "string", ""},
        {".3.1.1.1.2", "integer", "2"},           {".3.1.1.2.2", "string", "1.3.6.1.4.1.11"},
        {".3.1.1.3.1", "integer", "2"},           {".3.1.1.3.2", "integer", "0"},
        {".3.1.1.4.1", "string", "U1"},           {".3.1.1.5.1", "string", "http://c1/"},
        {".3.1.1.7.2", "string", "10.0.0.2"},     {".4.1.0", "string", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(get(c.suffix), answer(c.suffix, c.type, c.value)) << c.suffix;
    EXPECT_EQ(run({"-g", oid(".3.1.1.2.3")}).exitCode, 1);
}

TEST_F(AssetAgent, EmptyComponentTableIsSkippedByGetNext)
{
    root.writeFile(kIni, "[URL]\nurl=x\n");
    EXPECT_EQ(run({"-n", oid(".3")}).out, answer(".4.1.0", "string", ""));
}

TEST_F(AssetAgent, MissingSerialHidesBothSerialObjects)
{
    qv::sim::BiosInventory inventory;
    inventory.modelCode = 55;
    inventory.systemInfo->serial = "Unknown";
    ASSERT_TRUE(qv::sim::writeBiosImage(root.at("/dev/mem"),
                                        qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21)));
    EXPECT_EQ(run({"-g", oid(".2.2.0")}).exitCode, 1);
    EXPECT_EQ(run({"-n", oid(".2.1.0")}).out, answer(".2.3.0", "integer", "1"));
}

TEST_F(AssetAgent, SetsLandInTheIniFileAndTheRegistry)
{
    EXPECT_EQ(run({"-s", oid(".1.1.0"), "string", "http://new/"}).exitCode, 0);
    EXPECT_EQ(get(".2.1.0"), answer(".2.1.0", "string", "http://new/"));
    EXPECT_EQ(run({"-s", oid(".2.1.0"), "string", "http://other/"}).exitCode, 0);
    EXPECT_EQ(get(".1.1.0"), answer(".1.1.0", "string", "http://other/"));
    EXPECT_EQ(run({"-s", oid(".3.1.1.6.2"), "string", "Blade 2"}).exitCode, 0);
    EXPECT_NE(root.readFile(kIni).find("[Component2]\nSysObjID=1.3.6.1.4.1.11\nUniqueID=U2\nIPAddress=10.0.0.2\nLabelLink=Blade 2\n"),
              std::string::npos) << root.readFile(kIni);
    EXPECT_EQ(run({"-s", oid(".2.11.0"), "string", "555-0100"}).exitCode, 0);
    char phone[64] = {};
    EXPECT_EQ(GetRegData(kPhoneKey, phone, sizeof phone - 1), 0u);
    EXPECT_STREQ(phone, "555-0100");
    EXPECT_EQ(get(".2.11.0"), answer(".2.11.0", "string", "555-0100"));
    // Accepted, nothing stored.
    const std::string before = root.readFile(kIni);
    EXPECT_EQ(run({"-s", oid(".2.9.0"), "string", "X1"}).out, "");
    EXPECT_EQ(root.readFile(kIni), before);
}

TEST_F(AssetAgent, FailedWritesAreRefusedSets)
{
    // A value that would add lines to the file is refused and the file kept.
    const std::string before = root.readFile(kIni);
    const auto injected = run({"-s", oid(".3.1.1.5.1"), "string", "x\n[URL]\nurl=evil"});
    EXPECT_NE(injected.out, "");
    EXPECT_EQ(root.readFile(kIni), before);
    // An INI path that cannot be written (a directory) makes the SET fail.
    ASSERT_EQ(unlink(root.at(kIni).c_str()), 0);
    ASSERT_EQ(mkdir(root.at(kIni).c_str(), 0755), 0);
    const auto failed = run({"-s", oid(".1.1.0"), "string", "http://lost/"});
    EXPECT_NE(failed.out, "");
}

#ifdef QV_HAVE_E2E
TEST_F(AssetAgent, WalkThroughSnmpdBesideTheDeviceAgent)
{
    if (access("/usr/sbin/snmpd", X_OK) != 0) GTEST_SKIP() << "needs snmpd";
    // One line per branch: a line for the whole subtree would hold the device table's, and
    // snmpd hands a GET or SET to the first line holding the object.
    qv::e2e::PrivateSnmpd snmpd(root.path() + "/snmpd",
                                {{oid(".1"), agent()}, {oid(".2"), agent()}, {oid(".3"), agent()}, {oid(".4"), agent()},
                                 {oid(".5"), qv::test::installedPath("inventory/qvdeviceagent/qvdeviceagent")}});
    const auto walk = snmpd.walk(kRoot);
    EXPECT_EQ(walk.out.find(oid(".1.1.0") + " = STRING: \"http://host/\"\n" + oid(".2.1.0")), 0u) << walk.out;
    EXPECT_NE(walk.out.find(oid(".3.1.1.7.2") + " = STRING: \"10.0.0.2\"\n" + oid(".4.1.0") + " = \"\"\n" +
                            oid(".5.1.1.1.1") + " = INTEGER: 1\n"),
              std::string::npos) << walk.out;
    EXPECT_EQ(snmpd.set(oid(".3.1.1.5.2"), "s", "http://c2/").exitCode, 0);
    EXPECT_NE(root.readFile(kIni).find("URL=http://c2/"), std::string::npos);
    EXPECT_NE(snmpd.set(oid(".2.4.0"), "s", "X").exitCode, 0);
    EXPECT_EQ(snmpd.get({oid(".5.2.0")}).out, oid(".5.2.0") + " = STRING: \"A.01.00\"\n");
}
#endif

} // namespace
