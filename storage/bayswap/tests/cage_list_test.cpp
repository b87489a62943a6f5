// The cage list over both backplane kinds: SAF-TE enclosures on the simulated SCSI bus and I2C
// modules on the simulated controller, placed on the channels whose drives they hold.
#include "bayswap_machine.h"
#include "cage_address.h"

#include <gtest/gtest.h>

#include <cstring>

namespace bayswap_test {
namespace {

// Drive-side expander inputs of a module whose switches give ids 1, 2, 3 (left, middle, right);
// a presence pin is low for a fitted drive.
constexpr uint8_t kIds123 = 0x3F;
constexpr uint8_t kLeft = 0x04, kMiddle = 0x02, kRight = 0x01;
constexpr uint8_t fitted(uint8_t bays) { return uint8_t(kIds123 & ~bays); }

class Cages : public BayswapMachine {
protected:
    unsigned discover()
    {
        unsigned cages = 99;
        EXPECT_EQ(DiscoverHSCages(&cages), 0u);
        return cages;
    }
    CageDescType desc(unsigned iCage)
    {
        CageDescType d{};
        EXPECT_EQ(HSCageGetDesc(iCage, &d), 0u);
        return d;
    }
};

TEST_F(Cages, DrivesWithoutEnclosureOrControllerGiveNoCage)
{
    serve({{"adapters", aicHosts(1)}, {"targets", {disk(0, 0, 0, 0), disk(0, 0, 1, 1)}}});
    EXPECT_EQ(discover(), 0u);
    EXPECT_EQ(HSCageGetDesc(0, nullptr), ERR_CAGE_NOT_FOUND);
    unsigned index = 0;
    EXPECT_EQ(HSGetMFCageIndex(0, 0, &index), ERR_CAGE_NOT_FOUND);
}

TEST_F(Cages, ModulesWithoutDrivesAreListedUnplaced)
{
    serve({{"adapters", json::array()}, {"targets", json::array()}});
    serveModules({{0, fitted(kLeft)}, {1, fitted(kLeft | kMiddle)}});
    ASSERT_EQ(discover(), 2u);
    for (unsigned i = 0; i < 2; ++i) {
        const CageDescType d = desc(i);
        EXPECT_EQ(d.bType, bMF1);
        EXPECT_EQ(d.idAdapter, 0xFF);
        EXPECT_EQ(d.idChannel, 0xFF);
    }
    // The first Mirrafin-family cage fixes the type: the second such cage is position 1.
    unsigned index = 9;
    EXPECT_EQ(HSGetMFCageIndex(1, bMFAny, &index), 0u);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(HSGetMFCageIndex(0, bSAFteAny, &index), ERR_CAGE_NOT_FOUND);
}

TEST_F(Cages, AmbiguousCageIsPlacedOnceTheOtherClaimedItsChannel)
{
    // Channel X (host 0) shows ids 1 and 2, channel Y (host 1) ids 1 and 3. Module 0 holds only
    // id 1: it fits both and is left for the second pass. Module 1 holds 1 and 2: exactly X.
    // Module 2 holds nothing and is never placed.
    serve({{"adapters", aicHosts(2)},
           {"targets", {disk(0, 0, 1, 0), disk(0, 0, 2, 1), disk(1, 0, 1, 2), disk(1, 0, 3, 3)}}});
    serveModules({{0, fitted(kLeft)}, {1, fitted(kLeft | kMiddle)}, {2, kIds123}});
    ASSERT_EQ(discover(), 3u);
    struct Expected {
        uint8_t adapter, channel;
    };
    const Expected expected[] = {{1, 0}, {0, 0}, {0xFF, 0xFF}};
    for (unsigned i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const CageDescType d = desc(i);
        EXPECT_EQ(d.idAdapter, expected[i].adapter);
        EXPECT_EQ(d.idChannel, expected[i].channel);
    }
}

TEST_F(Cages, SeventeenthCageIsNotAdded)
{
    // Thirteen enclosures (the adapter itself is id 7) and four modules.
    json targets = json::array();
    const int ids[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13};
    for (int sg = 0; sg < 13; ++sg) targets.push_back(enclosure(0, ids[sg], sg, "BACKPLANE", {{ids[sg], true}}));
    serve({{"adapters", aicHosts(1)}, {"targets", targets}});
    serveModules({{0, kIds123}, {1, kIds123}, {2, kIds123}, {3, kIds123}});
    ASSERT_EQ(discover(), 16u);
    EXPECT_EQ(desc(12).cageAddr, MakeCageAddr(SCSIAddressType{13, 0, 0}));
    EXPECT_EQ(desc(15).cageAddr, 0x4B);   // the module at the third position; the fourth is dropped
}

TEST_F(Cages, DescriptorsAreReadAtMostOnceIn15Seconds)
{
    // Host 0: the enclosure at 6 with slots for ids 0, 1, 2; host 1: the disks of module 0.
    serve({{"adapters", aicHosts(2)},
           {"targets",
            {enclosure(0, 6, 0, "BACKPLANE", {{0, true}, {1, true}, {2, false}}), disk(1, 0, 1, 1), disk(1, 0, 2, 2)}}});
    serveModules({{0, fitted(kLeft | kMiddle)}});
    ASSERT_EQ(discover(), 2u);

    // Byte for byte, as the service sends them on.
    const uint8_t safte[72] = {0x86, 0x00, 3, 0, 0, 0, 0x10, 0, 0, 1, 0, 0, 1, 1, 1, 0, 2, 0, 2, 0};
    const CageDescType enclosureCage = desc(0);
    EXPECT_EQ(std::memcmp(&enclosureCage, safte, sizeof safte), 0);
    const uint8_t module[20] = {0x4F, 0x00, 3, 0, 1, 0, bMF1, 0, 1, 1, 1, 0, 2, 1, 2, 0, 3, 0, 3, 0};
    const CageDescType moduleCage = desc(1);
    EXPECT_EQ(std::memcmp(&moduleCage, module, sizeof module), 0);

    clearJournal();
    const size_t i2cBefore = controller.journal().size();
    nowMs += 14999;
    desc(0);
    desc(1);
    EXPECT_EQ(slotReads(0), 0u);
    EXPECT_EQ(controller.journal().size(), i2cBefore);
    nowMs += 1;
    desc(0);
    desc(1);
    desc(0);
    desc(1);
    EXPECT_EQ(slotReads(0), 1u);
    const size_t i2cAfter = controller.journal().size();
    EXPECT_GT(i2cAfter, i2cBefore);
    nowMs += 14999;
    desc(1);
    EXPECT_EQ(controller.journal().size(), i2cAfter);
    // The re-read module keeps the channel it was placed on.
    EXPECT_EQ(desc(1).idAdapter, 1);
}

TEST_F(Cages, LedLevelsPerCageType)
{
    serve({{"adapters", aicHosts(1)},
           {"targets", {enclosure(0, 5, 0, "GEM318", {{0, true}}), enclosure(0, 6, 1, "SAFTE; U160/M BP", {{1, true}})}}});
    serveModules({{0, fitted(kLeft | kMiddle | kRight)}});
    ASSERT_EQ(discover(), 3u);
    ASSERT_EQ(desc(0).bType, bSAFteCheap);
    ASSERT_EQ(desc(1).bType, bMF3);
    struct Case {
        unsigned cage, bay, level;
        ErrorType status;
        int sg;            // enclosure whose slot 0 is checked, -1 the module's LED byte
        uint8_t shown;
    };
    const Case cases[] = {
        {0, 0, 1, 0, 0, 0x02},                    // this model shows a warning as a failure
        {1, 0, 1, 0, 1, 0x40},
        {0, 0, 0, 0, 0, 0x01},
        {1, 0, 2, 0, 1, 0x42},
        {1, 0, 3, ERR_INDEX_OUT_OF_RANGE, 1, 0x42},
        {0, 1, 0, ERR_INDEX_OUT_OF_RANGE, 0, 0x01},
        {2, 0, 1, 0, -1, 0xFB},                   // left bay yellow
        {2, 2, 5, 0, -1, 0xFA},                   // any level but 0 is yellow
        {2, 0, 0, 0, -1, 0xFE},
        {3, 0, 0, ERR_CAGE_NOT_FOUND, -1, 0xFE},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        nowMs += 1000;
        const size_t writes = slotWrites(0) + slotWrites(1);
        EXPECT_EQ(HSCageAdjustLED(c.cage, c.bay, c.level), c.status);
        if (c.status != 0) {
            EXPECT_EQ(slotWrites(0) + slotWrites(1), writes);
        }
        if (c.sg >= 0) {
            EXPECT_EQ(slots(c.sg)[0].state[0], c.shown);
        } else {
            EXPECT_EQ(controller.expanderLatch(0x7E), c.shown);
        }
    }
}

TEST_F(Cages, PositionsByTypeAndByDrive)
{
    // Host 0: enclosures at 4 (type 19; slots for ids 0, empty, and 1), 5 (type 16; id 0) and 6
    // (type 48; id 2). Host 1: the disks of module 0; module 1 holds nothing.
    serve({{"adapters", aicHosts(2)},
           {"targets",
            {enclosure(0, 4, 0, "SAFTE; U160/M BP", {{0, false}, {1, true}}), enclosure(0, 5, 1, "BACKPLANE", {{0, true}}),
             enclosure(0, 6, 2, "GEM318", {{2, true}}), disk(1, 0, 1, 3), disk(1, 0, 2, 4)}}});
    serveModules({{0, fitted(kLeft | kMiddle)}, {1, kIds123}});
    ASSERT_EQ(discover(), 5u);

    struct ByType {
        unsigned nth;
        int type;
        ErrorType status;
        unsigned index;
    };
    const ByType byType[] = {
        {0, bSAFteAny, 0, 0}, {2, bSAFteAny, 0, 2}, {3, bSAFteAny, ERR_CAGE_NOT_FOUND, 0},
        {0, bMFAny, 0, 0},    // the first Mirrafin-family cage is the type-19 enclosure
        {1, bMFAny, ERR_CAGE_NOT_FOUND, 0},
        {0, bMF1, 0, 3},      {1, bMF1, 0, 4},      {2, bMF1, ERR_CAGE_NOT_FOUND, 0},
        {1, bSAFteCheap, 0, 1},   // a SAF-TE type without Mirrafin bits counts every SAF-TE cage
        {0, 0x113, 0, 0},
    };
    for (const ByType& c : byType) {
        SCOPED_TRACE(testing::Message() << c.nth << " of type " << c.type);
        unsigned index = 99;
        EXPECT_EQ(HSGetMFCageIndex(c.nth, c.type, &index), c.status);
        if (c.status == 0) {
            EXPECT_EQ(index, c.index);
        }
    }

    struct ByDrive {
        SCSIAddressType address;   // target, channel, adapter
        ErrorType status;
        unsigned index;
    };
    const ByDrive byDrive[] = {
        {{0, 0, 0}, 0, 1},                       // cage 0 has a slot for id 0, but empty
        {{1, 0, 0}, 0, 0}, {{2, 0, 0}, 0, 2},    {{9, 0, 0}, ERR_CAGE_NOT_FOUND, 0},
        {{1, 1, 0}, ERR_CAGE_NOT_FOUND, 0},      {{2, 0, 1}, 0, 3},
    };
    for (const ByDrive& c : byDrive) {
        SCOPED_TRACE(testing::Message() << int(c.address.idAdapter) << ":" << int(c.address.idChannel) << ":"
                                        << int(c.address.idTarget));
        unsigned index = 99;
        EXPECT_EQ(HSGetDeviceCageIndex(c.address, &index), c.status);
        if (c.status == 0) {
            EXPECT_EQ(index, c.index);
        }
    }
}

TEST_F(Cages, WithoutMirrafinCagesThePositionAskedForIsGivenBack)
{
    serve({{"adapters", aicHosts(1)},
           {"targets", {enclosure(0, 5, 0, "BACKPLANE", {{0, true}}), enclosure(0, 6, 1, "K3817C", {{1, true}})}}});
    ASSERT_EQ(discover(), 2u);
    unsigned index = 99;
    EXPECT_EQ(HSGetMFCageIndex(1, bMFAny, &index), 0u);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(HSGetMFCageIndex(2, bMFAny, &index), ERR_CAGE_NOT_FOUND);
}

} // namespace
} // namespace bayswap_test
