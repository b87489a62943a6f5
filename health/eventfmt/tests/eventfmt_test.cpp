// The event formatter over small description files: key lookup, the token language, the
// template walk into text and into trap variables, and the bounds of the callers' buffers.
#include "event_format_varbind.h"

#include "temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr char kDescriptionPath[] = "/usr/qvserver/etc/evtspec.cfg";

class EventFormat : public ::testing::Test {
protected:
    void description(const std::string& text) { root_.writeFile(kDescriptionPath, text); }

    // {found, value} for the codes, NULL where a pointer is absent.
    std::pair<bool, std::string> key(const unsigned char* type, const unsigned char* trigger,
                                     const unsigned char* offset, const char* name)
    {
        unsigned char t = type ? *type : 0, g = trigger ? *trigger : 0, o = offset ? *offset : 0;
        char value[QVELFMT_VALUE_SIZE] = "untouched";
        unsigned long length = 99;
        const int rc = QVELFMT_ReadKey(type ? &t : nullptr, trigger ? &g : nullptr,
                                       offset ? &o : nullptr, name, value, &length);
        if (rc == QVELFMT_FOUND) EXPECT_EQ(length, std::strlen(value));
        else EXPECT_EQ(rc, QVELFMT_NOT_FOUND);
        return {rc == QVELFMT_FOUND, rc == QVELFMT_FOUND ? value : ""};
    }

    static EvtStruct event(const char* templ, const char* add = "")
    {
        EvtStruct e{};
        e.selEntry.sensorType = 0x0C;
        e.selEntry.eventTrigger = 0x6F;
        e.selEntry.eventData1 = 0xA5;
        e.selEntry.sensorNumber = 7;
        std::strncpy(e.szEventString, templ, sizeof e.szEventString - 1);
        std::strncpy(e.szAddString, add, sizeof e.szAddString - 1);
        return e;
    }

    qv::test::TempRoot root_;
};

const char kNested[] =
    "[SensorType 0x0C]\n"
    "Top=type level\n"
    "[EvtTrigger 0x6F]\n"
    "Mid=trigger level\n"
    "[Offset 0x04]\n"
    "String=wrong offset\n"
    "[Offset 0x05]\n"
    "  Bare line without the sign Lone\n"
    "String=  Memory %1 failed\r\n"
    "Varbind1=sn\n"
    "   [Comment-like bracket]\n"
    "Later=unreachable\n"
    "[SensorType 0x0D]\n"
    "[EvtTrigger 0x6F]\n"
    "[Offset 0x05]\n"
    "String=other type\n";

TEST_F(EventFormat, ReadKeyWalksNestedSectionsBySubstring)
{
    description(kNested);
    const unsigned char type = 0x0C, trigger = 0x6F, offset = 0xA5, other = 0x0D;
    struct Case {
        const unsigned char *type, *trigger, *offset;
        const char* key;
        bool found;
        std::string value;
    } cases[] = {
        {&type, &trigger, &offset, "String", true, "  Memory %1 failed"},  // blanks kept, CR cut
        {&type, &trigger, &offset, "ing", true, "  Memory %1 failed"},     // substring match
        {&type, &trigger, &offset, "string", false, ""},                   // case-sensitive
        {&type, &trigger, &offset, "Varbind1", true, "sn"},
        {&type, &trigger, &offset, "Lone", false, ""},                     // key line without '='
        {&type, &trigger, &offset, "Later", false, ""},                    // after a '[' line
        {&type, &trigger, nullptr, "Mid", true, "trigger level"},
        {&type, nullptr, nullptr, "Top", true, "type level"},
        {&type, nullptr, nullptr, "Mid", false, ""},                       // ends at [EvtTrigger
        {&other, &trigger, &offset, "String", true, "other type"},
        {nullptr, &trigger, &offset, "String", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(key(c.type, c.trigger, c.offset, c.key), std::make_pair(c.found, c.value));
    }
}

TEST_F(EventFormat, ReadKeyWithoutTheFileFindsNothing)
{
    const unsigned char type = 0x0C;
    EXPECT_FALSE(key(&type, nullptr, nullptr, "String").first);
}

TEST_F(EventFormat, EveryTokenFormAsTextAndAsTrapVariable)
{
    struct Case {
        const char* token;
        const char* add;
        uint8_t data2, data3;
        std::string text;
        bool integer;   // the trap variable is an INTEGER holding text's number
    } cases[] = {
        {"b2", "", 0x1F, 0, "31", true},
        {"B2X", "", 0x1F, 0, "1F", true},
        {"b2m11110000", "", 0x1F, 0, "1", true},
        {"b2m1110000x", "", 0xDF, 0, "5", true},
        {"b2u3l", "", 0x01, 0x02, "258", true},
        {"b2u3lx", "", 0x01, 0x02, "102", true},
        {"b2u3", "", 0x01, 0x02, "[Bad Format]", false},
        {"b9", "", 0x01, 0x02, "0", true},
        {"b3m" "1111111111111111111111111111111111111110", "", 0, 0xFF, "127", true},
        {"sn", "", 0, 0, "7", true},
        {"s2", "disk!3!ok", 0, 0, "3", false},
        {"s4", "disk!3!ok", 0, 0, "[No Data]", false},
        {"s0", "disk!3!ok", 0, 0, "[Bad Format]", false},
        {"s", "disk!3!ok", 0, 0, "[Bad Format]", false},
        {"s2x", "a!26", 0, 0, "1A", false},
        {"s2i", "a!026", 0, 0, "26", false},
        {"s258", "a!b", 0, 0, "b", false},   // 258 modulo 256
        {"s1", "first\nsecond", 0, 0, "first", false},
        {"cr", "", 0, 0, "ConvertedThreshold", false},
        {"CT", "", 0, 0, "ConvertedThreshold", false},
        {"ls", "", 0, 0, "[No Information]", false},
        {"zz", "", 0, 0, "[Bad Format]", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.token);
        EvtStruct e = event("", c.add);
        e.selEntry.eventData2 = c.data2;
        e.selEntry.eventData3 = c.data3;
        char text[QVELFMT_TOKEN_TEXT_SIZE] = {};
        QVELFMT_GetToken(GetTokenString, c.token, &e, text);
        EXPECT_EQ(text, c.text);

        CAttrValue var;
        QVELFMT_GetToken(GetTokenVarbind, c.token, &e, &var);
        if (c.integer) {
            ASSERT_EQ(var.asnType(), ASN_TAG_INTEGER);
            EXPECT_EQ(var.getInt32(), std::stol(c.text, nullptr, c.text == "1F" || c.text == "102" ? 16 : 10));
        } else {
            ASSERT_EQ(var.asnType(), ASN_TAG_OCTET_STRING);
            EXPECT_EQ(std::string(static_cast<const char*>(var.getVal()), var.getLen()), c.text);
        }
    }
}

TEST_F(EventFormat, StringTokenCutsTheEventsOwnAddString)
{
    EvtStruct e = event("", "one!two\r\nthree");
    char text[QVELFMT_TOKEN_TEXT_SIZE] = {};
    QVELFMT_GetToken(GetTokenString, "s2", &e, text);
    EXPECT_STREQ(text, "two");
    EXPECT_STREQ(e.szAddString, "one!two");
}

TEST_F(EventFormat, EmptyTokenWritesNothing)
{
    EvtStruct e = event("");
    char text[QVELFMT_TOKEN_TEXT_SIZE] = "x";
    QVELFMT_GetToken(GetTokenString, "", &e, text);
    EXPECT_STREQ(text, "");
    CAttrValue var;
    QVELFMT_GetToken(GetTokenVarbind, "", &e, &var);
    EXPECT_EQ(var.getVal(), nullptr);
}

const char kTemplateDescriptions[] =
    "[SensorType 0x0C]\n[EvtTrigger 0x6F]\n[Offset 0x05]\n"
    "Varbind1=sn\nVarbind2=s1\nVarbind3=b2x\n";

TEST_F(EventFormat, TemplateWalkIntoText)
{
    description(kTemplateDescriptions);
    struct Case {
        const char* templ;
        std::string text;
    } cases[] = {
        {"Fan %1 failed", "Fan 7 failed"},
        {"%1 on %2%", "7 on disk%"},
        {"%3 and %4", "2A and [No Data]"},
        {"100%% or %9 or %0", "100%% or %9 or %0"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.templ);
        EvtStruct e = event(c.templ, "disk!x");
        e.selEntry.eventData2 = 0x2A;
        char out[256] = "";
        EXPECT_EQ(QVELFMT_FormatEventToString(&e, out, sizeof out), 0);
        EXPECT_EQ(out, c.text);
    }
}

TEST_F(EventFormat, TextStaysWithinTheCallersCapacity)
{
    description(kTemplateDescriptions);
    EvtStruct e = event("%2 %2 %2", std::string(200, 'a').c_str());
    char out[64] = "head:";
    std::memset(out + 6, '#', sizeof out - 6);
    EXPECT_EQ(QVELFMT_FormatEventToString(&e, out, 32), 0);
    EXPECT_EQ(std::string(out), "head:" + std::string(26, 'a'));
    EXPECT_EQ(out[40], '#');
}

std::string textOf(const CAttrValue& var)
{
    return var.getVal() ? std::string(static_cast<const char*>(var.getVal()), var.getLen()) : "";
}

TEST_F(EventFormat, TemplateWalkIntoTrapVariables)
{
    description(kTemplateDescriptions);
    EvtStruct e = event("Fan %1 on %2, %4 %", "disk");
    CAttrValue vars[8];
    int count = 0;
    EXPECT_EQ(QVELFMT_FormatEventToVarbind(&e, vars, 8, &count), 0);
    ASSERT_EQ(count, 5);
    EXPECT_EQ(vars[0].asnType(), ASN_TAG_INTEGER);
    EXPECT_EQ(vars[0].getInt32(), 7);
    EXPECT_EQ(textOf(vars[1]), "disk");
    EXPECT_EQ(vars[2].getVal(), nullptr);
    EXPECT_EQ(textOf(vars[3]), "[No Data]");
    EXPECT_EQ(textOf(vars[4]), "Fan %1 on %2, %4 %");
}

TEST_F(EventFormat, TrapVariablesStayWithinCapacityAndTextComesLast)
{
    description(kTemplateDescriptions);
    struct Case {
        const char* templ;
        int capacity;
        int count;
    } cases[] = {
        {"%1%2%3%4%5%6%7%8", 8, 8},  // %8 dropped: the text takes entry 8
        {"%3 %1 %1", 8, 4},          // text after the highest value, never on one
        {"%2", 1, 1},                // no room for values at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.templ);
        EvtStruct e = event(c.templ, "disk");
        CAttrValue vars[9];
        int count = 0;
        EXPECT_EQ(QVELFMT_FormatEventToVarbind(&e, vars, c.capacity, &count), 0);
        ASSERT_EQ(count, c.count);
        EXPECT_EQ(textOf(vars[count - 1]), c.templ);
        EXPECT_EQ(vars[c.capacity].getVal(), nullptr);
    }
}

} // namespace
