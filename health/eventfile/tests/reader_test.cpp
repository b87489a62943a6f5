// The description reader on small files: the items it returns, header numbers, the look-up and
// its index, and input no description file should hold.
#include "event_sections.h"
#include "parse_file.h"

#include "temp_root.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string str(sdType s) { return s.pb ? std::string(s.pb, s.cb) : "<null>"; }

Sel recordOf(uint8_t type, uint8_t trigger, uint8_t data1)
{
    Sel r{};
    r.recordType = 2;
    r.generatorId = 0x21;
    r.sensorType = type;
    r.eventTrigger = trigger;
    r.eventData1 = data1;
    return r;
}

class EventFileReader : public ::testing::Test {
protected:
    std::string write(const std::string& text)
    {
        root_.writeFile("/evtspec.cfg", text);
        return root_.at("/evtspec.cfg");
    }
    void open(const std::string& text) { ASSERT_EQ(parser_.StartParse(write(text).c_str()), 0); }
    // Every item as "[header]" or "name=value" ("name" alone for a line without '=').
    std::vector<std::string> items()
    {
        std::vector<std::string> out;
        sdType name, value;
        while (parser_.GetNextThing(&name, &value))
            out.push_back(value.pb ? str(name) + "=" + str(value) : "[" + str(name) + "]");
        return out;
    }
    EventDescType describe(const Sel& record)
    {
        EventDescType desc;
        EXPECT_EQ(GetEventDesc(parser_, record, &desc), 0);
        return desc;
    }

    qv::test::TempRoot root_;
    CParseFile parser_;
};

TEST_F(EventFileReader, ItemsAreHeadersAndKeyLines)
{
    open("# comment\n"
         "  ; another = comment\n"
         "[SensorType 0x0C]  trailing words\n"
         "\tString= Memory error  \r\n"
         "Severity=Error # not a comment\n"
         "Name With Blanks = v\n"
         "NoEquals here\n"
         "[Missing bracket\n"
         "Cont=first \\\n   second\n"
         "Empty=\n"
         "=nameless\n"
         "[]\n"
         "Last=x");
    EXPECT_EQ(items(), (std::vector<std::string>{
                           "[SensorType 0x0C]", "String= Memory error", "Severity=Error # not a comment",
                           "Name With Blanks= v", "[NoEquals here]", "[Missing bracket]",
                           "Cont=first \\\n   second", "Empty=", "Last=x"}));
}

TEST_F(EventFileReader, HeaderNumbersInEveryBase)
{
    const struct {
        const char* text;
        unsigned long value;
    } cases[] = {
        {"SensorType 0x0C", 12}, {"SensorType 12", 12},       {"SensorType 014", 12},
        {"Offset 0X0f", 15},     {"0x0C", 12},                {"12", 12},
        {"EvtTrigger\t0x6F", 0x6F}, {"SensorType", evtspec::NoValue}, {"", evtspec::NoValue},
        {"SensorType -- 7", 7},  {"SensorType 0x0000000000000000C", 0}, {"Offset 3rd", 3},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(ExtractValue({text.data(), static_cast<unsigned>(text.size())}), c.value) << c.text;
    }
}

constexpr char kFile[] =
    "[SensorType 0x01]\n[EvtTrigger 0x01]\n[Offset 0x00]\nString=Temperature low\nSeverity=Warning\n"
    "[SensorType 0x0C]\n"
    "[EvtTrigger 0x01]\n[Offset 0x01]\nString=Wrong trigger\n"
    "[EvtTrigger 0x6F]\n"
    "[Offset 0x00]\nString=Correctable error\nSeverity=Informational\n"
    "[Offset 0x03]\nString=Memory error on %1\nSeverity=Error\nTrapID=1.3.6.1.4.1.93071.2.23.7.12003\n"
    "SymbolicName=MemError\nhtml_HelpFile=mem.htm\nHelpID=3\nVarBind3=b1\nvarbind1=sn\nOther=ignored\n"
    "[Offset 0x04]\nString=Next offset\n"
    "[SensorType]\n[EvtTrigger 0x6F]\n[Offset 0x00]\nString=No number\n"
    "[SensorType 0x04]\n[EvtTrigger 0x01]\n[Offset 0x02]\nString=Fan failed\n";

TEST_F(EventFileReader, LookUpCollectsTheKeysOfTheMatchingOffsetByItsNibble)
{
    open(kFile);
    const EventDescType desc = describe(recordOf(0x0C, 0x6F, 0x83));
    EXPECT_EQ(desc.fRecordGood, 1);
    EXPECT_EQ(str(desc.sdDesc), "Memory error on %1");
    EXPECT_EQ(str(desc.sdSeverity), "Error");
    EXPECT_EQ(str(desc.sdTrapId), "1.3.6.1.4.1.93071.2.23.7.12003");
    EXPECT_EQ(str(desc.sdID), "MemError");
    EXPECT_EQ(str(desc.sdHelpHtml), "mem.htm");
    EXPECT_EQ(str(desc.sdHelpTag), "3");
    EXPECT_EQ(desc.nVarBinds, 3u);
    EXPECT_EQ(str(desc.rgsdVar[2]), "b1");
    EXPECT_EQ(str(desc.rgsdVar[0]), "sn");

    const struct {
        Sel record;
        const char* text;   // null: no description
    } cases[] = {
        {recordOf(0x0C, 0x6F, 0x00), "Correctable error"},
        {recordOf(0x0C, 0x01, 0x01), "Wrong trigger"},
        {recordOf(0x0C, 0x6F, 0x05), nullptr},
        {recordOf(0x0C, 0x02, 0x00), nullptr},
        {recordOf(0x01, 0x01, 0x10), "Temperature low"},
        {recordOf(0x04, 0x01, 0x02), "Fan failed"},
        {recordOf(0x00, 0x6F, 0x00), nullptr},   // [SensorType] without a number matches nothing
        {recordOf(0x07, 0x6F, 0x00), nullptr},
    };
    for (const auto& c : cases) {
        const EventDescType d = describe(c.record);
        EXPECT_EQ(d.fRecordGood, c.text ? 1 : 0) << int(c.record.sensorType);
        if (c.text) {
            EXPECT_EQ(str(d.sdDesc), c.text);
        }
    }
}

TEST_F(EventFileReader, ALaterLookUpStartsAtTheSectionItPassed)
{
    // Comment runs longer than any read-ahead, so what a look-up reads comes from the file.
    std::string text = kFile;
    const std::string padding = "#" + std::string(9000, '.') + "\n";
    text.insert(text.find("[SensorType 0x04]"), padding);
    text.insert(text.find("[SensorType 0x0C]"), padding);
    open(text);
    ASSERT_EQ(describe(recordOf(0x04, 0x01, 0x02)).fRecordGood, 1);
    EXPECT_EQ(parser_.Index().GetStartingLoc(0x0C), static_cast<long>(text.find("[SensorType 0x0C]")));
    EXPECT_EQ(parser_.Index().GetStartingLoc(0x04), static_cast<long>(text.find("[SensorType 0x04]")));
    EXPECT_EQ(parser_.Index().GetStartingLoc(0x33), parser_.Index().GetStartingLoc(0x04));
    // Everything before the 0x0C section is replaced in place by a decoy that a look-up from the
    // start would find first.
    {
        const std::string decoy = "[SensorType 0x0C]\n[EvtTrigger 0x6F]\n[Offset 0x03]\nSeverity=Decoy\n#";
        std::fstream file(root_.at("/evtspec.cfg"), std::ios::in | std::ios::out | std::ios::binary);
        file << decoy << std::string(text.find("[SensorType 0x0C]") - 1 - decoy.size(), 'z');
    }
    EXPECT_EQ(str(describe(recordOf(0x0C, 0x6F, 0x03)).sdSeverity), "Error");
    EXPECT_EQ(describe(recordOf(0x01, 0x01, 0x00)).fRecordGood, 0);
}

TEST_F(EventFileReader, MoreThanSixtyFourSensorTypesStayCorrect)
{
    std::string text;
    for (int type = 0x10; type < 0x10 + 80; ++type) {
        char section[128];
        std::snprintf(section, sizeof section, "[SensorType 0x%02X]\n[EvtTrigger 0x6F]\n[Offset 0x00]\nString=Type %d\n",
                      type, type);
        text += section;
    }
    open(text);
    const auto expect = [&](int type) {
        EXPECT_EQ(str(describe(recordOf(static_cast<uint8_t>(type), 0x6F, 0)).sdDesc), "Type " + std::to_string(type));
    };
    expect(0x10 + 79);
    for (int type = 0x10 + 79; type >= 0x10; --type) expect(type);
    for (int type = 0x10; type < 0x10 + 80; type += 7) expect(type);
    EXPECT_EQ(parser_.Index().nLocs, CIndex::nLocationsMax);
}

TEST_F(EventFileReader, BadInputNeverCrashesAndCutsWhatDoesNotFit)
{
    const std::string longValue(10000, 'v');
    const std::string longDescription = "[SensorType 0x0C]\n[EvtTrigger 0x6F]\n[Offset 0x00]\nSeverity=Error\nString=" +
                                        std::string(5000, 'd') + "\nTrapID=late\n";
    const std::string binary("\x00\xff[\x80]\x01=\x02\n[SensorType 0x0C\xfe]\n\x00=\x00\n", 30);
    for (const std::string& text : {std::string(), "[" + longValue + "\n" + longValue + "=" + longValue + "\n" + kFile,
                                    longDescription, binary, std::string("[[[[\n]]]]\n====\n\\\n\\")}) {
        open(text);
        const EventDescType desc = describe(recordOf(0x0C, 0x6F, 0x00));
        if (text == longDescription) {
            EXPECT_EQ(str(desc.sdSeverity), "Error");
            EXPECT_EQ(desc.sdDesc.cb + desc.sdSeverity.cb + desc.sdTrapId.cb < CParseFile::cbDataMax, true);
        }
        (void)items();
    }
    open(std::string("[") + longValue + kFile);
    EXPECT_EQ(str(describe(recordOf(0x04, 0x01, 0x02)).sdDesc), "Fan failed");
}

TEST_F(EventFileReader, ClosedReaderAndSeverityHelper)
{
    CParseFile closed;
    EventDescType desc;
    EXPECT_EQ(GetEventDesc(closed, recordOf(0x0C, 0x6F, 0), &desc), CParseFile::kNotOpen);
    EXPECT_EQ(closed.StartParse(root_.at("/missing.cfg").c_str()), ENOENT);

    std::string path = write(kFile);
    char severity[80];
    Sel record = recordOf(0x0C, 0x6F, 0x03);
    EXPECT_EQ(GetEventSeverity(path.data(), &record, severity), 0);
    EXPECT_STREQ(severity, "Error");
    record = recordOf(0x0C, 0x6F, 0x07);
    EXPECT_EQ(GetEventSeverity(path.data(), &record, severity), QVEF_NO_DESCRIPTION);
    std::string missing = root_.at("/missing.cfg");
    EXPECT_EQ(GetEventSeverity(missing.data(), &record, severity), ENOENT);
}

} // namespace
