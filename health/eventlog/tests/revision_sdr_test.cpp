// Revision-2 records in revision-3 form, hardware times as true times, and sensor names from the
// SDR repository.
#include "eventlog_fixture.h"

#include "eventlog_internal.h"

namespace qv::eventlog::test {
namespace {

TEST(RevisionMapping, Table)
{
    struct Case {
        uint8_t version, trigger, data1;
        uint8_t wantVersion, wantTrigger, wantData1;
    };
    const Case cases[] = {
        {3, 0xE7, 0x21, 3, 0xE7, 0x21},   // revision 3 passes unchanged
        {2, 0x01, 0x52, 3, 0x01, 0xA2},   // threshold
        {2, 0xE7, 0x21, 3, 0x6F, 0x81},   // OEM class after the trigger mapping
        {2, 0xEA, 0x00, 3, 0x72, 0x00},
        {2, 0xE6, 0xE3, 3, 0xEF, 0x63},
        {2, 0x03, 0x61, 3, 0x03, 0x51},   // digital
        {2, 0x0B, 0xFF, 3, 0x0B, 0x5F},   // discrete
        {2, 0x07, 0x01, 3, 0x07, 0x81},   // volume capacity events keep their trigger
    };
    for (const Case& c : cases) {
        Sel r = makeEvent(1, 1, c.trigger, c.data1, c.version);
        QVEL_MapEventRecord2to3(&r);
        EXPECT_EQ(r.eventVersion, c.wantVersion);
        EXPECT_EQ(r.eventTrigger, c.wantTrigger) << int(c.trigger);
        EXPECT_EQ(r.eventData1, c.wantData1) << int(c.trigger) << " " << int(c.data1);
    }
    QVEL_MapEventRecord2to3(nullptr);
}

TEST(HardwareTime, ConvertedUnderTimeZones)
{
    struct Case {
        const char* tz;
        long t;
        long want;
    };
    const long winter = 946684800;    // 2000-01-01 00:00 wall clock
    const long summer = 962409600;    // 2000-07-01 00:00 wall clock
    const Case cases[] = {
        {"UTC", winter, winter},
        {"Europe/Berlin", winter, winter - 3600},
        {"Europe/Berlin", summer, summer - 7200},
        {"America/New_York", summer, summer + 4 * 3600},
        {"Europe/Berlin", 86399, 86399},   // a time since power-on stays
    };
    for (const Case& c : cases) {
        qv::test::ScopedEnv tz("TZ", c.tz);
        tzset();
        EXPECT_EQ(ConvertHWLogTime(c.t), c.want) << c.tz << " " << c.t;
    }
    tzset();
}

class SdrDescriptions : public EventLogTest {};

nlohmann::json repository(const std::string& version)
{
    return {{"clock", 946684800},
            {"ipmiVersion", version},
            {"sdr",
             {{{"kind", "full"}, {"number", 1}, {"name", "Baseboard Temp"}, {"sensorType", 1}},
              {{"kind", "full"}, {"number", 2}, {"name", ""}, {"sensorType", 1}},
              {{"kind", "fruLocator"}, {"address", "0x20"}, {"fruId", 0}, {"name", "FRU"}},
              {{"kind", "compact"}, {"number", 16}, {"name", "CPU"}, {"shareCount", 3}, {"modifierOffset", 1}},
              {{"kind", "compact"}, {"number", 32}, {"name", "Fan"}, {"shareCount", 2}, {"modifier", "alpha"}},
              {{"kind", "compact"}, {"number", 48}, {"name", "SixteenCharsName"}, {"shareCount", 12},
               {"modifierOffset", 0}},
              {{"kind", "raw"}, {"bytes", std::string("00 00 51 c0 c8 ") + [] {
                    std::string body;
                    for (int i = 0; i < 200; ++i) body += "aa ";   // longer than an entry
                    return body;
                }()}}}}};
}

TEST_F(SdrDescriptions, FullCompactAndSharedRecords)
{
    for (const std::string version : {"1.0", "0.9"}) {
        SCOPED_TRACE(version);
        QVEL_SdrCleanup();
        load(repository(version));
        struct Case {
            uint8_t generator, number;
            const char* name;
        };
        const Case cases[] = {
            {0x21, 1, "Baseboard Temp"},   // software bit of the generator ignored
            {0x20, 2, "No Description"},
            {0x20, 16, "CPU1"}, {0x20, 17, "CPU2"}, {0x20, 18, "CPU3"},
            {0x20, 32, "FanA"}, {0x20, 33, "FanB"},
            {0x20, 48, "SixteenCharsNam0"}, {0x20, 59, "SixteenCharsNa11"},
        };
        for (const Case& c : cases) {
            Sel r = makeEvent(1, c.number);
            r.generatorId = c.generator;
            char name[17] = "";
            EXPECT_EQ(QVEL_GetSdrDescription(&r, name), 0) << int(c.number);
            EXPECT_STREQ(name, c.name);
        }
        Sel unknown = makeEvent(1, 99);
        char name[17];
        EXPECT_EQ(QVEL_GetSdrDescription(&unknown, name), QVEL_ERR_FAILED);
        EXPECT_EQ(QVEL_GetSdrDescription(nullptr, name), QVEL_ERR_INVALID);
    }
}

TEST_F(SdrDescriptions, FailedBuildIsNotRetried)
{
    load(repository("1.0"));
    sim_.injectCompletionCode(0x0A, 0x23, 0xC0, 1);   // the repository read breaks
    Sel r = makeEvent(1, 1);
    r.generatorId = 0x20;
    char name[17];
    EXPECT_EQ(QVEL_GetSdrDescription(&r, name), QVEL_ERR_FAILED);
    sim_.clearJournal();
    EXPECT_EQ(QVEL_GetSdrDescription(&r, name), QVEL_ERR_FAILED);
    EXPECT_TRUE(sim_.journal().empty());
}

} // namespace
} // namespace qv::eventlog::test
