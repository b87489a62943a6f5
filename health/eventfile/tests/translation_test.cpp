// Event text translation and the sensor record cache (over the scripted cache client).
#include "event_text.h"
#include "scripted_sensor_records.h"
#include "sensor_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using qveventfile::test::resetScriptedCache;
using qveventfile::test::scriptedCache;
using qveventfile::test::sensorRecord;

sdType slice(std::string& s) { return {s.data(), static_cast<unsigned>(s.size())}; }

EvtStruct eventOf(uint8_t generator, uint8_t type, uint8_t number, uint8_t trigger, uint8_t d1, uint8_t d2,
                  uint8_t d3, const char* add = "")
{
    EvtStruct e{};
    e.selEntry = {0x1234, 2, 0x11223344, generator, 0, 4, type, number, trigger, d1, d2, d3};
    std::strcpy(e.szAddString, add);
    return e;
}

class EventFileTranslation : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetScriptedCache();
        auto& cache = scriptedCache();
        cache.announcedSensors = 4;
        cache.packages = {{{sensorRecord(0x20, 0x01, 1, "Baseboard Temp"), sensorRecord(0x20, 0x0C, 9, "DIMM A", 0x2A)}},
                          {},
                          {{sensorRecord(0x22, 0x04, 7, "Fan 7"), sensorRecord(0x22, 0x0C, 3, "DIMM B")}}};
    }
    void TearDown() override { resetScriptedCache(); }

    std::string varBind(EvtStruct event, std::string spec, unsigned room = 64)
    {
        std::string out(room, '#');
        const int n = EncodeVarBind({out.data(), room}, event, slice(spec));
        EXPECT_LE(n, static_cast<int>(room));
        return out.substr(0, static_cast<size_t>(n));
    }
};

TEST_F(EventFileTranslation, EveryVariableTokenAndSuffix)
{
    const EvtStruct fan = eventOf(0x22, 0x04, 7, 0x01, 0x66, 0xA5, 0x1F, "disk!ok");
    const EvtStruct bios = eventOf(0x21, 0x04, 7, 0x01, 0x66, 0xA5, 0x1F, "one");
    const struct {
        const EvtStruct& event;
        const char* spec;
        const char* text;
        unsigned room;
    } cases[] = {
        {fan, "ls", "Fan 7", 64},       {fan, "LS", "Fan 7", 64},     {fan, "ls", "", 5},
        {bios, "ls", "7", 64},          {fan, "sn", "7", 64},         {fan, "sn", "", 10},
        {fan, "b3", "31", 64},          {fan, "b2", "165", 64},       {fan, "b2x", "A5h", 64},
        {fan, "B2X", "A5h", 64},        {fan, "b1", "102", 64},       {fan, "b1m0110", "3", 64},
        {fan, "b2M11110000", "10", 64}, {fan, "b2m1", "1", 64},       {fan, "b2m0000", "0", 64},
        {fan, "s1", "disk", 64},        {fan, "s2", "ok", 64},        {fan, "s5", "ok", 64},
        {bios, "s3", "one", 64},        {fan, "s2", "", 2},           {fan, "zz", "0", 64},
        {fan, "zzx", "0h", 64},         {fan, "", "", 64},            {fan, "b", "0", 64},
    };
    for (const auto& c : cases)
        EXPECT_EQ(varBind(c.event, c.spec, c.room), c.text) << c.spec << " room " << c.room;
}

TEST_F(EventFileTranslation, TemplatesAndTheRawForm)
{
    EvtStruct event = eventOf(0x21, 0x0C, 3, 0x6F, 0x03, 0xA5, 0x1F, "bank!2");
    std::string templ, var1 = "b2x", var2 = "s2";
    EventDescType desc{};
    desc.nVarBinds = 2;
    desc.rgsdVar[0] = slice(var1);
    desc.rgsdVar[1] = slice(var2);
    const auto build = [&](std::string text, unsigned room) {
        templ = text;
        desc.sdDesc = slice(templ);
        std::string out(room + 1, '#');
        const unsigned n = BuildEventText({out.data(), room}, event, desc);
        EXPECT_EQ(out[room], '#');   // never beyond the room
        if (room > 0) {
            EXPECT_EQ(out[n], '\0');
        }
        return out.substr(0, n);
    };
    EXPECT_EQ(build("Bank %2 data %1, none %9 or %0%", 80), "Bank 2 data A5h, none  or ");
    EXPECT_EQ(build("Memory error", 7), "Memory");
    EXPECT_EQ(build("Memory error", 0), "");
    EXPECT_EQ(build("%1%1%1", 16), "A5hA5h");   // a number needs more than 10 of room

    const std::string raw = build("", 200);
    EXPECT_EQ(raw.size(), 81u);
    EXPECT_EQ(raw.substr(0, 20), "| 34 | 12 | 02 | 44 ");
    EXPECT_EQ(raw.substr(75), "| 1F |");
    EXPECT_EQ(build("", 20), raw.substr(0, 19));
}

TEST_F(EventFileTranslation, EventCodesSeveritiesAndCopies)
{
    const struct {
        EvtStruct event;
        unsigned code;
    } codes[] = {
        {eventOf(0x21, 0x0C, 1, 0x6F, 0x01, 0, 0), 1201},
        {eventOf(0x21, 0x0C, 1, 0x71, 0x01, 0, 0), 1233},
        {eventOf(0x20, 0x0C, 9, 0x6F, 0x01, 0, 0), 1242},   // the SDR's OEM byte
        {eventOf(0x22, 0x0C, 3, 0x6F, 0x81, 0, 0), 1201},   // an SDR whose OEM byte is 0
        {eventOf(0x22, 0x0C, 99, 0x6F, 0x02, 0, 0), 1202},  // no such SDR
    };
    for (auto c : codes) EXPECT_EQ(ComputeEventCode(c.event), c.code) << int(c.event.selEntry.sensorNumber);

    const struct {
        const char* text;
        unsigned severity;
    } severities[] = {{"Error", 2}, {"error", 2}, {"Errors", 2}, {"Err", 255}, {"3 failure", 3}, {"", 255},
                      {"warning", 1}, {"Informational", 8}, {"Info", 255}};
    for (const auto& s : severities) {
        std::string text = s.text;
        EXPECT_EQ(DecodeSeverity(slice(text)), s.severity) << s.text;
    }

    char out[4];
    EXPECT_EQ(EncodeValue(255, {out, 4}, 0), 0);
    EXPECT_STREQ(out, "255");
    EXPECT_EQ(EncodeValue(1000, {out, 4}, 0), QVEF_TOO_SMALL);
    EXPECT_EQ(std::string(out, 4), "1000");
    EXPECT_EQ(EncodeValue(0xAB, {out, 4}, 1), QVEF_TOO_SMALL);
    EXPECT_EQ(std::string(out, 4), "0xAB");
    std::string text = "abcd";
    EXPECT_EQ(CopyString({out, 4}, slice(text)), QVEF_TOO_SMALL);
    text = "abc";
    EXPECT_EQ(CopyString({out, 4}, slice(text)), 0);
    EXPECT_STREQ(out, "abc");
}

TEST_F(EventFileTranslation, GeneratorsWithoutSensorRecordsNeverAskTheCache)
{
    for (const EvtStruct& event : {eventOf(0x21, 0x0C, 1, 0x6F, 1, 0, 0), eventOf(0x42, 0x0C, 1, 0x6F, 1, 0, 0),
                                   eventOf(0x43, 0x0C, 1, 0x6F, 1, 0, 0), eventOf(0x20, 0x0C, 0, 0x6F, 1, 0, 0)}) {
        PipeSDR* sdr = nullptr;
        EXPECT_EQ(LookUpSDR(event.selEntry, &sdr), QVEF_NO_RECORD_SOURCE);
        EXPECT_EQ(varBind(event, "ls"), std::to_string(event.selEntry.sensorNumber));
    }
    EXPECT_TRUE(scriptedCache().requests.empty());
}

TEST_F(EventFileTranslation, RecordsAreFetchedOnceAcrossPackages)
{
    PipeSDR* sdr = nullptr;
    ASSERT_EQ(vSensorCache.FindSDR(0x22, 0x0C, 3, &sdr), 0);   // the last record, behind an empty package
    EXPECT_STREQ(sdr->name, "DIMM B");
    const size_t asked = scriptedCache().requests.size();
    EXPECT_EQ(asked, 1u + 3u + 4u);   // the system, three packages, four records
    ASSERT_EQ(vSensorCache.FindSDR(0x20, 0x01, 1, &sdr), 0);
    EXPECT_EQ(vSensorCache.FindSDR(0x20, 0x01, 2, &sdr), QVEF_NO_SENSOR_RECORD);
    ASSERT_EQ(vSensorCache.FindSDR(2u, &sdr), 0);
    EXPECT_STREQ(sdr->name, "Fan 7");
    EXPECT_EQ(vSensorCache.FindSDR(4u, &sdr), QVEF_NO_SENSOR_RECORD);
    EXPECT_EQ(scriptedCache().requests.size(), asked);
    EXPECT_EQ(vSensorCache.GetPackageInfo(3), QVEF_NO_PACKAGE);

    // Without the service every call fails and the texts fall back to numbers.
    resetScriptedCache();
    scriptedCache().answers = false;
    EXPECT_EQ(vSensorCache.FindSDR(0x22, 0x04, 7, &sdr), 1);
    EXPECT_EQ(varBind(eventOf(0x22, 0x04, 7, 0x01, 2, 0, 0), "ls"), "7");
    EvtStruct event = eventOf(0x22, 0x04, 7, 0x01, 2, 0, 0);
    EXPECT_EQ(ComputeEventCode(event), 402u);

    // More records in the packages than the system announced: the table is never overrun.
    resetScriptedCache();
    scriptedCache().announcedSensors = 1;
    scriptedCache().packages = {{{sensorRecord(0x20, 1, 1, "a"), sensorRecord(0x20, 1, 2, "b")}}};
    EXPECT_EQ(vSensorCache.FindSDR(0x20, 1, 2, &sdr), QVEF_NO_SENSOR_RECORD);
}

} // namespace
