// Settings, state entries and history of the volume capacity files.
#include "volcap_files.h"
#include "volcap_test_root.h"

#include <gtest/gtest.h>

#include "profile.h"

namespace {

using volcaptest::VolcapRoot;

sharedInfo state(const char* volume)
{
    sharedInfo s{};
    EXPECT_EQ(ReadSharedVars(volume, &s), 0);
    return s;
}

TEST(VolcapPaths, FilesLiveInTheRegistryDirectoryAndHistoryNamesReplaceSlashes)
{
    VolcapRoot v;
    EXPECT_EQ(globalPath, v.root.at("/usr/qvserver/etc/"));
    EXPECT_EQ(fileCfg, globalPath + "qvvolcap.cfg");
    EXPECT_EQ(fileVar, globalPath + "qvvolcap.var");
    EXPECT_EQ(fileDrv, globalPath + "qvvolcap.names");
    EXPECT_EQ(fileLock, globalPath + "qvvolcap.lock");
    EXPECT_EQ(HistFilename("/"), globalPath + "_");
    EXPECT_EQ(HistFilename("/usr/local"), globalPath + "_usr_local");

    qv::test::TempRoot bare;   // no registry at all
    std::string cfg, global;
    EXPECT_EQ(GetRegFilenames(cfg, global), 1);
}

TEST(VolcapSettings, DefaultsAndUnknownCode)
{
    VolcapRoot v;
    cfgInfo c{};
    EXPECT_EQ(ReadCFGKeys("/never", &c), 0);
    EXPECT_EQ(c.nTrapEnabled, 1);
    EXPECT_EQ(c.nTrapPollTime, 1);
    EXPECT_EQ(c.nHistSampleTime, 1440);
    EXPECT_EQ(c.nLoThreshold, 70);
    EXPECT_EQ(c.nWarnThreshold, 85);
    EXPECT_EQ(c.nCritThreshold, 95);
    int value = 42;
    EXPECT_EQ(ReadCFGFileKey("/", 9, &value), 1);
    EXPECT_EQ(value, 42);
    // Values in the file stand as they are, even outside the write ranges.
    v.root.writeFile(volcaptest::kDir + "qvvolcap.cfg", "[/]\nWarnThreshold=150\n");
    EXPECT_EQ(ReadCFGFileKey("/", CFG_WARN_THRESHOLD, &value), 0);
    EXPECT_EQ(value, 150);
}

struct WriteCase {
    const char* name;
    int (*write)(const char* volume, int value);
    int high;
    const char* key;
    const char* rangeMessage;
    sharedInfo after;   // from {5, 6, 1, 1, 1}
};

int writeLo(const char* v, int x) { return WriteCFGThreshold(v, CFG_LO_THRESHOLD, x); }
int writeWarn(const char* v, int x) { return WriteCFGThreshold(v, CFG_WARN_THRESHOLD, x); }
int writeCrit(const char* v, int x) { return WriteCFGThreshold(v, CFG_CRIT_THRESHOLD, x); }

TEST(VolcapSettings, EachWriteChecksItsRangeAndChangesTheState)
{
    const WriteCase cases[] = {
        {"enabled", WriteCFGTrapEnabled, 1, "TrapEnabled",
         "WriteCFGTrapEnabled() - TrapEnabled value: 2 for drive / is out of range [ 0, 1 ]\n",
         {0, 6, 0, 0, 0}},
        {"poll", WriteCFGPollTime, 10000, "TrapPollTime",
         "WriteCFGPollTime() - TrapPollTime value: 10001 for drive / is out of range [ 0, 10000 ]\n",
         {10000, 6, 1, 1, 1}},
        {"sample", WriteCFGSampleTime, 44640, "HistSampleTime",
         "WriteCFGSampleTime() - HistSampleTime value: 44641 for drive / is out of range [ 0, 44640 ]\n",
         {5, 0, 1, 1, 1}},
        {"lo", writeLo, 100, "LoThreshold",
         "WriteCFGThreshold() - Threshold value: 101 for drive / is out of range [ 0, 100 ]\n",
         {0, 6, 0, 0, 0}},
        {"warn", writeWarn, 100, "WarnThreshold",
         "WriteCFGThreshold() - Threshold value: 101 for drive / is out of range [ 0, 100 ]\n",
         {0, 6, 1, 0, 0}},
        {"crit", writeCrit, 100, "CritThreshold",
         "WriteCFGThreshold() - Threshold value: 101 for drive / is out of range [ 0, 100 ]\n",
         {0, 6, 1, 1, 0}},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        VolcapRoot v;
        const sharedInfo start{5, 6, 1, 1, 1};
        ASSERT_EQ(WriteSharedVars("/", &start), 0);
        const std::string varBefore = v.file("qvvolcap.var");

        EXPECT_EQ(c.write("/", c.high + 1), 1);
        EXPECT_EQ(c.write("/", -1), 1);
        EXPECT_NE(v.log().find(c.rangeMessage), std::string::npos) << v.log();
        EXPECT_FALSE(v.exists("qvvolcap.cfg"));
        EXPECT_EQ(v.file("qvvolcap.var"), varBefore);

        EXPECT_EQ(c.write("/", c.high), 0);
        EXPECT_NE(v.file("qvvolcap.cfg").find("[/]\n" + std::string(c.key) + "=" +
                                              std::to_string(c.high) + "\n"),
                  std::string::npos) << v.file("qvvolcap.cfg");
        const sharedInfo s = state("/");
        EXPECT_EQ(s.nTrapPollTimeRemaining, c.after.nTrapPollTimeRemaining);
        EXPECT_EQ(s.nHistSampleTimeRemaining, c.after.nHistSampleTimeRemaining);
        EXPECT_EQ(s.nLoThresholdMet, c.after.nLoThresholdMet);
        EXPECT_EQ(s.nWarnThresholdMet, c.after.nWarnThresholdMet);
        EXPECT_EQ(s.nCritThresholdMet, c.after.nCritThresholdMet);
    }
}

TEST(VolcapSettings, ThresholdsNeedNoOrderButAKnownCode)
{
    VolcapRoot v;
    EXPECT_EQ(WriteCFGThreshold("/", CFG_LO_THRESHOLD, 90), 0);
    EXPECT_EQ(WriteCFGThreshold("/", CFG_WARN_THRESHOLD, 85), 0);
    EXPECT_EQ(WriteCFGThreshold("/", CFG_TRAP_ENABLED, 1), 1);
    EXPECT_NE(v.log().find("WriteCFGThreshold() - Invalid threshold type\n"), std::string::npos);
}

TEST(VolcapState, EntryDefaultsAndReadErrors)
{
    VolcapRoot v;
    sharedInfo s = state("/");
    EXPECT_EQ(s.nTrapPollTimeRemaining, 1);
    EXPECT_EQ(s.nHistSampleTimeRemaining, 0);
    EXPECT_EQ(s.nLoThresholdMet + s.nWarnThresholdMet + s.nCritThresholdMet, 0);

    const sharedInfo written{0, 1439, 1, 0, 0};
    ASSERT_EQ(WriteSharedVars("/", &written), 0);
    EXPECT_NE(v.file("qvvolcap.var").find("[/]\nVar=0 1439 1 0 0\n"), std::string::npos);

    for (const char* bad : {"3 4", "1 2 3 4 x", "1 2 3 4 99999999999", "- 1 2 3 4"}) {
        SCOPED_TRACE(bad);
        v.root.writeFile(volcaptest::kDir + "qvvolcap.var", std::string("[/]\nVar=") + bad + "\n");
        EXPECT_EQ(ReadSharedVars("/", &s), 1);
    }
    EXPECT_NE(v.log().find("ReadSharedVars() - read error for drive /\n"), std::string::npos);
}

TEST(VolcapHistory, AppendWrapsAfter401AndIndexesCountBackFromTheNewest)
{
    VolcapRoot v;
    int total = -1;
    GetHistStatus("/", nullptr, nullptr, &total);
    EXPECT_EQ(total, 0);
    const drvSample first{1000, 4000, 0, 0};
    ASSERT_EQ(AppendHistSample("/", &first), 0);
    GetHistStatus("/", nullptr, nullptr, &total);
    EXPECT_EQ(total, 1);

    // Slots 0 to 398 filled (time 1000 + slot), then three appends reach the wrap.
    std::string file = "[/]\nHistLastEntry=398\nHistOverflow=0\n";
    for (int slot = 0; slot <= 398; ++slot)
        file += std::to_string(slot) + "=" + std::to_string(1000 + slot) + " 4000 1\n";
    v.root.writeFile(volcaptest::kDir + "_", file);
    int last = 0, overflow = 0;
    for (int i = 399; i <= 400; ++i) {
        const drvSample s{1000 + i, 4000, i, 0};
        ASSERT_EQ(AppendHistSample("/", &s), 0);
    }
    GetHistStatus("/", &last, &overflow, &total);
    EXPECT_EQ(last, 400);
    EXPECT_EQ(overflow, 0);
    EXPECT_EQ(total, 401);
    const drvSample s402{5000, 4000, 7, 0};
    ASSERT_EQ(AppendHistSample("/", &s402), 0);
    GetHistStatus("/", &last, &overflow, &total);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(overflow, 1);
    EXPECT_EQ(total, 401);
    drvSample r{};
    ASSERT_EQ(ReadHistSample("/", 0, &r), 0);
    EXPECT_EQ(r.ltime, 5000);
    EXPECT_EQ(r.nCapacityFree, 7);
    ASSERT_EQ(ReadHistSample("/", 1, &r), 0);
    EXPECT_EQ(r.ltime, 1400);
    ASSERT_EQ(ReadHistSample("/", 400, &r), 0);
    EXPECT_EQ(r.ltime, 1001);   // the oldest left: slot 0 was overwritten
}

TEST(VolcapHistory, SlotMappingAndBadSamples)
{
    VolcapRoot v;
    auto history = [&](const std::string& status) {
        v.root.writeFile(volcaptest::kDir + "_usr", "[/usr]\n" + status +
                                                        "0=100 10 1\n3=103 10 4\n400=500 10 5\n"
                                                        "1=-5 10 2\n2=102 10\n");
    };
    history("HistLastEntry=3\nHistOverflow=1\n");
    drvSample r{};
    const struct { int index; time_t ltime; } found[] = {{0, 103}, {3, 100}, {4, 500}};
    for (const auto& f : found) {
        ASSERT_EQ(ReadHistSample("/usr", f.index, &r), 0) << f.index;
        EXPECT_EQ(r.ltime, f.ltime);
    }
    EXPECT_EQ(ReadHistSample("/usr", 2, &r), 1);   // slot 1: negative time
    EXPECT_NE(v.log().find("ReadHistFromFile() - invalid hist sample values\n"), std::string::npos);
    EXPECT_EQ(ReadHistSample("/usr", 1, &r), 1);   // slot 2: two numbers
    EXPECT_NE(v.log().find("ReadHistFromFile() - read error on file " + globalPath + "_usr\n"),
              std::string::npos);
    EXPECT_EQ(ReadHistSample("/usr", 5, &r), 1);   // slot 399: absent
    history("HistLastEntry=3\nHistOverflow=0\n");
    EXPECT_EQ(ReadHistSample("/usr", 4, &r), 1);
    EXPECT_NE(v.log().find("ReadHistSample() - invalid history index (4) for drive /usr\n"),
              std::string::npos);
    // A damaged status never announces more samples than there are slots.
    int total = 0;
    history("HistLastEntry=99999\nHistOverflow=0\n");
    GetHistStatus("/usr", nullptr, nullptr, &total);
    EXPECT_EQ(total, 401);
}

TEST(VolcapHistory, DamagedStatusStartsTheHistoryAgainAtSlotZero)
{
    VolcapRoot v;
    const char* const statuses[] = {
        "HistLastEntry=88888888880\nHistOverflow=0\n",   // read as the largest int
        "HistLastEntry=401\nHistOverflow=1\n",
        "HistLastEntry=-7\nHistOverflow=1\n",
        "HistLastEntry=-88888888880\n",
    };
    for (const char* status : statuses) {
        v.root.writeFile(volcaptest::kDir + "_", std::string("[/]\n") + status + "0=100 10 1\n400=500 10 5\n");
        const drvSample s{7000, 4000, 9, 0};
        ASSERT_EQ(AppendHistSample("/", &s), 0) << status;
        int last = -1, overflow = -1, total = -1;
        GetHistStatus("/", &last, &overflow, &total);
        EXPECT_EQ(last, 0) << status;
        EXPECT_EQ(overflow, 0) << status;
        EXPECT_EQ(total, 1) << status;
        drvSample r{};
        ASSERT_EQ(ReadHistSample("/", 0, &r), 0) << status;
        EXPECT_EQ(r.ltime, 7000) << status;
    }
}

} // namespace
