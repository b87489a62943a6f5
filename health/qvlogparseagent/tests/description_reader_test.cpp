// The parse-log agent's description reader: its items, header numbers, the section walk for
// one record, and files it must survive.
#include "description_reader.h"
#include "event_sections.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using logparse::EventDescType;
using logparse::GetEventDesc;
using logparse::ParseFileClass;
using logparse::ParseItem;

struct Item {
    std::string name;
    std::string value;
    bool hasValue;
    bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Item& i)
{
    return out << '{' << i.name << '|' << i.value << '|' << i.hasValue << '}';
}

class DescriptionReader : public ::testing::Test {
protected:
    // A reader over `text`, opened.
    ParseFileClass& reader(const std::string& text)
    {
        root_.writeFile("/evtspec.cfg", text);
        parser_.StartParse(root_.at("/evtspec.cfg").c_str());
        return parser_;
    }
    std::vector<Item> items(const std::string& text)
    {
        ParseFileClass& p = reader(text);
        std::vector<Item> out;
        ParseItem item;
        EXPECT_EQ(p.RestartParse(), 0);
        while (p.GetNextThing(item))
            out.push_back({std::string(item.name), std::string(item.value), item.hasValue});
        return out;
    }

    qv::test::TempRoot root_;
    ParseFileClass parser_;
};

TEST_F(DescriptionReader, ItemsFollowTheAgentsLineRules)
{
    const std::vector<Item> got = items(
        "# comment\n"
        "  ; another comment\n"
        "[SensorType 0x0C]  trailing words\n"
        "Key1   =  value with blanks  \t\n"
        "String= Memory error # not a comment\n"
        "Note=before ; after\n"
        "Cont=one \\\n two\n"
        "Bare\n"
        "Joined=x\n"
        "[Header\nacross] rest\n"
        "[]\n"
        "=orphan\n"
        "Last=");
    const std::vector<Item> want = {
        {"SensorType 0x0C", "", false},
        {"Key1", "  value with blanks", true},
        {"String", " Memory error # not a comment", true},
        {"Note", "before", true},
        {"Cont", "one \\\n two", true},
        {"Bare\nJoined", "x", true},
        {"Header\nacross", "", false},
        {"Last", "", true},
    };
    EXPECT_EQ(got, want);
}

TEST(SectionRules, ExtractValueReadsEveryBase)
{
    const struct {
        const char* text;
        unsigned long value;
    } cases[] = {
        {"SensorType 0x0C", 12}, {"Offset 014", 12}, {"EvtTrigger 12", 12}, {"12", 12},
        {"sensortype\t0X0c", 12}, {"SensorType", evtspec::NoValue}, {"", evtspec::NoValue},
        {"Offset -7", 7}, {"Offset 0x0Czz", 12},
        // At most 15 characters of a number are read.
        {"Offset 0x123456789ABCDEF0", 0x123456789ABCDUL},
        {"Offset 1234567890123456789", 123456789012345UL},
    };
    for (const auto& c : cases) EXPECT_EQ(evtspec::ExtractValue(c.text), c.value) << c.text;
    EXPECT_TRUE(evtspec::FSameStr("SensorType", "sensortype 0x01"));
    EXPECT_FALSE(evtspec::FSameStr("SensorType", "Sensor"));
    EXPECT_EQ(evtspec::VarBindNumber("VarBind3", '0'), 3);
    EXPECT_EQ(evtspec::VarBindNumber("VarBind0", '1'), -1);
    EXPECT_EQ(evtspec::VarBindNumber("VarBind", '0'), -1);
}

Sel sel(uint8_t type, uint8_t trigger, uint8_t data1, uint8_t version = 3)
{
    Sel r{};
    r.recordType = 2;
    r.eventVersion = version;
    r.sensorType = type;
    r.eventTrigger = trigger;
    r.eventData1 = data1;
    return r;
}

constexpr char kSections[] =
    "[SensorType 0x01]\n"
    "[EvtTrigger 0x01]\n"
    "[Offset 0x00]\n"
    "String=Temperature low\n"
    "Severity=2\n"
    "TrapID=1.3.6.1.4.1.93071.2.23.256\n"
    "SymbolicName=TempLow\n"
    "VarBind0=sn\n"
    "VarBind3=b1\n"
    "VarBindX=ignored\n"
    "[Offset 0x03]\n"
    "Severity=3\n"
    "[EvtTrigger 0x02]\n"
    "[Offset 0x03]\n"
    "Severity=wrong trigger\n"
    "[SensorType 0x0C]\n"
    "[EvtTrigger 0x6F]\n"
    "[Offset 0x03]\n"
    "String=Memory\n"
    "severity=Critical\n"
    "[Offset 0x04]\n"
    "HelpID=5\n"
    "[SensorType]\n"
    "[EvtTrigger 0x6F]\n"
    "[Offset 0x05]\n"
    "Severity=never\n";

TEST_F(DescriptionReader, LooksUpBySensorTriggerAndOffsetNibble)
{
    ParseFileClass& p = reader(kSections);
    const struct {
        Sel record;
        int good;
        const char* severity;
    } cases[] = {
        {sel(0x0C, 0x6F, 0x83), 1, "Critical"},       // offset nibble of 0x83
        {sel(0x01, 0x01, 0x50), 1, "2"},              // a later look-up starts at the top again
        {sel(0x01, 0x01, 0xA3), 1, "3"},
        {sel(0x01, 0x02, 0x03), 1, "wrong trigger"},
        {sel(0x0C, 0xE7, 0x03, 2), 1, "Critical"},    // revision 2: trigger 0xE7 is 0x6F
        {sel(0x0C, 0x6F, 0x04), 1, ""},               // a key but no Severity
        {sel(0x0C, 0x6F, 0x05), 0, ""},               // [SensorType] matches no type
        {sel(0x0C, 0x01, 0x03), 0, ""},
        {sel(0x02, 0x01, 0x00), 0, ""},
    };
    for (const auto& c : cases) {
        EventDescType desc;
        ASSERT_EQ(GetEventDesc(p, c.record, &desc), 0);
        EXPECT_EQ(desc.fRecordGood, c.good) << c.severity;
        EXPECT_EQ(desc.sdSeverity, c.severity);
    }
    EventDescType desc;
    ASSERT_EQ(GetEventDesc(p, sel(0x01, 0x01, 0x00), &desc), 0);
    EXPECT_EQ(desc.sdDesc, "Temperature low");
    EXPECT_EQ(desc.sdTrapId, "1.3.6.1.4.1.93071.2.23.256");
    EXPECT_EQ(desc.sdID, "TempLow");
    EXPECT_EQ(desc.nVarBinds, 4u);
    EXPECT_EQ(desc.rgsdVar[0], "sn");
    EXPECT_EQ(desc.rgsdVar[3], "b1");
}

TEST_F(DescriptionReader, ClosedReaderAndSeverityHelper)
{
    ParseFileClass closed;
    closed.StartParse(root_.at("/missing.cfg").c_str());
    EventDescType desc;
    EXPECT_EQ(GetEventDesc(closed, sel(1, 1, 0), &desc), logparse::kReaderClosed);

    root_.writeFile("/evtspec.cfg", std::string("[SensorType 0x01]\n[EvtTrigger 0x01]\n[Offset 0x00]\nSeverity=") +
                                        std::string(100, 'w') + "\n");
    Sel known = sel(1, 1, 0), unknown = sel(2, 1, 0);
    char out[logparse::kEventSeveritySize + 8];
    EXPECT_EQ(logparse::GetEventSeverity(root_.at("/evtspec.cfg").c_str(), &known, out), 0);
    EXPECT_EQ(std::string(out), std::string(79, 'w'));
    EXPECT_EQ(logparse::GetEventSeverity(root_.at("/evtspec.cfg").c_str(), &unknown, out), logparse::kNoDescription);
    EXPECT_EQ(std::string(out), "");
    EXPECT_EQ(logparse::GetEventSeverity(root_.at("/missing.cfg").c_str(), &known, out), logparse::kReaderClosed);
}

// Files the format never produces: the reader ends, finds what is there, and reads nothing
// outside the file.
TEST_F(DescriptionReader, SurvivesMalformedFiles)
{
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    const std::string tail = "[SensorType 0x01]\n[EvtTrigger 0x01]\n[Offset 0x00]\nSeverity=found\n";
    const struct {
        std::string text;
        bool found;
    } cases[] = {
        {"", false},
        {"\n\n   \t", false},
        {"[SensorType 0x01", false},
        {"[SensorType 0x01]\n[EvtTrigger 0x01]\n[Offset 0x00]\nSeverity=x\\", true},
        {"Key=\\", false},
        {std::string(100000, 'k') + "\n" + tail, false},   // one key line swallows the headers
        {"Key=" + std::string(100000, 'v') + "\n" + tail, true},
        {"[" + std::string(100000, 'h') + "]\n" + tail, true},
        {binary + "\n" + tail, true},   // the bytes make one key line
        {"[]\n=x\n" + tail, true},
        {tail + std::string("\0\0\0", 3), true},
    };
    for (const auto& c : cases) {
        ParseFileClass& p = reader(c.text);
        EventDescType desc;
        ASSERT_EQ(GetEventDesc(p, sel(1, 1, 0), &desc), 0);
        EXPECT_EQ(desc.fRecordGood, c.found ? 1 : 0) << c.text.substr(0, 40);
    }
}

} // namespace
