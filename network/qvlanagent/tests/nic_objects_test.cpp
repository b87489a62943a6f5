// The object table, the interface getters with their baselines, and the parameter scalars.
#include "agent_frontend.h"
#include "nic_groups.h"
#include "nic_object_table.h"
#include "nic_test_fixture.h"
#include "profile.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::string full(const std::string& relative) { return kNicSubtree + relative; }

TEST(NicObjectTable, TwoHundredTwentyObjectsInStrictWalkOrder)
{
    const std::vector<NicObjectSpec> specs = nicObjectSpecs();
    ASSERT_EQ(specs.size(), 220u);
    for (size_t i = 1; i < specs.size(); ++i)
        EXPECT_TRUE(SnmpOid(specs[i - 1].oid.c_str()) < SnmpOid(specs[i].oid.c_str()))
            << specs[i - 1].oid << " then " << specs[i].oid;
    EXPECT_EQ(specs.front().oid, full(".1.1.1.1.1"));
    EXPECT_EQ(specs.back().oid, full(".9.1.1.10.1"));
}

TEST(NicObjectTable, GroupBoundariesTypesAndAccess)
{
    std::map<std::string, const NicObjectSpec*> byOid;
    std::map<char, int> perGroup;
    const std::vector<NicObjectSpec> specs = nicObjectSpecs();
    for (const NicObjectSpec& s : specs) {
        byOid[s.oid] = &s;
        const char group = s.oid[std::string(kNicSubtree).size() + 1];
        ++perGroup[group];
        EXPECT_EQ(s.access, group == '7' ? SNMP_READWRITE : SNMP_READONLY) << s.oid;
        EXPECT_EQ(s.set != nullptr, group == '7') << s.oid;
        EXPECT_NE(s.get, nullptr) << s.oid;
    }
    const std::map<char, int> expected{{'1', 33}, {'2', 27}, {'3', 4}, {'4', 12}, {'5', 2},
                                       {'6', 3},  {'7', 123}, {'8', 6}, {'9', 10}};
    EXPECT_EQ(perGroup, expected);

    struct Row {
        const char* oid;
        SNMP_OBJECT_TYPE kind;
        SNMP_TYPE type;
        int levels;
    };
    const Row rows[] = {
        {".1.1.1.9.1", SNMP_TABULAR, SNMP_OCTET_STRING, 1},
        {".1.1.1.33.1", SNMP_TABULAR, SNMP_INTEGER, 1},
        {".2.1.1.2.1", SNMP_TABULAR, SNMP_COUNTER, 1},
        {".2.1.1.3.1", SNMP_TABULAR, SNMP_INTEGER, 1},
        {".2.1.1.27.1", SNMP_TABULAR, SNMP_INTEGER, 1},
        {".3.1.1.4.1", SNMP_TABULAR, SNMP_STRING, 1},
        {".4.1.1.12.1", SNMP_TABULAR, SNMP_INTEGER, 1},
        {".5.1.0", SNMP_SCALAR, SNMP_INTEGER, 0},
        {".5.2.0", SNMP_SCALAR, SNMP_INTEGER, 0},
        {".6.1.1.3.1.1", SNMP_TABULAR, SNMP_STRING, 2},
        {".7.1.1.0", SNMP_SCALAR, SNMP_INTEGER, 0},
        {".7.1.5.0", SNMP_SCALAR, SNMP_STRING, 0},
        {".7.1.8.0", SNMP_SCALAR, SNMP_STRING, 0},
        {".7.1.38.0", SNMP_SCALAR, SNMP_STRING, 0},
        {".7.1.39.0", SNMP_SCALAR, SNMP_INTEGER, 0},
        {".7.1.40.0", SNMP_SCALAR, SNMP_INTEGER, 0},
        {".7.1.67.0", SNMP_SCALAR, SNMP_STRING, 0},
        {".7.1.75.0", SNMP_SCALAR, SNMP_INTEGER, 0},
        {".7.2.15.0", SNMP_SCALAR, SNMP_STRING, 0},
        {".7.3.18.0", SNMP_SCALAR, SNMP_STRING, 0},
        {".7.4.12.0", SNMP_SCALAR, SNMP_STRING, 0},
        {".7.5.3.0", SNMP_SCALAR, SNMP_STRING, 0},
        {".8.1.1.6.1", SNMP_TABULAR, SNMP_INTEGER, 1},
    };
    for (const Row& row : rows) {
        const auto it = byOid.find(full(row.oid));
        ASSERT_NE(it, byOid.end()) << row.oid;
        EXPECT_EQ(it->second->kind, row.kind) << row.oid;
        EXPECT_EQ(it->second->type, row.type) << row.oid;
        EXPECT_EQ(it->second->indexLevels, row.levels) << row.oid;
    }
    for (const char* absent : {".7.1.76.0", ".7.2.16.0", ".7.5.4.0", ".1.1.1.34.1"})
        EXPECT_EQ(byOid.count(full(absent)), 0u) << absent;
}

// The objects registered once; every test builds the collections in its own root.
class NicObjects : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static bool registered = loadObjects();
        (void)registered;
    }
    NicObjects() { buildNicCollections(); }
    ~NicObjects() override { releaseParameterGroup(); }

    void rebuild() { buildNicCollections(); }

    // The value as the agent prints it, or "none" when there is no instance.
    static std::string get(const std::string& relative)
    {
        SnmpObject* object = objects.find(SnmpOid(full(relative).c_str()));
        if (object == nullptr) return "none";
        const SnmpValue& v = object->getValue();
        if (v.getType() == SNMP_OCTET_STRING)
            return bin2asc(reinterpret_cast<const unsigned char*>(v.bytes().data()), v.getLength());
        return v.asString();
    }
    static std::string next(const std::string& relative)
    {
        SnmpObject* object = objects.findNext(SnmpOid(full(relative).c_str()));
        return object ? std::string(object->getOid().asString()).substr(std::string(kNicSubtree).size())
                      : "none";
    }
    // The error text of a SET (empty when it succeeded), or "none" without an instance.
    static std::string set(const std::string& relative, const char* type, const char* text)
    {
        SnmpObject* object = objects.find(SnmpOid(full(relative).c_str()));
        if (object == nullptr) return "none";
        SnmpValue value;
        value.parseType(type);
        value.parseValue(text);
        return object->setValue(value) ? "" : (object->getError().empty() ? "failed" : object->getError());
    }

    lantest::NicRoot nic{2};
};

TEST_F(NicObjects, DriverConfigurationColumnsAndLittleEndianOctets)
{
    EXPECT_EQ(get(".1.1.1.1.2"), "2");
    EXPECT_EQ(get(".1.1.1.1.3"), "none");
    EXPECT_EQ(get(".1.1.1.5.1"), "00:60:B0:0A:1B:2C") << "hardware address text";
    EXPECT_EQ(get(".1.1.1.9.1"), " 00 10 00 00");
    EXPECT_EQ(get(".1.1.1.10.1"), "");
    EXPECT_EQ(get(".1.1.1.11.2"), "11");
    EXPECT_EQ(get(".1.1.1.13.1"), "3");
    EXPECT_EQ(get(".1.1.1.15.1"), " 00 00 0D 00");
    EXPECT_EQ(get(".1.1.1.26.1"), "");
    // Column by column, every row of a column before the next column.
    EXPECT_EQ(next(".1.1.1.1.1"), ".1.1.1.1.2");
    EXPECT_EQ(next(".1.1.1.1.2"), ".1.1.1.2.1");
    EXPECT_EQ(get(".4.1.1.11.2"), "12");
    EXPECT_EQ(get(".4.1.1.12.1"), "7");
    EXPECT_EQ(get(".5.1.0"), "2");
    EXPECT_EQ(get(".3.1.1.3.2"), "0");
    EXPECT_EQ(get(".3.1.1.4.2"), "");
    EXPECT_EQ(get(".9.1.1.1.2"), "2");
}

TEST_F(NicObjects, TotalsRecordBaselinesAndDeltasCountModulo32Bits)
{
    EXPECT_EQ(get(".2.1.1.3.1"), "40") << "no baseline yet: the counter itself";
    EXPECT_EQ(get(".2.1.1.2.1"), "40");
    EXPECT_NE(nic.settings().find("TotalTxPacket/eth0=40\n"), std::string::npos) << nic.settings();
    EXPECT_EQ(get(".2.1.1.3.1"), "0");
    EXPECT_EQ(get(".2.1.1.15.2"), "500");
    EXPECT_EQ(get(".2.1.1.16.2"), "0");

    // Counters reset below the baseline: a negative delta.
    nic.root.writeFile("/proc/net/dev", std::string(lantest::kProcNetDev).replace(
                                            std::string(lantest::kProcNetDev).find("2000 40"), 7, "2000 25"));
    EXPECT_EQ(get(".2.1.1.3.1"), "-15");

    // A baseline above 2^31 still subtracts as the unsigned number it is.
    WritePrivateProfileString("Utilization", "TotalRxPacket/eth1", "4294967290",
                              nic.root.at("/usr/qvserver/etc/vknicagt.cfg").c_str());
    EXPECT_EQ(get(".2.1.1.5.2"), "10");
}

TEST_F(NicObjects, FrameTypeTableHasOneGroupOfTheEthernetInterfaces)
{
    EXPECT_EQ(next(".6"), ".6.1.1.1.1.1");
    EXPECT_EQ(next(".6.1.1.1.1.1"), ".6.1.1.1.1.2");
    EXPECT_EQ(next(".6.1.1.1.1.2"), ".6.1.1.2.1.1");
    EXPECT_EQ(get(".6.1.1.2.1.2"), "2");
    EXPECT_EQ(get(".6.1.1.3.1.2"), "Ethernet 802.3");
    EXPECT_EQ(get(".6.1.1.3.2.1"), "none");
    EXPECT_EQ(get(".6.1.1.3.1.3"), "none");
}

TEST_F(NicObjects, HostWithoutEthernetInterfacesWalksToTheScalars)
{
    nic.root.writeFile("/proc/net/dev", "Inter-|\n face |\n    lo: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n");
    rebuild();
    EXPECT_EQ(next(""), ".5.1.0");
    EXPECT_EQ(get(".5.1.0"), "0");
    // No daemon, no segment: the integer parameters are absent, the first Pct reads 0.00.
    EXPECT_EQ(next(".5.2.0"), ".7.1.5.0");
    EXPECT_EQ(get(".1.1.1.1.1"), "none");
    EXPECT_EQ(get(".6.1.1.1.1.1"), "none");
}

TEST_F(NicObjects, ParametersWithoutTheDaemonFailButPercentagesRead)
{
    EXPECT_EQ(get(".7.1.1.0"), "none");
    EXPECT_EQ(get(".7.1.5.0"), "0.00");
    EXPECT_EQ(set(".7.1.5.0", "string", "40"), "failed");
    EXPECT_EQ(get(".7.1.9.0"), "0") << "placeholders answer regardless";
}

TEST_F(NicObjects, ParameterSetRules)
{
    nic.createSegment();
    rebuild();
    struct Case {
        const char* oid;
        const char* type;
        const char* value;
        const char* error;
        const char* readBack;
    };
    const Case cases[] = {
        {".7.1.1.0", "integer", "10", "", "10"},
        {".7.1.2.0", "integer", "0", "", "0"},
        {".7.1.6.0", "integer", "-3", "", "-3"},
        {".7.1.8.0", "string", "40", "", "40.00"},
        {".7.1.8.0", "string", "12.75", "", "12.00"},
        {".7.1.5.0", "string", "x25", "", "0.00"},
        {".7.1.5.0", "string", " -7abc", "", "-7.00"},
        {".7.1.39.0", "integer", "-1", "", "-1"},
        {".7.1.40.0", "integer", "3", "", "3"},
        {".7.2.1.0", "integer", "7", "", "0"},
        {".7.1.10.0", "integer", "9", "", "0"},
        {".7.1.11.0", "string", "9", "", ""},
        {".7.1.3.0", "string", "5", "wrong-type", "0"},
        {".7.1.5.0", "integer", "5", "wrong-type", "-7.00"},
        {".5.1.0", "integer", "5", "not-writable", "2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(set(c.oid, c.type, c.value), c.error) << c.oid << " " << c.value;
        EXPECT_EQ(get(c.oid), c.readBack) << c.oid << " " << c.value;
    }
    // Reading a count threshold records the error counts as the daemon's delta baselines.
    EXPECT_NE(nic.settings().find("TxErrorCount/eth1=12\n"), std::string::npos) << nic.settings();
    releaseParameterGroup();   // the end of the agent process writes the settings back
    const std::string text = nic.settings();
    EXPECT_NE(text.find("TrapPollTime=10\n"), std::string::npos) << text;
    EXPECT_NE(text.find("TxError=-3 0 12.00\n"), std::string::npos) << text;
}

} // namespace
