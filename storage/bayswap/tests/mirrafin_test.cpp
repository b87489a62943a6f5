// I2C backplane modules on the in-process simulated controller: discovery, the SCSI ids of the
// address switches, presence, bay LEDs and the output shadow.
#include "mirrafin.h"

#include "controller_simulator.h"
#include "temp_root.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <mgmtctl.h>

namespace {

using nlohmann::json;

struct ModuleSetup {
    int position = 0;          // 0 to 3
    uint8_t driveSide = 0xFF;  // input pins of the drive-side expander
};

class Mirrafin : public ::testing::Test {
protected:
    void SetUp() override { sim_.start(); }
    void TearDown() override { sim_.stop(); }

    void load(const std::vector<ModuleSetup>& modules)
    {
        static const int kA[] = {0x7E, 0x7C, 0x7A, 0x78};
        static const int kDrive[] = {0x4E, 0x4C, 0x4A, 0x48};
        json i2c = json::array();
        for (const ModuleSetup& m : modules) {
            i2c.push_back({{"kind", "pcf8574"}, {"address", kA[m.position]}, {"inputs", 0xFF}});
            i2c.push_back({{"kind", "pcf8574"}, {"address", kDrive[m.position]}, {"inputs", m.driveSide}});
        }
        sim_.loadScenario(json{{"i2c", i2c}});
    }
    // Fails the next I2C write with "not acknowledged".
    void failNextWrite() { sim_.injectCompletionCode(0x06, 0x50, 0x05, 1); }

    qv::test::TempRoot root_;
    qv::sim::ControllerSimulator sim_;
};

TEST_F(Mirrafin, AddressSwitchesGiveTheBaysTheirIds)
{
    struct Case {
        uint8_t switches;   // drive-side bits 4 (high8_addr) and 5 (lo_mdrv_addr)
        uint8_t left, middle, right;
    };
    const Case cases[] = {{0x00, 9, 8, 11}, {0x10, 1, 0, 3}, {0x20, 9, 10, 11}, {0x30, 1, 2, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.switches));
        load({{2, static_cast<uint8_t>(0xCF | c.switches)}});
        unsigned modules = 0;
        ASSERT_EQ(MFInit(&modules), 0u);
        ASSERT_EQ(modules, 1u);
        CageDescType cage{};
        ASSERT_EQ(GetCageDesc(&cage, 0), 0u);
        EXPECT_EQ(cage.cageAddr, 0x4B);
        EXPECT_EQ(cage.rgBays[0].idTarget, c.left);
        EXPECT_EQ(cage.rgBays[1].idTarget, c.middle);
        EXPECT_EQ(cage.rgBays[2].idTarget, c.right);
    }
}

TEST_F(Mirrafin, DiscoveryInitialisesEachModuleAndDescribesItsBays)
{
    // Module 0: left and right drives present (pins low), switches for ids 1, 2, 3. Module 3: no
    // drive, local switch set. Modules 1 and 2 are not fitted.
    load({{0, 0x3A}, {3, 0xFF}});
    unsigned modules = 0;
    ASSERT_EQ(MFInit(&modules), 0u);
    ASSERT_EQ(modules, 2u);
    // The drive-side output keeps the switches and releases presence and monitor pins; with the
    // local switch read set it is all ones. The A expander: all LEDs green, defaults.
    EXPECT_EQ(sim_.expanderLatch(0x4E), 0x3F);
    EXPECT_EQ(sim_.expanderLatch(0x48), 0xFF);
    EXPECT_EQ(sim_.expanderLatch(0x7E), 0xFF);
    EXPECT_EQ(sim_.expanderLatch(0x78), 0xFF);

    CageDescType cage{};
    ASSERT_EQ(GetCageDesc(&cage, 0), 0u);
    const uint8_t expected[12] = {1, 1, 1, 0, 2, 0, 2, 0, 3, 1, 3, 0};   // id, present, location
    EXPECT_EQ(std::memcmp(cage.rgBays, expected, sizeof expected), 0);
    EXPECT_EQ(cage.nBays, 3);
    EXPECT_EQ(cage.idAdapter, 0xFF);
    EXPECT_EQ(cage.idChannel, 0xFF);
    EXPECT_EQ(cage.bType, bMF1);
    ASSERT_EQ(GetCageDesc(&cage, 1), 0u);
    EXPECT_EQ(cage.cageAddr, 0x49);
    EXPECT_EQ(cage.rgBays[0].bPresent, 0);

    CageInfoType info{};
    EXPECT_EQ(GetCageInfo(&info, 5), static_cast<ErrorType>(kMfModuleUnknown));
    EXPECT_EQ(info.nBays, 0);
    EXPECT_EQ(GetCageDesc(&cage, 2), static_cast<ErrorType>(kMfModuleUnknown));
    EXPECT_EQ(cage.nBays, 0);
}

TEST_F(Mirrafin, BayLedsFollowTheTargetAndUnknownTargetsWriteNothing)
{
    load({{0, 0x3F}});
    ASSERT_EQ(MFInit(nullptr), 0u);
    EXPECT_EQ(MFPowerLightYellow(1, 0x4F), 0u);   // left
    EXPECT_EQ(sim_.expanderLatch(0x7E), 0xFB);
    EXPECT_EQ(MFPowerLightYellow(3, 0x4F), 0u);   // right
    EXPECT_EQ(sim_.expanderLatch(0x7E), 0xFA);
    EXPECT_EQ(MFPowerLightGreen(1, 0x4F), 0u);
    EXPECT_EQ(sim_.expanderLatch(0x7E), 0xFE);
    EXPECT_EQ(MirrafinShadow(0)->u[kPortA], 0xFE);

    EXPECT_EQ(MFPowerLightYellow(9, 0x4F), static_cast<ErrorType>(kMfTargetNotInModule));
    EXPECT_EQ(MFPowerLightYellow(1, 0x4D), static_cast<ErrorType>(kMfModuleUnknown));
    EXPECT_EQ(sim_.expanderLatch(0x7E), 0xFE);

    unsigned count = 0;
    P8574 module = MirrafinModules(&count)[0];
    ASSERT_EQ(MF_GetI2CBus(), 0);
    EXPECT_EQ(MF_SetDrivePowerOFF(&module, 7), 0);   // any other drive: all three
    EXPECT_EQ(sim_.expanderLatch(0x7E), 0xF8);
    EXPECT_EQ(MF_SetModuleTempWarning(&module), 0);
    EXPECT_EQ(sim_.expanderLatch(0x7E), 0xE8);
    P8574 stranger{0x11, 0x13, {0, 0}};
    EXPECT_EQ(MF_InitMirrafin(&stranger), kMfNotInShadow);
    EXPECT_EQ(MF_ReleaseI2CBus(), 0);
}

TEST_F(Mirrafin, FailedWriteKeepsTheShadowUntilTheNextBusOpen)
{
    load({{0, 0x3F}});
    ASSERT_EQ(MFInit(nullptr), 0u);
    failNextWrite();
    EXPECT_EQ(MFPowerLightYellow(2, 0x4F), 8u);
    EXPECT_EQ(sim_.expanderLatch(0x7E), 0xFF);
    EXPECT_EQ(MirrafinShadow(0)->u[kPortA], 0xFF);
    // The controller library recorded the byte before sending it: the next open loads it.
    ASSERT_EQ(MF_GetI2CBus(), 0);
    EXPECT_EQ(MirrafinShadow(0)->u[kPortA], 0xFD);
    EXPECT_EQ(MF_ReleaseI2CBus(), 0);
}

TEST_F(Mirrafin, NoModuleAnsweringIsStatus20)
{
    load({});
    unsigned modules = 7;
    EXPECT_EQ(MFInit(&modules), static_cast<ErrorType>(kMfNoModule));
    EXPECT_EQ(modules, 7u);
    CageDescType cage{};
    EXPECT_EQ(GetCageDesc(&cage, 0), static_cast<ErrorType>(kMfModuleUnknown));
}

TEST(MirrafinHelpers, TablesAndLookups)
{
    const SCSI_TBL tbl{1, 2, 3};
    EXPECT_FALSE(IDFound(&tbl, 2));
    EXPECT_TRUE(IDFound(&tbl, 4));
    EXPECT_EQ(DriveConst(&tbl, 1), 1);
    EXPECT_EQ(GetBayLocation(&tbl, 3), 3);
    const SCSI_TBL same{8, 8, 8};   // left is tested first by one, right by the other
    EXPECT_EQ(DriveConst(&same, 8), 1);
    EXPECT_EQ(GetBayLocation(&same, 8), 3);
    const P8574 module{0x7F, 0x4F, {0xFF, 0xFA}};
    EXPECT_EQ(DriveExists(1, &module), 0);
    EXPECT_NE(DriveExists(2, &module), 0);
    EXPECT_EQ(DriveExists(3, &module), 0);
    EXPECT_EQ(DriveExists(4, &module), 0);
    char oem[8], letter = 0, major = 0, minor = 9, device = 0;
    MF_GetDriverVersion(oem, &letter, &major, &minor, &device);
    EXPECT_EQ(std::string(oem, 8), "QV      ");
    EXPECT_EQ(letter, 'A');
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(device, 1);
}

} // namespace
