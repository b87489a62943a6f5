#include "diskbus_machine.h"

#include "ami_adapter.h"
#include "raid_info.h"
#include "raid_query.h"
#include "scsi_adapter.h"

#include <scsi_payload.h>

#include <cstring>
#include <fstream>

namespace diskbus_test {
namespace {

constexpr SCSIAddressType address(unsigned target, unsigned channel, unsigned adapter) {
    return {static_cast<uint8_t>(target), static_cast<uint8_t>(channel), static_cast<uint8_t>(adapter)};
}

TEST(RaidRules, ControllerStatusMapsToTheLogicalDriveState) {
    const LDState expected[] = {LDOffLine, LDDegraded, LDOnLine, LDOnLine, LDFailed, LDRebuild,
                                LDStandby, LDRebuild, LDOnLine, LDUnknown, LDUnknown};
    for (uint8_t status = 0; status < std::size(expected); ++status)
        EXPECT_EQ(MapLDStatus(status), expected[status]) << int(status);
    EXPECT_EQ(MapLDStatus(0xFF), LDUnknown);
}

TEST(RaidRules, UsableSizeByLevel) {
    struct Case { int level; unsigned disks; uint32_t blocks, usable; };
    for (const Case& c : {Case{5, 4, 4000, 3000}, Case{1, 4, 4000, 2000}, Case{6, 2, 4000, 2000},
                          Case{3, 3, 3000, 2000}, Case{0, 4, 4000, 4000}, Case{5, 0, 4000, 4000}}) {
        LDInfoType info{c.level, LDOnLine, c.blocks};
        AdjustLDSize(&info, c.disks);
        EXPECT_EQ(info.nBlocks, c.usable) << "level " << c.level << ", " << c.disks << " disks";
    }
}

TEST(RaidRules, VersionTextsAndProductNames) {
    char text[16];
    const uint8_t firmware[4] = {'A', '1', 0x04, 0x02};
    FormatRaidVersion(firmware, text);
    EXPECT_EQ(std::string(text, 2), std::string("\x02\x04"));
    EXPECT_STREQ(text + 2, ".49.41");
    const uint8_t plain[4] = {0x62, 0x01, '1', 'H'};
    FormatRaidVersion(plain, text);
    EXPECT_STREQ(text, "H1.01.62");

    struct Case { uint8_t bytes[4]; const char* name; };
    const Case cases[] = {{{'3', 'A', 0, 0}, "QV Stratavol"},           {{'C', 0, 0, 0}, "QV Stratavol-3si"},
                          {{'1', '2', 'D', 'E'}, "Integrated Stratavol I"}, {{'E', 0, 0, 0}, "Integrated Stratavol II"},
                          {{'F', 0, 0, 0}, "QV Stratavol-1si"},        {{0, 0, 0, 'H'}, "QV Stratavol-1/2M"},
                          {{'S', 0, 0, 0}, "QV Stratavol"},            {{'W', 0, 0, 0}, "QV Stratavol-3si"},
                          {{'x', 'y', 'z', '9'}, "QV Stratavol"}};
    for (const Case& c : cases)
        EXPECT_STREQ(ProductName8(BoardId8(c.bytes)), c.name) << c.bytes[0];
    const uint8_t noLetter[4] = {'7', 'c', 0, 0};
    EXPECT_EQ(BoardId8(noLetter), '7');
}

class RaidTest : public DiskbusMachine, public ::testing::WithParamInterface<const char*> {
protected:
    bool kernel22() const { return std::string(GetParam()).rfind("2.2", 0) == 0; }
    std::string commandForm() const { return kernel22() ? "megaraid22-command" : "megaraid-command"; }
    // The controller's management commands so far, as {command, parameter, status}.
    std::vector<Bytes> commands() {
        std::vector<Bytes> out;
        for (const auto& r : journal())
            if (r.form == commandForm())
                out.push_back({r.cdb[0], r.cdb[1], r.status});
        return out;
    }
};

TEST_P(RaidTest, FortyDriveCardIsDetectedByItsProductData) {
    serve(machineScenario(40), GetParam());
    int info[2] = {};
    ASSERT_EQ(GetRAIDInfo(1, info), 0u);
    EXPECT_EQ(info[0], 2);
    EXPECT_EQ(info[1], 64);
    EXPECT_EQ(commands(), (std::vector<Bytes>{{0xA1, 0x0E, 0}, {0xA1, 0x04, 0}}));
    char firmware[16], bios[4];
    ASSERT_EQ(GetRAIDVersions(1, firmware, sizeof firmware, bios, sizeof bios), 0u);
    EXPECT_STREQ(firmware, "H1.01.62");
    EXPECT_STREQ(bios, "G3.");
    CScsiAdapter* adapter = FindAdapter(kAdapterClassNone, 1);
    EXPECT_EQ(adapter->idBoard, 4660u);
    EXPECT_STREQ(adapter->szProduct, "QV Stratavol Elite 1600");

    LogDriveInfoType drive{};
    ASSERT_EQ(GetLDInfo(address(0, 0, 1), &drive), 0u);   // the kernel's sg4
    EXPECT_EQ(drive.info.iRaidLevel, 5);
    EXPECT_EQ(drive.info.status, LDOnLine);
    EXPECT_EQ(drive.info.nBlocks, 3000u);
    ASSERT_EQ(drive.map.nDisks, 4);
    EXPECT_TRUE(drive.map.rgDisk[3] == address(3, 0, 1));
    ASSERT_EQ(GetLDInfo(address(1, 0, 1), &drive), 0u);
    EXPECT_EQ(drive.info.iRaidLevel, 1);
    EXPECT_EQ(drive.info.nBlocks, 1000u);
    ASSERT_EQ(drive.map.nDisks, 2);
    EXPECT_TRUE(drive.map.rgDisk[1] == address(1, 1, 1));
    EXPECT_EQ(GetLDInfo(address(5, 0, 1), &drive), ERR_LD_NOT_FOUND);

    int level = 0, state = 0;
    EXPECT_EQ(GetDiskRaidLevel(address(0, 1, 1), &level), 0u);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(GetDiskRaidStatus(address(0, 1, 1), &state), 0u);
    EXPECT_EQ(state, LDOnLine);
    EXPECT_EQ(GetDiskRaidLevel(address(9, 0, 1), &level), 0u);
    EXPECT_EQ(level, kNoRaidLevel);
    EXPECT_EQ(GetLDRaidInfo(address(1, 0, 1), &level), 0u);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(GetLDRaidInfo(address(7, 0, 1), &level), 0u);
    EXPECT_EQ(level, kNoRaidLevel);

    SCSIAddressType disks[kMaxMapDisks];
    unsigned count = 0;
    EXPECT_EQ(GetLDDiskList(address(0, 0, 1), &count, disks), 0u);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(GetLDDiskList(address(7, 0, 1), &count, disks), ERR_LD_NOT_FOUND);
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(disks[0] == address(7, 0, 1));
}

TEST_P(RaidTest, EightDriveCardFallsBackToTheEnquiry) {
    serve(machineScenario(8), GetParam());
    int info[2] = {};
    ASSERT_EQ(GetRAIDInfo(1, info), 0u);
    EXPECT_EQ(info[0], 2);
    EXPECT_EQ(info[1], 64);
    EXPECT_EQ(commands(), (std::vector<Bytes>{{0xA1, 0x0E, 1}, {5, 0, 0}, {7, 0, 0}}));
    CScsiAdapter* adapter = FindAdapter(kAdapterClassNone, 1);
    EXPECT_EQ(adapter->idBoard, static_cast<uint32_t>('H'));
    EXPECT_STREQ(adapter->szProduct, "QV Stratavol-1/2M");
    LogDriveInfoType drive{};
    ASSERT_EQ(GetLDInfo(address(0, 0, 1), &drive), 0u);
    EXPECT_EQ(drive.info.nBlocks, 3000u);
    EXPECT_TRUE(drive.map.rgDisk[2] == address(2, 0, 1));
}

TEST_P(RaidTest, ConfigurationIsReadAgainWhenFifteenSecondsOld) {
    serve(machineScenario(40), GetParam());
    int info[2];
    ASSERT_EQ(GetRAIDInfo(1, info), 0u);
    control({{"op", "scsiRaidDriveStatus"}, {"drive", 0}, {"status", 1}});
    clock += 14;
    int state = 0;
    ASSERT_EQ(GetDiskRaidStatus(address(2, 0, 1), &state), 0u);
    EXPECT_EQ(state, LDOnLine);
    EXPECT_EQ(commands().size(), 2u);
    clock += 1;
    ASSERT_EQ(GetDiskRaidStatus(address(2, 0, 1), &state), 0u);
    EXPECT_EQ(state, LDDegraded);
    EXPECT_EQ(commands().size(), 3u);   // the configuration only: the card stays known
}

TEST_P(RaidTest, PassThroughReachesMemberDisksOnlyThroughTheController) {
    serve(machineScenario(40), GetParam());
    ASSERT_EQ(BuildAdapterList(), 0u);
    CScsiAdapter* adapter = FindAdapter(kAdapterClassMegaRaid, 0);
    ASSERT_NE(dynamic_cast<CAMIScsiAdapter*>(adapter), nullptr);
    EXPECT_EQ(adapter->Channel(0)->maskTargets, 0x000F);   // the open scanned through the controller
    EXPECT_EQ(adapter->Channel(1)->maskDisks, 0x0003);
    simulator.bus().clearJournal();

    uint8_t* data = adapter->GetpDataRet(true);
    EXPECT_EQ(data - adapter->sdBuffer.pb, kernel22() ? 8 : 110);
    const uint8_t inquiry[6] = {0x12, 0, 0, 0, 36, 0};
    ASSERT_EQ(adapter->IssueDriveCmd(1, 1, inquiry, 6), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 8, 7), "SEAGATE");
    const uint8_t testUnitReady[6] = {};
    EXPECT_EQ(adapter->IssueDriveCmd(0, 9, testUnitReady, 6), SCSI_NO_DEVICE);   // 0xF0 from the controller

    for (unsigned i = 0; i < 512; ++i)
        data[i] = static_cast<uint8_t>(255 - i);
    const uint8_t write6[6] = {0x0A, 0, 0, 1, 1, 0};
    EXPECT_EQ(adapter->SendDriveData(0, 2, write6, 6), SCSI_CHECK_CONDITION);

    control({{"op", "scsiCheckCondition"}, {"raidChannel", 0}, {"raidTarget", 3}, {"key", 6}, {"asc", 0x29}});
    EXPECT_EQ(adapter->IssueDriveCmd(0, 3, testUnitReady, 6), SCSI_CHECK_CONDITION);
    sdType sense{};
    if (kernel22()) {
        EXPECT_FALSE(adapter->GetSenseData(&sense));
    } else {
        ASSERT_TRUE(adapter->GetSenseData(&sense));
        EXPECT_EQ(sense.cb, 32u);
        EXPECT_EQ(sense.pb[2] & 0x0F, 6);
        EXPECT_EQ(sense.pb[12], 0x29);
    }

    const auto records = journal();
    ASSERT_EQ(records.size(), 4u);
    const std::string form = kernel22() ? "megaraid22" : "megaraid";
    for (const auto& r : records)
        EXPECT_EQ(r.form, form);
    EXPECT_EQ(records[0].channel, 1);
    EXPECT_EQ(records[0].target, 1);
    EXPECT_EQ(records[0].cdb, Bytes(inquiry, inquiry + 6));
    EXPECT_EQ(records[1].status, 0xF0);
    EXPECT_EQ(records[2].direction, qv::devsock::scsi::kToDevice);
    ASSERT_EQ(records[2].dataOut.size(), 512u);
    EXPECT_EQ(records[2].dataOut[0], 255);
    EXPECT_EQ(records[2].dataOut[511], 0);
}

INSTANTIATE_TEST_SUITE_P(Kernels, RaidTest, ::testing::Values("2.4.20", "2.2.14-5.0"));

TEST_F(DiskbusMachine, NonRaidAdapterDisksAreOnlineWithoutLevel) {
    serve(machineScenario());
    int level = 0, state = 0;
    EXPECT_EQ(GetDiskRaidLevel(address(1, 0, 0), &level), 0u);
    EXPECT_EQ(level, kNoRaidLevel);
    EXPECT_EQ(GetDiskRaidStatus(address(1, 0, 0), &state), 0u);
    EXPECT_EQ(state, LDOnLine);
    int info[2];
    EXPECT_EQ(GetRAIDInfo(4, info), ERR_ADAPTER_NOT_FOUND);
}

TEST_F(DiskbusMachine, OldKernelWithoutControllerLineHasNoMegaRaidDevice) {
    serve(machineScenario(), "2.2.14-5.0");
    std::ofstream(root.at("/proc/scsi/scsi")) << "Attached devices: \nHost: scsi0 Channel: 00 Id: 00 Lun: 00\n";
    ASSERT_EQ(BuildAdapterList(), 0u);
    CScsiAdapter* adapter = FindAdapter(kAdapterClassMegaRaid, 0);
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(adapter->OpenAdapter(), ERR_ADAPTER_NOT_FOUND);
    int info[2];
    EXPECT_EQ(GetRAIDInfo(1, info), ERR_DEVICE_NOT_FOUND);   // the configuration read needs the device
}

TEST_F(DiskbusMachine, ControllerCountsAreBoundedByTheReplyLayout) {
    CScsiAdapter hba(1, 512);
    for (CardClass card : {LD8Capable, LD40Capable}) {
        CAMIRaidInfo raid;
        raid.pHBA = &hba;
        raid.card = card;
        ASSERT_NE(raid.AllocBuffer(), nullptr);
        std::memset(raid.Data(), 0xFF, raid.DataLength());   // 255 drives, spans and stripes
        ASSERT_EQ(raid.ReadConfigReply(), 0u);
        EXPECT_EQ(raid.nLogicalDrives, card == LD8Capable ? 8u : 40u);
        for (unsigned i = 0; i < raid.nLogicalDrives; ++i)
            EXPECT_LE(raid.prgLDs[i].nDisks, kMaxLDDisks);
    }
    CRaidInfo none;
    EXPECT_TRUE(none.GetLDAddr(7) == address(0, 0, 0));   // no logical drive: no division by zero
    EXPECT_EQ(none.GetLDInfo(0u, nullptr), ERR_LD_NOT_FOUND);
}

} // namespace
} // namespace diskbus_test
