// The disk library stand-in: the simulated server's inventory, results and callbacks as the
// control file sets them, and its journal.
#include "qvdiskctl_standin.h"

#include "scsi_bus.h"
#include "service_process.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

using qv::test::eventually;

std::atomic<long> g_activity{-1};
std::vector<unsigned long> g_firmware;
void onActivity(unsigned long code) { g_activity = static_cast<long>(code); }
void onFirmware(unsigned long code) { g_firmware.push_back(code); }

class DiskctlStandIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        qv::sim::scsi::ScsiBus bus;
        bus.load(qv::test::defaultScenario().at("scsi"));
        bus.writeDiskctlInventory();
    }
    std::string journal() const { return root_.exists("/journal") ? root_.readFile("/journal") : ""; }
    void control(const std::string& text) { root_.writeFile("/control", text); }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv journal_{kDiskctlJournalEnv, root_.at("/journal").c_str()};
    qv::test::ScopedEnv control_{kDiskctlControlEnv, root_.at("/control").c_str()};
};

TEST_F(DiskctlStandIn, InventoryNamesTheSimulatedAdaptersAndDrives)
{
    int drives = -1, adapters = -1;
    ASSERT_EQ(CountAdapterUnits(&drives, &adapters), 0);
    ASSERT_EQ(adapters, 2);
    ASSERT_EQ(drives, 2);   // the disks of the SCSI adapter; the RAID host's logical drives are not drives
    adapterInfo a[2]{};
    ASSERT_EQ(GetAllAdapterInfo(a), 0);
    EXPECT_EQ(+a[0].nPort, 0u);
    EXPECT_STREQ(a[0].pName, "aic7xxx");
    EXPECT_STREQ(a[0].pMfg, "Adaptec");
    EXPECT_EQ(+a[1].nClass, 1u);
    DriveConfigInfo d[2]{};
    ASSERT_EQ(GetAllDiskConfigInfo(d, 2), 0);
    EXPECT_EQ(+d[1].targetID, 1u);
    EXPECT_EQ(+d[0].nVendorNameID, 2);
    EXPECT_EQ(+d[1].nVendorNameID, 3);
    EXPECT_STREQ(d[0].pSerialNum, "3BV0KXYZ");
    EXPECT_STREQ(d[1].pProductID, "DDYS-T18350N");
    EXPECT_STREQ(d[1].pProductRev, "S96H");
    EXPECT_EQ(+d[1].fFound, 1);
    EXPECT_EQ(journal(), "CountAdapterUnits\nGetAllAdapterInfo\nGetAllDiskConfigInfo 2\n");
}

TEST_F(DiskctlStandIn, ResultsAreSetPerCallAndReadinessIsAlwaysWritten)
{
    control("result CountAdapterUnits 7\nresult GetDriveReadiness 3\nready 0\nresult MFAdjustPowerLED 9\n");
    int drives = -1;
    EXPECT_EQ(CountAdapterUnits(&drives, nullptr), 7);
    EXPECT_EQ(drives, -1);
    int ready = 5;
    EXPECT_EQ(GetDriveReadiness(1, 0, 0, 1, &ready), 3);
    EXPECT_EQ(ready, 0);
    EXPECT_EQ(MFAdjustPowerLED(1, 0x1C0, 1), 9);
    EXPECT_EQ(journal(), "CountAdapterUnits\nGetDriveReadiness 1 0 0 1\nMFAdjustPowerLED 1 448 1\n");
}

TEST_F(DiskctlStandIn, FlashEndsThroughTheActivityCallbackFromAnotherThread)
{
    control("activity_end 4\nactivity_delay_ms 10\nresult FlashActivityLightAllDrives 6\n");
    ASSERT_EQ(SetActivityCallback(onActivity), 0);
    g_activity = -1;
    EXPECT_EQ(FlashDriveActivityLight(1, 0, 0, 1, 3), 0);
    EXPECT_TRUE(eventually([] { return g_activity == 4; }, std::chrono::seconds(5)));
    g_activity = -1;
    EXPECT_EQ(FlashActivityLightAllDrives(1, 0, 0, 3), 6);   // refused: no end is reported
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(g_activity, -1);
    SetActivityCallback(nullptr);
}

TEST_F(DiskctlStandIn, UpdateReportsProgressThenItsCodeAndJournalsTheImage)
{
    control("firmware_progress 3\nfirmware_end 12\n");
    ASSERT_EQ(SetFirmwareCallback(onFirmware), 0);
    g_firmware.clear();
    const std::string image = "abc";
    EXPECT_EQ(UpdateDriveFWImage(1, 0, 0, 1, image.data(), 3), 0);
    EXPECT_EQ(g_firmware, (std::vector<unsigned long>{25, 50, 75, 12}));
    EXPECT_EQ(UpdateDriveFWImage(1, 0, 0, 1, nullptr, 3), EINVAL);
    EXPECT_EQ(UpdateDriveFWImage(1, 0, 0, 1, image.data(), kDiskctlMaxImage + 1), EINVAL);
    SetFirmwareCallback(nullptr);
    // FNV-1a of "abc"
    EXPECT_NE(journal().find("UpdateDriveFWImage 1 0 0 1 3 440920331\n"), std::string::npos) << journal();
}

} // namespace
