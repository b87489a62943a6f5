// The simulated SAF-TE enclosure processor: its identity, the three read buffers, the one write
// it accepts and the slot controls.
#include "scsi_simulator.h"

#include <temp_root.h>

#include <gtest/gtest.h>

namespace qv::sim::scsi {
namespace {

using nlohmann::json;

SimulatedTarget enclosureTarget(json extra = json::object())
{
    json t = {{"id", 6},
              {"kind", "enclosure"},
              {"product", "BACKPLANE"},
              {"fans", 2},
              {"powerSupplies", 1},
              {"slots", {{{"id", 0}, {"inserted", true}}, {{"id", 3}}}}};
    t.update(extra);
    return SimulatedTarget(targetFromJson(t));
}

Bytes readBuffer(uint8_t buffer, uint8_t length, uint8_t mode = 1)
{
    return {0x3C, mode, buffer, 0, 0, 0, 0, 0, length, 0};
}

TEST(SafteEnclosure, IdentityAndReadBuffers)
{
    SimulatedTarget target = enclosureTarget();
    const Bytes inquiry = target.inquiryData();
    EXPECT_EQ(inquiry[0], 0x03);
    EXPECT_EQ(std::string(inquiry.begin() + 44, inquiry.begin() + 50), "SAF-TE");

    const CommandOutcome config = target.execute(readBuffer(0, 64), {});
    ASSERT_EQ(config.dataIn.size(), 64u);
    EXPECT_EQ((Bytes{config.dataIn[0], config.dataIn[1], config.dataIn[2]}), (Bytes{2, 1, 2}));
    // Fans, supply, then each slot's id; cut to the allocation length.
    EXPECT_EQ(target.execute(readBuffer(1, 5), {}).dataIn, (Bytes{0, 0, 0, 0, 3}));
    EXPECT_EQ(target.execute(readBuffer(4, 200), {}).dataIn, (Bytes{1, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(target.execute(readBuffer(2, 64), {}).status, kStatusCheckCondition);
    EXPECT_EQ(target.execute(readBuffer(0, 64, 2), {}).status, kStatusCheckCondition);

    SimulatedTarget plain = enclosureTarget({{"safte", false}});
    const Bytes plainInquiry = plain.inquiryData();
    EXPECT_NE(std::string(plainInquiry.begin() + 44, plainInquiry.begin() + 50), "SAF-TE");
    EXPECT_EQ(plain.execute(readBuffer(0, 64), {}).status, kStatusCheckCondition);
}

TEST(SafteEnclosure, OnlyAWholeSlotStatusWriteIsAccepted)
{
    struct Case {
        Bytes cdb;
        Bytes data;
        bool accepted;
    };
    const Bytes block{0x10, 0x02, 0, 0, 0x40, 0, 0};
    const Case cases[] = {
        {{0x3B, 1, 0, 0, 0, 0, 0, 0, 7, 0}, block, true},
        {{0x3B, 1, 0, 0, 0, 0, 0, 0, 4, 0}, Bytes(block.begin(), block.begin() + 4), false},   // one slot
        {{0x3B, 1, 0, 0, 0, 0, 0, 0, 7, 0}, Bytes{0x11, 0, 0, 0, 0, 0, 0}, false},             // other action
        {{0x3B, 1, 1, 0, 0, 0, 0, 0, 7, 0}, block, false},                                     // buffer id 1
        {{0x3B, 2, 0, 0, 0, 0, 0, 0, 7, 0}, block, false},                                     // mode 2
    };
    for (const Case& c : cases) {
        SimulatedTarget target = enclosureTarget();
        EXPECT_EQ(target.execute(c.cdb, c.data).status, c.accepted ? kStatusGood : kStatusCheckCondition);
        EXPECT_EQ(target.enclosure().slots()[1].state[0], c.accepted ? 0x40 : 0x00);
    }
}

TEST(SafteEnclosure, SlotControls)
{
    qv::test::TempRoot root;
    ScsiSimulator simulator;
    simulator.loadScenario({{"scsi",
                             {{"adapters", {{{"host", 0}, {"driver", "aic7xxx"}}}},
                              {"targets", {{{"host", 0}, {"id", 6}, {"sg", 0}, {"kind", "enclosure"},
                                            {"slots", {{{"id", 0}}}}}}}}}});
    json answer;
    ASSERT_TRUE(simulator.handleControl({{"op", "scsiSafteSlot"}, {"sg", 0}, {"slot", 0}, {"inserted", true}, {"id", 9}},
                                        answer));
    EXPECT_EQ(answer, (json{{"ok", true}}));
    ASSERT_TRUE(simulator.handleControl({{"op", "scsiSafteSlots"}, {"sg", 0}}, answer));
    EXPECT_EQ(answer["slots"], (json::array({{{"id", 9}, {"inserted", true}, {"state", {0, 0, 0}}}})));
    ASSERT_TRUE(simulator.handleControl({{"op", "scsiSafteSlot"}, {"sg", 0}, {"slot", 1}, {"inserted", true}}, answer));
    EXPECT_FALSE(answer["ok"].get<bool>());
}

} // namespace
} // namespace qv::sim::scsi
