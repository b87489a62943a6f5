// Translating traps into event records: identifiers, every key's refusal, variable references
// and the additional text, over PDUs built here.
#include "trap_translate.h"

#include "obj_id.h"
#include "temp_root.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

std::vector<oid> oidOf(const std::string& dotted)
{
    std::vector<oid> out;
    size_t at = dotted[0] == '.' ? 1 : 0;
    while (at < dotted.size()) {
        const size_t dot = dotted.find('.', at);
        out.push_back(std::stoul(dotted.substr(at, dot - at)));
        if (dot == std::string::npos) break;
        at = dot + 1;
    }
    return out;
}

struct Binding {
    std::string name;
    u_char type;
    std::string value;   // text, decimal number, dotted OID or dotted IP address
};

// A version 1 trap PDU with the bindings in order; freed by the test fixture.
netsnmp_pdu* trapPdu(const std::vector<Binding>& bindings)
{
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_TRAP);
    for (const Binding& b : bindings) {
        const std::vector<oid> name = oidOf(b.name);
        if (b.type == ASN_OCTET_STR) {
            snmp_pdu_add_variable(pdu, name.data(), name.size(), b.type, b.value.data(), b.value.size());
        } else if (b.type == ASN_OBJECT_ID) {
            const std::vector<oid> value = oidOf(b.value);
            snmp_pdu_add_variable(pdu, name.data(), name.size(), b.type, value.data(), value.size() * sizeof(oid));
        } else if (b.type == ASN_IPADDRESS) {
            const std::vector<oid> parts = oidOf(b.value);
            u_char ip[4] = {u_char(parts[0]), u_char(parts[1]), u_char(parts[2]), u_char(parts[3])};
            snmp_pdu_add_variable(pdu, name.data(), name.size(), b.type, ip, 4);
        } else if (b.type == ASN_NULL) {
            snmp_pdu_add_variable(pdu, name.data(), name.size(), b.type, nullptr, 0);
        } else {
            long v = std::stol(b.value);
            snmp_pdu_add_variable(pdu, name.data(), name.size(), b.type, &v, sizeof v);
        }
    }
    return pdu;
}

const std::string E = ".1.3.6.1.4.1.93071.2.23";

// The Part's trap: binding 1 a text, 2 the identifier ending in 12, 3 and 4 numbers 3 and 5.
std::vector<Binding> volumeTrap(const std::string& text = "/home")
{
    return {{E + ".5.1.0", ASN_OCTET_STR, text},
            {E + ".5.2.0", ASN_OBJECT_ID, E + ".0.12"},
            {E + ".5.3.0", ASN_INTEGER, "3"},
            {E + ".5.4.0", ASN_INTEGER, "5"}};
}

const std::map<std::string, std::string> kGoodSection = {
    {"RecordType", "2"},  {"SELVersion", "4"},   {"GeneratorID", "33"}, {"GeneratorLun", "1"},
    {"SensorType", "210"}, {"SensorNumber", "9"}, {"EventTrigger", "7"}, {"EventData1", "33"},
    {"EventData2", "v1:4, v2:4"}, {"EventData3", "v2"}, {"AdditionalInfo", "v1, v3"},
};

class ProcessTrapTest : public ::testing::Test {
protected:
    void writeSection(const std::map<std::string, std::string>& keys, const std::string& name = "1.3.6.1.4.1.93071.2.23.12")
    {
        std::string text = "[" + name + "]\n";
        for (const auto& [k, v] : keys)
            if (!v.empty()) text += k + "=" + v + "\n";
        root_.writeFile(kTrapSectionFile, text);
    }
    bool process(const std::vector<Binding>& bindings)
    {
        netsnmp_pdu* pdu = trapPdu(bindings);
        const bool accepted = ProcessTrap(&data_, pdu, nullptr);
        snmp_free_pdu(pdu);
        return accepted;
    }
    std::string log() const { return root_.exists("/log") ? root_.readFile("/log") : ""; }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    _TData data_{};
};

TEST_F(ProcessTrapTest, AWholeSectionBuildsTheRecordAndItsText)
{
    writeSection(kGoodSection);
    ASSERT_TRUE(process(volumeTrap())) << log();
    const Sel& r = data_.SELdata;
    const uint8_t expected[] = {2, 4, 33, 1, 210, 9, 7, 33, 0x35, 5};
    const uint8_t got[] = {r.recordType, r.eventVersion, r.generatorId, r.generatorLun, r.sensorType,
                           r.sensorNumber, r.eventTrigger, r.eventData1, r.eventData2, r.eventData3};
    EXPECT_EQ(std::vector<uint8_t>(got, got + 10), std::vector<uint8_t>(expected, expected + 10));
    EXPECT_STREQ(data_.additionalInfo, "/home!3");
    EXPECT_NE(log().find("TRAP ACCEPTED! trap=1.3.6.1.4.1.93071.2.23.12"), std::string::npos) << log();
}

TEST_F(ProcessTrapTest, EachKeyRefusesWithItsOwnMessage)
{
    struct Case {
        const char* key;
        const char* value;   // "" removes the key
        const char* message; // nullptr: accepted
    };
    const Case cases[] = {
        {"SELVersion", "", "Bad SEL Version, TRAP NOT ACCEPTED!"},
        {"GeneratorID", "255", "Bad Generator Id, TRAP NOT ACCEPTED!"},
        {"GeneratorLun", "", "Bad Generator Lun, TRAP NOT ACCEPTED!"},
        {"SensorType", "511", "Bad Sensor Type, TRAP NOT ACCEPTED!"},
        {"SensorNumber", "", "Bad Sensor Number, TRAP NOT ACCEPTED!"},
        {"EventTrigger", "", "Bad Event Trigger, TRAP NOT ACCEPTED!"},
        {"EventData1", "255", "Bad Event Data1, TRAP NOT ACCEPTED!"},
        {"EventData1", "256", nullptr},   // one byte: 0
        {"EventData2", "0", "Bad Event Data2, TRAP NOT ACCEPTED!"},
        {"EventData2", "", "Bad Event Data2, TRAP NOT ACCEPTED!"},
        {"EventData2", "v1:3,v2:3,v3:3", "Bad Event Data2, TRAP NOT ACCEPTED!"},
        {"EventData2", "v12345678", "Bad Event Data2, TRAP NOT ACCEPTED!"},
        {"EventData2", "v1,,v2", "Bad Event Data2, TRAP NOT ACCEPTED!"},
        {"EventData2", "v9", "Bad Event Data2, TRAP NOT ACCEPTED!"},   // no binding 11
        {"EventData3", "x9", "Bad Event Data3, TRAP NOT ACCEPTED!"},
        {"AdditionalInfo", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        auto keys = kGoodSection;
        keys[c.key] = c.value;
        writeSection(keys);
        root_.writeFile("/log", "");
        EXPECT_EQ(process(volumeTrap()), c.message == nullptr);
        if (c.message) {
            EXPECT_NE(log().find(std::string(c.message) + " trap=1.3.6.1.4.1.93071.2.23.12\n"), std::string::npos) << log();
        }
    }
    auto keys = kGoodSection;
    keys["AdditionalInfo"] = "";
    writeSection(keys);
    root_.writeFile("/log", "");
    EXPECT_TRUE(process(volumeTrap()));
    EXPECT_NE(log().find("No Addtional Info for the trap=1.3.6.1.4.1.93071.2.23.12\n"), std::string::npos);
    EXPECT_STREQ(data_.additionalInfo, "");
}

TEST_F(ProcessTrapTest, UnnamedTrapsAndMissingSectionsAreDroppedSilently)
{
    writeSection(kGoodSection);
    EXPECT_FALSE(process({}));
    EXPECT_FALSE(process({{E + ".5.1.0", ASN_OCTET_STR, "x"}}));                                   // no binding 2
    EXPECT_FALSE(process({{E + ".5.1.0", ASN_OCTET_STR, "x"}, {E + ".5.2.0", ASN_INTEGER, "12"}}));   // no '.'
    auto keys = kGoodSection;
    keys["RecordType"] = "";
    writeSection(keys);
    EXPECT_FALSE(process(volumeTrap()));
    EXPECT_EQ(log(), "");
}

TEST_F(ProcessTrapTest, IdentifiersOfTheEnterpriseAndOthers)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1.3.6.1.4.1.93071.2.23", "1.3.6.1.4.1.93071.2.23.12"},
        {"1.3.6.1.4.1.93071.2.23.5.1.0", "1.3.6.1.4.1.93071.2.23.12"},
        {"1.3.6.1.4.1.32.1.0", "1.3.6.1.4.1.93071.2.23.12"},
        {"1.3.6.1.4.1.93071.2.2", "1.3.6.1.4.1.93071.2.2.12"},
        {"1.3.6.1.4.1.9.1", "1.3.6.1.4.1.9.1.12"},
    };
    for (const auto& [in, out] : cases) {
        CObjId id;
        id.fromStr(in);
        EXPECT_EQ(ConvertTVKTrapId(id, 12), 0);
        id.genStr();
        EXPECT_STREQ(id.str(), out) << in;
    }
}

TEST_F(ProcessTrapTest, ValuesRenderByTypeAndNeverStartALine)
{
    const std::string forged = "ok\n02 00 00 00 00 00 00 00 21 00 02 d2 00 07 21 5b 55 ";
    netsnmp_pdu* pdu = trapPdu({{E + ".1", ASN_INTEGER, "-7"},
                                {E + ".2", ASN_OCTET_STR, forged},
                                {E + ".3", ASN_OBJECT_ID, ".1.3.6.1.2"},
                                {E + ".4", ASN_IPADDRESS, "10.1.2.3"},
                                {E + ".5", ASN_NULL, ""},
                                {E + ".6", ASN_OCTET_STR, std::string(200, 'z')},
                                {E + ".7", ASN_GAUGE, "42"}});
    char name[128], value[kTrapTextMax + 1];
    const std::pair<int, std::string> cases[] = {{1, "-7"}, {3, "1.3.6.1.2"}, {4, "10.1.2.3"},
                                                 {6, std::string(79, 'z')}, {7, "42"}};
    for (const auto& [n, text] : cases) {
        ASSERT_TRUE(SnmpGetVb(pdu, n, name, sizeof name, value, sizeof value)) << n;
        EXPECT_EQ(value, text) << n;
    }
    ASSERT_TRUE(SnmpGetVb(pdu, 2, name, sizeof name, value, sizeof value));
    EXPECT_EQ(std::string(value).find('\n'), std::string::npos);
    EXPECT_STREQ(name, "1.3.6.1.4.1.93071.2.23.2");
    EXPECT_FALSE(SnmpGetVb(pdu, 5, name, sizeof name, value, sizeof value));   // unknown type
    EXPECT_FALSE(SnmpGetVb(pdu, 8, name, sizeof name, value, sizeof value));
    EXPECT_EQ(SnmpCountVbl(pdu), 7);
    snmp_free_pdu(pdu);
}

} // namespace
