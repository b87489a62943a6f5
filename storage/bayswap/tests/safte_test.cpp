// SAF-TE enclosures against the in-process SCSI simulator: model recognition, the buffers read and
// written as the simulator journals them, slot states per severity, status ages on the library's
// clock, the LED test, and the enclosure search.
#include "bayswap_machine.h"

#include <gtest/gtest.h>

namespace bayswap_test {
namespace {

constexpr int kSg = 2;   // the enclosure processor: host 0, channel 0, id 6 (sg numbers follow the scan order)

class Safte : public BayswapMachine {
protected:
    // Host 0: disks at ids 0 and 1 and the enclosure at 6; host 1 (an adapter of a class the
    // enclosure search counts among the RAID ones) may hold
    // a second enclosure.
    void serveEnclosure(json enclosureTarget, json extraTargets = json::array(), bool raidHost = false)
    {
        json targets = {disk(0, 0, 0, 0), disk(0, 0, 1, 1), std::move(enclosureTarget)};
        for (auto& t : extraTargets) targets.push_back(t);
        json adapters = aicHosts(1);
        if (raidHost) adapters.push_back({{"host", 1}, {"driver", "ide-scsi"}});
        serve({{"adapters", adapters}, {"targets", targets}});
    }
    void serveSlots(const std::vector<Slot>& s, const std::string& product = "BACKPLANE")
    {
        serveEnclosure(enclosure(0, 6, kSg, product, s));
    }
    void build()
    {
        unsigned units = 0;
        ASSERT_EQ(BuildSAFteList(1, &units), 0u);
        ASSERT_EQ(units, 1u);
    }
};

TEST_F(Safte, ModelTableAndIdentity)
{
    struct Case {
        const char* product;
        bool safte;
        unsigned type;
    };
    const Case cases[] = {
        {"SAFTE; U160/M BP", true, 0x13}, {"safte; u160/m bpX", true, 0x13}, {"GEM318", true, 0x30},
        {"gem318 rev2", true, 0x30},      {"K3817C", true, 0x30},           {"k3817c", true, 0x30},
        {"SAFTE; U160", true, 0x10},      {"BACKPLANE", true, 0x10},       {"GEM318", false, 0},
    };
    // One processor device per case, at ids 2 and up, beside the disks at 0 and 1.
    json targets = {disk(0, 0, 0, 0), disk(0, 0, 1, 1)};
    for (size_t i = 0; i < std::size(cases); ++i) {
        json target = enclosure(0, int(i) + 2, int(i) + 2, cases[i].product, {{0, true}});
        target["safte"] = cases[i].safte;
        targets.push_back(target);
    }
    serve({{"adapters", aicHosts(1)}, {"targets", targets}});
    EXPECT_EQ(GetTargetSAFteType(0, 0, 0), 0u);   // a disk
    std::vector<unsigned> listed;
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].product);
        EXPECT_EQ(GetTargetSAFteType(0, 0, unsigned(i) + 2), cases[i].type);
        if (cases[i].safte) listed.push_back(cases[i].type);
    }
    unsigned units = 0;
    ASSERT_EQ(BuildSAFteList(1, &units), 0u);
    ASSERT_EQ(units, listed.size());
    for (unsigned u = 0; u < units; ++u) {
        CageDescType desc{};
        ASSERT_EQ(GetSAFteInfo(u, &desc), 0u);
        EXPECT_EQ(desc.bType, listed[u]);
    }
    // Only the processor without the identity remains: no enclosure.
    forgetScsiState();
    serve({{"adapters", aicHosts(1)}, {"targets", {disk(0, 0, 0, 0), targets.back()}}});
    EXPECT_EQ(BuildSAFteList(1, &units), ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(units, 0u);
}

TEST_F(Safte, BuffersAndCommandsAsTheEnclosureSeesThem)
{
    json target = enclosure(0, 6, kSg, "BACKPLANE", {{0, true}, {1, true}, {2, false}, {3, false}});
    target["fans"] = 2;
    target["powerSupplies"] = 1;
    serveEnclosure(target);
    control({{"op", "scsiReset"}, {"sg", kSg}});   // the first TEST UNIT READY meets a unit attention
    build();
    const auto setup = commands(kSg, {0x00, 0x3C});
    ASSERT_EQ(setup.size(), 4u);
    EXPECT_EQ(setup[0].cdb, Bytes(6, 0));
    EXPECT_EQ(setup[0].status, 2);
    EXPECT_EQ(setup[1].status, 0);
    EXPECT_EQ(setup[2].cdb, (Bytes{0x3C, 0x01, 0x00, 0, 0, 0, 0, 0x00, 64, 0}));
    EXPECT_EQ(setup[3].cdb, (Bytes{0x3C, 0x01, 0x01, 0, 0, 0, 0, 0x00, 2 + 1 + 4 + 80, 0}));

    clearJournal();
    CageDescType desc{};
    ASSERT_EQ(GetSAFteInfo(0, &desc), 0u);
    // The status read uses the whole data area, which the enclosure status read sized.
    auto reads = commands(kSg, {0x3C});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].cdb, (Bytes{0x3C, 0x01, 0x04, 0, 0, 0, 0, 0x00, 87, 0}));
    EXPECT_EQ(desc.nBays, 4);
    EXPECT_EQ(desc.rgBays[1].idTarget, 1);
    EXPECT_EQ(desc.rgBays[1].bPresent, 1);
    EXPECT_EQ(desc.rgBays[2].bPresent, 0);

    ASSERT_EQ(AdjustSlotState(0, 1, ledFAILURE), 0u);
    const auto writes = commands(kSg, {0x3B});
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].cdb, (Bytes{0x3B, 0x01, 0x00, 0, 0, 0, 0, 0x00, 13, 0}));
    EXPECT_EQ(writes[0].dataOut, (Bytes{0x10, 0x01, 0, 0, 0x02, 0, 0, 0x00, 0, 0, 0x00, 0, 0}));
    EXPECT_EQ(writes[0].status, 0);
}

TEST_F(Safte, FortySlotsAreHandledAsThirtyTwoWithSixteenBays)
{
    std::vector<Slot> forty;
    for (int i = 0; i < 40; ++i) forty.push_back({i % 16, i < 20});
    serveSlots(forty);
    build();
    CageDescType desc{};
    ASSERT_EQ(GetSAFteInfo(0, &desc), 0u);
    EXPECT_EQ(desc.nBays, 16);
    EXPECT_EQ(AdjustSlotState(0, 32, ledNORMAL), ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(GetSlotState(0, 40, nullptr, nullptr), ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(slotWrites(kSg), 0u);
    // A change rewrites every slot the enclosure has, the ones beyond 32 as they were.
    ASSERT_EQ(AdjustSlotState(0, 31, ledNORMAL), 0u);
    ASSERT_EQ(slotWrites(kSg), 1u);
    EXPECT_EQ(commands(kSg, {0x3B})[0].dataOut.size(), 1u + 3 * 40);
    EXPECT_EQ(slots(kSg)[31].state[0], 0x01);
    EXPECT_EQ(slots(kSg)[39].state[0], 0x00);
}

TEST_F(Safte, SeverityBitsAndEmptySlots)
{
    struct Case {
        LEDSeverity severity;
        bool inserted;
        uint8_t before;
        int after;            // -1: nothing written
        LEDSeverity readBack;
    };
    const Case cases[] = {
        {ledUNKNOWN, true, 0x01, 0x81, ledNORMAL},   {ledNORMAL, true, 0x42, 0x01, ledNORMAL},
        {ledWARNING, true, 0x01, 0x40, ledWARNING},  {ledFAILURE, true, 0x41, 0x42, ledFAILURE},
        {ledNORMAL, false, 0x00, 0x01, ledNORMAL},   {ledWARNING, false, 0x00, -1, ledNORMAL},
        {ledFAILURE, false, 0x00, -1, ledNORMAL},
    };
    std::vector<Slot> s;
    for (size_t i = 0; i < std::size(cases); ++i) s.push_back({int(i), cases[i].inserted, cases[i].before});
    serveSlots(s);
    build();
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        nowMs += 1000;
        const size_t writesBefore = slotWrites(kSg);
        ASSERT_EQ(AdjustSlotState(0, unsigned(i), c.severity), 0u);
        EXPECT_EQ(slotWrites(kSg), writesBefore + (c.after >= 0 ? 1 : 0));
        EXPECT_EQ(slots(kSg)[i].state[0], c.after >= 0 ? c.after : c.before);
        LEDSeverity severity = ledUNKNOWN;
        int in = -1;
        ASSERT_EQ(GetSlotState(0, unsigned(i), &severity, &in), 0u);
        EXPECT_EQ(severity, c.readBack);
        EXPECT_EQ(in, c.inserted ? 1 : 0);
    }
    // By a drive's address: the slot of target 2 on the enclosure's channel.
    ASSERT_EQ(AdjustTargetState(SCSIAddressType{2, 0, 0}, ledWARNING), 0u);
    LEDSeverity severity = ledUNKNOWN;
    ASSERT_EQ(GetTargetState(SCSIAddressType{2, 0, 0}, &severity, nullptr), 0u);
    EXPECT_EQ(severity, ledWARNING);
    EXPECT_EQ(GetTargetState(SCSIAddressType{12, 0, 0}, &severity, nullptr), ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(GetTargetState(SCSIAddressType{2, 1, 0}, &severity, nullptr), ERR_ADAPTER_NOT_FOUND);
    EXPECT_EQ(AdjustSlotState(3, 0, ledNORMAL), ERR_ADAPTER_NOT_FOUND);
}

TEST_F(Safte, StatusIsReusedBelow300And15000Milliseconds)
{
    serveSlots({{0, true}, {1, true}});
    build();
    // A change reads the status when it is 15 s old and re-reads it when 300 ms old; a state
    // question re-reads only at 15 s. The clock starts just short of a second boundary.
    nowMs = 999;
    enum Op { Change, Ask };
    struct Step {
        Op op;
        uint64_t advanceMs;
        size_t reads;   // buffer 4 reads so far
    };
    const Step steps[] = {
        {Change, 0, 1},   {Change, 100, 1},   {Change, 199, 1},  {Change, 1, 2},
        {Ask, 14999, 2},  {Ask, 1, 3},        {Change, 299, 3},  {Change, 1700, 4},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        nowMs += steps[i].advanceMs;
        if (steps[i].op == Change)
            ASSERT_EQ(AdjustSlotState(0, unsigned(i % 2), i % 4 ? ledWARNING : ledNORMAL), 0u);
        else
            ASSERT_EQ(GetSlotState(0, 0, nullptr, nullptr), 0u);
        EXPECT_EQ(slotReads(kSg), steps[i].reads);
    }
}

TEST_F(Safte, FailedSlotWriteIsNotReadBackAsTheEnclosuresState)
{
    serveSlots({{0, true}});
    build();
    ASSERT_EQ(GetSlotState(0, 0, nullptr, nullptr), 0u);
    control({{"op", "scsiCheckCondition"}, {"sg", kSg}, {"key", 5}, {"asc", 0x26}, {"count", 1}});
    EXPECT_NE(AdjustSlotState(0, 0, ledFAILURE), 0u);
    LEDSeverity severity = ledUNKNOWN;
    ASSERT_EQ(GetSlotState(0, 0, &severity, nullptr), 0u);
    EXPECT_EQ(severity, ledNORMAL);
}

TEST_F(Safte, LedTestWritesThreeBlocksWithPausesBetween)
{
    serveSlots({{0, true}, {1, false}});
    build();
    ASSERT_EQ(LEDTestPattern(0), 0u);
    const auto writes = commands(kSg, {0x3B});
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].dataOut, (Bytes{0x10, 0x02, 0, 0, 0x02, 0, 0}));
    EXPECT_EQ(writes[1].dataOut, (Bytes{0x10, 0x42, 0, 0, 0x42, 0, 0}));
    EXPECT_EQ(writes[2].dataOut, (Bytes{0x10, 0x01, 0, 0, 0x01, 0, 0}));
    EXPECT_EQ(sleeps, (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(400),
                                                             std::chrono::milliseconds(400)}));
    EXPECT_EQ(LEDTestPattern(1), ERR_DEVICE_NOT_FOUND);
    // Releasing with a reset clears fault and predicted fault everywhere.
    ASSERT_EQ(AdjustSlotState(0, 0, ledFAILURE), 0u);
    EXPECT_EQ(ReleaseSAFteList(1), 0u);
    EXPECT_EQ(slots(kSg)[0].state[0], 0x00);
    EXPECT_EQ(GetSAFteInfo(0, nullptr), ERR_DEVICE_NOT_FOUND);
}

TEST_F(Safte, LocateSearchesTheIdsInItsOrder)
{
    struct Case {
        std::vector<int> ids;
        int found;   // -1: none
    };
    const Case cases[] = {{{6, 14}, 14}, {{0, 5}, 5}, {{13, 7}, 13}, {{7}, 7}, {{}, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ids.size());
        forgetScsiState();
        json targets = {disk(0, 0, 1, 0)};
        int sg = 1;
        for (int id : c.ids) targets.push_back(enclosure(0, id, sg++, "BACKPLANE", {}));
        serve({{"adapters", aicHosts(1)}, {"targets", targets}});
        unsigned id = 99;
        EXPECT_EQ(LocateSAFteCtlr(0, 0, &id), c.found < 0 ? ERR_ADAPTER_NOT_FOUND : 0u);
        if (c.found >= 0) {
            EXPECT_EQ(id, unsigned(c.found));
        }
    }
}

TEST_F(Safte, EnclosuresBehindRaidAdaptersNeedIncludeRaid)
{
    serveEnclosure(enclosure(0, 6, kSg, "BACKPLANE", {{0, true}}),
                   json::array({enclosure(1, 6, 3, "GEM318", {{0, true}})}), true);
    unsigned units = 0;
    ASSERT_EQ(BuildSAFteList(0, &units), 0u);
    EXPECT_EQ(units, 1u);
    CageDescType desc{};
    ASSERT_EQ(GetSAFteInfo(0, &desc), 0u);
    EXPECT_EQ(desc.idAdapter, 0);
    ReleaseSAFteList(0);
    ASSERT_EQ(BuildSAFteList(1, &units), 0u);
    EXPECT_EQ(units, 2u);
    ASSERT_EQ(GetSAFteInfo(1, &desc), 0u);
    EXPECT_EQ(desc.idAdapter, 1);
    EXPECT_EQ(desc.bType, bSAFteCheap);
}

} // namespace
} // namespace bayswap_test
