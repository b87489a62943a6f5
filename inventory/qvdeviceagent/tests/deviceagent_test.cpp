// qvdeviceagent run as snmpd runs it: the server's record merged at each start, the table read
// from the store, SETs that land in it; and a walk through the real snmpd.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
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

constexpr char kTable[] = ".1.3.6.1.4.1.93071.2.36.1.1.5.1.1";
constexpr char kLocationKey[] = "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\RFC1156Agent=sysLocation";
constexpr char kSerialKey[] = "SOFTWARE\\Quorvane\\Trivoke=Serial No";

std::string agent() { return qv::test::installedPath("inventory/qvdeviceagent/qvdeviceagent"); }

class DeviceAgent : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(55));
        writeBios(qv::sim::SystemInfo{});
    }
    void writeBios(const qv::sim::SystemInfo& system)
    {
        qv::sim::BiosInventory inventory;
        inventory.modelCode = 55;
        inventory.systemInfo = system;
        qv::sim::writeBiosImage(root.at("/dev/mem"), qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21));
    }
    qv::test::ProgramResult run(const std::vector<std::string>& args) const { return qv::test::runProgram(agent(), args); }
    std::string get(const std::string& column, int row = 1) const
    {
        return run({"-g", std::string(kTable) + "." + column + "." + std::to_string(row)}).out;
    }
    static std::string answer(const std::string& oid, const char* type, const std::string& value)
    {
        return oid + "\n" + type + "\n" + value + "\n";
    }
    std::string cell(const std::string& column, int row = 1) const
    {
        return std::string(kTable) + "." + column + "." + std::to_string(row);
    }

    qv::test::TempRoot root;
};

TEST_F(DeviceAgent, FirstRunStoresTheServersRecordFromTheBiosTables)
{
    EXPECT_EQ(get("3"), answer(cell("3"), "integer", "3"));
    EXPECT_TRUE(root.exists("/var/qvserver/entitydb.dat"));
    EXPECT_EQ(get("22"), answer(cell("22"), "integer", "1"));
    EXPECT_EQ(get("4"), answer(cell("4"), "string", "1.3.6.1.4.1.2021"));
    EXPECT_EQ(get("10"), answer(cell("10"), "string", "QV99120047"));
    EXPECT_EQ(get("1"), answer(cell("1"), "integer", "1"));
    const std::string guid = get("2");
    EXPECT_NE(guid.find("^QV99120047}"), std::string::npos) << guid;
    EXPECT_EQ(run({"-g", cell("2", 2)}).exitCode, 1);
    EXPECT_EQ(run({"-g", ".1.3.6.1.4.1.93071.2.36.1.1.5.2.0"}).out,
              answer(".1.3.6.1.4.1.93071.2.36.1.1.5.2.0", "string", "A.01.00"));
    // The serial found in the tables is cached in the registry.
    char cached[64] = {};
    EXPECT_EQ(GetRegData(kSerialKey, cached, sizeof cached - 1), 0u);
    EXPECT_STREQ(cached, "QV99120047");
}

TEST_F(DeviceAgent, CachedSerialWinsAndNoSerialComposesTheGuidFromTheComputerName)
{
    const char serial[] = "CACHED4711";
    ASSERT_EQ(SetRegData(kSerialKey, serial, sizeof serial), 0u);
    EXPECT_EQ(get("10"), answer(cell("10"), "string", "CACHED4711"));

    qv::test::TempRoot fresh;
    ASSERT_TRUE(qv::test::storeModelCode(55));
    qv::sim::SystemInfo system;
    system.serial = "Unknown";
    qv::sim::BiosInventory inventory;
    inventory.modelCode = 55;
    inventory.systemInfo = system;
    qv::sim::writeBiosImage(fresh.at("/dev/mem"), qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21));
    const std::string guid = get("2");
    EXPECT_NE(guid.find("\nstring\n{"), std::string::npos) << guid;
    EXPECT_EQ(guid.find("^QV"), std::string::npos) << guid;
    EXPECT_EQ(std::count(guid.begin(), guid.end(), '^'), 1) << guid;
    EXPECT_EQ(get("10"), answer(cell("10"), "string", ""));
}

TEST_F(DeviceAgent, SetsLandInTheStoreAndSurviveTheNextStart)
{
    EXPECT_EQ(run({"-s", cell("19"), "string", "Hall 2"}).exitCode, 0);
    EXPECT_EQ(get("19"), answer(cell("19"), "string", "Hall 2"));
    EXPECT_EQ(run({"-s", cell("14"), "string", "A-42"}).exitCode, 0);
    EXPECT_EQ(get("14"), answer(cell("14"), "string", "A-42"));
    EXPECT_EQ(run({"-s", cell("14"), "string", ""}).exitCode, 0);
    EXPECT_EQ(get("14"), answer(cell("14"), "string", ""));
    EXPECT_EQ(get("19"), answer(cell("19"), "string", "Hall 2"));
    // A non-empty registry location replaces the stored one at the next start.
    const char location[] = "Rack room";
    ASSERT_EQ(SetRegData(kLocationKey, location, sizeof location), 0u);
    EXPECT_EQ(get("19"), answer(cell("19"), "string", "Rack room"));
    // Read-only columns refuse SETs and keep their value.
    const auto refused = run({"-s", cell("10"), "string", "X"});
    EXPECT_NE(refused.out.find("not-writable"), std::string::npos) << refused.out;
}

TEST_F(DeviceAgent, DamagedStoreEndsEveryRunAndIsKept)
{
    root.writeFile("/var/qvserver/entitydb.dat", "Junk");
    const auto r = run({"-g", cell("3")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(root.readFile("/var/qvserver/entitydb.dat"), "Junk");
}

#ifdef QV_HAVE_E2E
TEST_F(DeviceAgent, WalkAndSetThroughSnmpd)
{
    if (access("/usr/sbin/snmpd", X_OK) != 0) GTEST_SKIP() << "needs snmpd";
    qv::e2e::PrivateSnmpd snmpd(root.path() + "/snmpd", {{".1.3.6.1.4.1.93071.2.36.1.1.5", agent()}});
    const auto walk = snmpd.walk(".1.3.6.1.4.1.93071.2.36.1.1.5");
    EXPECT_NE(walk.out.find(cell("1") + " = INTEGER: 1\n" + cell("2") + " = STRING: \"{"), std::string::npos) << walk.out;
    EXPECT_NE(walk.out.find(cell("10") + " = STRING: \"QV99120047\""), std::string::npos) << walk.out;
    EXPECT_NE(walk.out.find(cell("30") + " = \"\"\n.1.3.6.1.4.1.93071.2.36.1.1.5.2.0 = STRING: \"A.01.00\""),
              std::string::npos) << walk.out;
    EXPECT_EQ(std::count(walk.out.begin(), walk.out.end(), '\n'), 24) << walk.out;

    EXPECT_EQ(snmpd.set(cell("21"), "s", "U12").exitCode, 0);
    EXPECT_NE(snmpd.get({cell("21")}).out.find("STRING: \"U12\""), std::string::npos);
    EXPECT_NE(snmpd.set(cell("7"), "s", "X").exitCode, 0);
}
#endif

} // namespace
