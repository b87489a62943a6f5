#include <gtest/gtest.h>

#include <string>

#include "snmp_command.h"
#include "snmp_oid.h"
#include "snmp_value.h"

namespace {

struct OidCase {
    const char* text;
    bool ok;
    const char* printed;
    int size;
};

TEST(SnmpOidTest, ParsesAndPrintsTable)
{
    const OidCase cases[] = {
        {".1.3.6.1.4.1.93071.2.23.13.1.1.0", true, ".1.3.6.1.4.1.93071.2.23.13.1.1.0", 13},
        {".1.3.", true, ".1.3.0", 3},
        {"", true, "", 0},
        {".0", true, ".0", 1},
        {".4294967295", true, ".4294967295", 1},
        {".4294967296", false, "", 0},
        {"1.3.6", false, "", 0},
        {".1..3", false, "", 0},
        {".1.a", false, "", 0},
        {".1.-3", false, "", 0},
        {".1.+3", false, "", 0},
        {".1 ", false, "", 0},
    };
    for (const OidCase& c : cases) {
        SnmpOid oid;
        EXPECT_EQ(oid.parse(c.text), c.ok) << c.text;
        EXPECT_STREQ(oid.asString(), c.printed) << c.text;
        EXPECT_EQ(oid.idSize(), c.size) << c.text;
    }
}

TEST(SnmpOidTest, OrdersWholeUnsignedRangeAndPrefixes)
{
    const char* ascending[] = {".1", ".1.0", ".1.3", ".1.3.0", ".1.2147483647", ".1.2147483648",
                               ".1.4294967295", ".2"};
    for (size_t i = 0; i + 1 < std::size(ascending); ++i) {
        SnmpOid a(ascending[i]), b(ascending[i + 1]);
        EXPECT_TRUE(a < b) << ascending[i] << " < " << ascending[i + 1];
        EXPECT_FALSE(b < a);
        EXPECT_FALSE(a == b);
    }
    EXPECT_TRUE(SnmpOid(".1.3.6") == SnmpOid(".1.3.6"));
}

TEST(SnmpOidTest, TextIsBoundedAtWholeSubIdentifiers)
{
    SnmpOid oid;
    for (int i = 0; i < 60; ++i) oid.idPushBack(4000000000u);
    const std::string text = oid.asString();
    EXPECT_LE(text.size(), 254u);
    EXPECT_EQ(text.size() % 11, 0u);   // ".4000000000" pieces only, none cut
    EXPECT_STREQ(SnmpOid(".1.2.3").asString(2), ".1.2");
    EXPECT_STREQ(SnmpOid(".1.2.3").asString(0), "");
}

TEST(SnmpValueTest, TypeNamesAreCaseInsensitive)
{
    SnmpValue v;
    EXPECT_STREQ(v.typeAsString(), "*UNDEFINED*");
    EXPECT_STREQ(v.asString(), "*UNDEFINED*");
    const char* names[] = {"counter", "integer", "gauge", "ipaddress", "objectid", "string",
                           "octet", "timeticks"};
    for (int t = 1; t <= 8; ++t) {
        std::string upper = names[t - 1];
        for (char& ch : upper) ch = static_cast<char>(toupper(ch));
        ASSERT_TRUE(v.parseType(upper.c_str()));
        EXPECT_EQ(v.getType(), t);
        EXPECT_STREQ(v.typeAsString(), names[t - 1]);
    }
    EXPECT_TRUE(v.parseType("String"));
    EXPECT_FALSE(v.parseType("objid"));
    EXPECT_FALSE(v.parseType("float"));
    EXPECT_EQ(v.getType(), SNMP_STRING);   // unknown name changes nothing
}

struct ParseCase {
    const char* type;
    const char* in;
    const char* out;
    unsigned length;
};

TEST(SnmpValueTest, ParsesAndPrintsEveryType)
{
    const ParseCase cases[] = {
        {"integer", "-1", "-1", 0},
        {"integer", "42abc", "42", 0},
        {"integer", "x", "0", 0},
        {"counter", "-1", "4294967295", 0},          // snmpd sends unsigned values signed
        {"counter", "4294967295", "4294967295", 0},
        {"gauge", "-2", "4294967294", 0},
        {"timeticks", "100", "100", 0},
        {"ipaddress", "10.1.2.3", "10.1.2.3", 0},
        {"objectid", ".1.3.6", ".1.3.6", 6},
        {"string", "\"a b\"", "a b", 3},
        {"string", "\"", "\"", 1},
        {"string", "x\"", "x\"", 2},
        {"string", "\"a\"b\"", "a\"b", 3},
        {"octet", "de ad", "\xde\xad", 2},            // snmpd's form of a non-printable string
        {"octet", "00 41", "", 2},                    // text stops at the NUL, length does not
        {"octet", "hello", "hello", 5},               // not hex pairs: kept as it came
    };
    for (const ParseCase& c : cases) {
        SnmpValue v;
        ASSERT_TRUE(v.parseType(c.type));
        EXPECT_TRUE(v.parseValue(c.in)) << c.type << " " << c.in;
        EXPECT_STREQ(v.asString(), c.out) << c.type << " " << c.in;
        EXPECT_EQ(v.getLength(), c.length) << c.type << " " << c.in;
    }
}

TEST(SnmpValueTest, RejectsUnreadableAddress)
{
    SnmpValue v(SNMP_READWRITE, SNMP_IPADDRESS);
    EXPECT_FALSE(v.parseValue("10.1.2"));
    EXPECT_FALSE(v.parseValue("1.2.3.256"));
}

TEST(SnmpValueTest, SetValueLengthsIntegersAndCopies)
{
    SnmpValue s(SNMP_READONLY, SNMP_STRING);
    s.setValue("abc", 0);
    EXPECT_EQ(s.getLength(), 4u);   // NUL stored and counted
    EXPECT_STREQ(s.asString(), "abc");
    s.setValue("42", 2);
    EXPECT_EQ(s.asInteger(), 42);

    SnmpValue copy;
    copy = s;
    s.setValue("changed", 7);
    EXPECT_STREQ(copy.asString(), "42");
    EXPECT_EQ(copy.getAccess(), SNMP_READONLY);

    SnmpValue oid(SNMP_READONLY, SNMP_OBJID);
    oid.setValue(".1.3", 4);
    EXPECT_EQ(oid.asInteger(), 0);

    SnmpValue ip(SNMP_READONLY, SNMP_IPADDRESS);
    ip.setValue(0x0100007F);
    EXPECT_STREQ(ip.asString(), "127.0.0.1");
    SnmpValue number(SNMP_READONLY, SNMP_INTEGER);
    EXPECT_FALSE(number.setValue("text", 4));   // numbers own no text
    EXPECT_EQ(number.getLength(), 0u);
}

TEST(SnmpCommandTest, ParsesCommandWords)
{
    const std::pair<const char*, SNMP_COMMAND> cases[] = {
        {"-g", SNMP_GET}, {"-G", SNMP_GET}, {"-n", SNMP_GETNEXT}, {"-N", SNMP_GETNEXT},
        {"-s", SNMP_SET}, {"-S", SNMP_SET}};
    for (const auto& [text, code] : cases) {
        SnmpCommand cmd;
        EXPECT_TRUE(cmd.parse(text));
        EXPECT_TRUE(cmd == code) << text;
    }
    SnmpCommand cmd;
    EXPECT_FALSE(cmd.parse("-x"));
    EXPECT_FALSE(cmd.parse("g"));
    EXPECT_EQ(cmd.asEnum(), SNMP_CMD_UNDEF);
}

} // namespace
