// The daemon's passes with a recording event sink: counters, history, raising and releasing.
#include "recording_event_sink.h"
#include "space_alert.h"
#include "volcap_test_root.h"

#include <gtest/gtest.h>

namespace {

using spacetest::RecordedEvent;
using spacetest::RecordingEventSink;
using volcaptest::VolcapRoot;

class SpacePass : public ::testing::Test {
protected:
    // One pass over the volumes of the mount table; the events of / it wrote.
    std::vector<int> passAt(int rootPct)
    {
        v.setRootPercent(rootPct);
        const size_t before = sink.events.size();
        EXPECT_TRUE(runVolumePass(sink, DrvInfo(true), unsaved));
        std::vector<int> raised;
        for (size_t i = before; i < sink.events.size(); ++i)
            if (sink.events[i].addString == "/") raised.push_back(sink.events[i].event());
        return raised;
    }
    std::string var() const { return v.file("qvvolcap.var"); }

    VolcapRoot v;
    RecordingEventSink sink;
    UnsavedStates unsaved;
};

using Events = std::vector<int>;

TEST_F(SpacePass, FirstPassSamplesSecondEvaluatesAndCountersCountDown)
{
    EXPECT_EQ(passAt(75), Events{});
    EXPECT_EQ(var(), "[/]\nVar=0 1439 0 0 0\n[/home]\nVar=0 1439 0 0 0\n");
    drvSample s{};
    ASSERT_EQ(ReadHistSample("/", 0, &s), 0);
    EXPECT_EQ(s.nCapacityTotal, 4000);
    EXPECT_EQ(s.nCapacityFree, 1000);
    ASSERT_EQ(ReadHistSample("/home", 0, &s), 0);
    EXPECT_EQ(s.nCapacityFree, 2000);

    EXPECT_EQ(passAt(75), Events{EVENT_LO});
    EXPECT_NE(var().find("[/]\nVar=0 1438 1 0 0\n"), std::string::npos) << var();
    ASSERT_EQ(sink.events.size(), 1u);   // /home at 50 % stays quiet
    const unsigned char expected[16] = {0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x21,
                                        0x00, 0x02, 0xD2, 0x00, 0x07, 0x28, 75,   70};
    EXPECT_EQ(spacetest::eventLine(sink.events[0].bytes, "/"), spacetest::eventLine(expected, "/"));
    int total = 0;
    GetHistStatus("/", nullptr, nullptr, &total);
    EXPECT_EQ(total, 1);   // the next sample is a day away
}

TEST_F(SpacePass, RaisingAndReleasing)
{
    const struct {
        const char* name;
        std::vector<int> levels;
        std::vector<Events> raised;
    } cases[] = {
        {"96 90 96", {96, 90, 96}, {{EVENT_CRIT}, {}, {EVENT_CRIT}}},
        {"60 80 90", {60, 80, 90}, {{}, {EVENT_LO}, {EVENT_WARN}}},
        {"exactly 85", {85, 85}, {{EVENT_LO}, {}}},
        {"down and up", {96, 50, 90, 96}, {{EVENT_CRIT}, {}, {EVENT_WARN}, {EVENT_CRIT}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VolcapRoot fresh;
        RecordingEventSink events;
        fresh.setRootPercent(0);
        ASSERT_TRUE(runVolumePass(events, DrvInfo(true), unsaved));   // samples only
        for (size_t i = 0; i < c.levels.size(); ++i) {
            fresh.setRootPercent(c.levels[i]);
            const size_t before = events.events.size();
            ASSERT_TRUE(runVolumePass(events, DrvInfo(true), unsaved));
            Events raised;
            for (size_t e = before; e < events.events.size(); ++e) {
                raised.push_back(events.events[e].event());
                EXPECT_EQ(events.events[e].pct(), c.levels[i]);
            }
            EXPECT_EQ(raised, c.raised[i]) << "at step " << i;
        }
    }
}

TEST_F(SpacePass, CritEventCarriesLevelAndThreshold)
{
    passAt(0);
    EXPECT_EQ(passAt(96), Events{EVENT_CRIT});
    EXPECT_EQ(sink.events.back().pct(), 96);
    EXPECT_EQ(sink.events.back().threshold(), 95);
    EXPECT_NE(var().find("[/]\nVar=0 1438 1 1 1\n"), std::string::npos) << var();
    // A new Lo threshold clears the latches: the highest threshold exceeded is raised again.
    ASSERT_EQ(WriteCFGThreshold("/", CFG_LO_THRESHOLD, 60), 0);
    EXPECT_EQ(passAt(96), Events{EVENT_CRIT});
}

TEST_F(SpacePass, DisabledVolumeKeepsSamplingAndIsEvaluatedWhenEnabledAgain)
{
    ASSERT_EQ(WriteCFGTrapEnabled("/", 0), 0);
    ASSERT_EQ(WriteCFGSampleTime("/", 0), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(passAt(96), Events{});
    int total = 0;
    GetHistStatus("/", nullptr, nullptr, &total);
    EXPECT_EQ(total, 3);
    ASSERT_EQ(WriteCFGTrapEnabled("/", 1), 0);
    EXPECT_EQ(passAt(96), Events{EVENT_CRIT});
}

TEST_F(SpacePass, PollPeriodSpacesEvaluations)
{
    ASSERT_EQ(WriteCFGPollTime("/", 3), 0);   // also the countdown: three passes from now
    passAt(0);
    EXPECT_EQ(passAt(80), Events{});
    EXPECT_EQ(passAt(80), Events{});
    EXPECT_EQ(passAt(80), Events{EVENT_LO});
    EXPECT_EQ(passAt(90), Events{});
    EXPECT_EQ(passAt(90), Events{});
    EXPECT_EQ(passAt(90), Events{EVENT_WARN});
}

TEST_F(SpacePass, UnreadableCapacitySkipsTheVolumeButReloadsItsCounters)
{
    v.root.writeFile("/var/qvsim/volumes",
                     volcaptest::deviceLine("/dev/sda1", 8, 1) +
                         volcaptest::deviceLine("/dev/sdb1", 8, 17) +
                         volcaptest::mountLine("/", 8, 1, 1000, 40));
    EXPECT_TRUE(runVolumePass(sink, DrvInfo(true), unsaved));
    EXPECT_TRUE(runVolumePass(sink, DrvInfo(true), unsaved));
    EXPECT_FALSE(v.exists("_home"));
    EXPECT_NE(var().find("[/home]\nVar=0 1438 0 0 0\n"), std::string::npos) << var();
    EXPECT_NE(v.log().find("GetDrvCurrentCapacity() - can't stat drive name /home\n"),
              std::string::npos);
}

TEST_F(SpacePass, UnreadableStateStopsThePass)
{
    v.root.writeFile(volcaptest::kDir + "qvvolcap.var", "[/]\nVar=1 2\n");
    EXPECT_FALSE(runVolumePass(sink, DrvInfo(true), unsaved));
    const std::string log = v.log();
    const size_t library = log.find("ReadSharedVars() - read error for drive /\n");
    ASSERT_NE(library, std::string::npos) << log;
    EXPECT_NE(log.find("main() - Problem on reading sharedvars file\n", library), std::string::npos);
}

} // namespace
