#include "scsi_interface_machine.h"
#include "drive_commands.h"
#include "drive_id.h"
#include "drive_readiness.h"
#include "qvdiskbus.h"
#include "scsi_lookup.h"
#include "volume_map.h"

#include <drive_pages.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace diskbus_test {
namespace {

TEST_F(ScsiInterfaceTest, InventoryIsCachedForThirtySeconds) {
    serveMachine();
    int adapters = 0, drives = 0;
    ASSERT_EQ(ScsiCountAllUnits(&adapters, &drives), 0u);
    EXPECT_EQ(adapters, 2);
    EXPECT_GE(drives, 6);
    simulator.bus().clearJournal();
    DriveInfoType all[32];
    EXPECT_EQ(ScsiCountAllUnits(nullptr, &drives), 0u);
    EXPECT_EQ(ScsiGetAllDrives(all, 32), 0u);
    EXPECT_TRUE(journal().empty()) << journal().size() << " commands within 30 s";
    clock += 30;
    EXPECT_EQ(ScsiCountAllUnits(nullptr, nullptr), 0u);
    EXPECT_FALSE(journal().empty());
}

TEST_F(ScsiInterfaceTest, DriveRecordsOfDiskCdromAndCopyLimits) {
    serveMachine();
    DriveInfoType all[40];
    std::memset(all, 0xEE, sizeof all);
    ASSERT_EQ(ScsiGetAllDrives(all, 0), 0u);
    EXPECT_EQ(all[0].disk.deviceType, 0xEE);
    int drives = 0;
    ScsiCountAllUnits(nullptr, &drives);
    ASSERT_EQ(ScsiGetAllDrives(all, 40), 0u);
    EXPECT_EQ(all[drives].disk.deviceType, 0xEE);
    DriveInfoType disk{}, cd{};
    ASSERT_EQ(ScsiGetDriveDetails(0, 0, 0, &disk), 0u);
    EXPECT_EQ(disk.disk.deviceType, 0);
    EXPECT_EQ(disk.disk.idVendor, 2);
    EXPECT_STREQ(disk.disk.szProductID, "SEAGATE ST39204LC       ");
    EXPECT_EQ(std::strlen(disk.disk.szSerialNum), 8u);
    EXPECT_EQ(disk.disk.maskVolumes, ScsiGetDrivesMask(0, 0, 0));
    EXPECT_NE(disk.disk.maskVolumes, 0u);
    ASSERT_EQ(ScsiGetDriveDetails(0, 0, 4, &cd), 0u);
    EXPECT_EQ(cd.disk.deviceType, 5);
    EXPECT_EQ(cd.disk.iRaidLevel, 0xFFFF);
    EXPECT_EQ(ScsiGetDriveDetails(0, 0, 9, &cd), SCSI_NO_DEVICE);
}

TEST_F(ScsiInterfaceTest, AdapterInfoLevels) {
    serveMachine();
    HBAInfoType info;
    std::memset(&info, 0x5A, sizeof info);
    for (unsigned level : {0u, 3u})
        EXPECT_EQ(ScsiGetAdapterInfo(1, level, &info), ERR_INVALID_PARAMETER);
    EXPECT_EQ(info.idAdapter, 0x5A5A5A5A);
    ASSERT_EQ(ScsiGetAdapterInfo(1, 1, &info), 0u);
    EXPECT_EQ(info.idBoard, 0x5A5A5A5A);
    EXPECT_EQ(uint8_t(info.szProduct[0]), 0x5A);
    EXPECT_EQ(info.idClass, 1);
    EXPECT_EQ(info.sDramInMB, 64);
    EXPECT_STREQ(info.szDriverVersion, "2.4.20");
    ASSERT_EQ(ScsiGetAdapterInfo(1, 2, &info), 0u);
    EXPECT_EQ(info.idBoard, 4660);
    EXPECT_EQ(ScsiGetAdapterInfo(9, 1, &info), ERR_ADAPTER_NOT_FOUND);
}

TEST_F(ScsiInterfaceTest, AssetTagAreaBytesBothWays) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    std::vector<uint8_t> data(250);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i + 1);
    control({{"op", "scsiDriveArea"}, {"sg", 0}, {"area", std::vector<uint8_t>(600, 0xFF)}});
    ASSERT_EQ(ScsiWriteLogPage32h(0, 0, 0, data.data(), 250), 0u);
    json answer;
    simulator.handleControl({{"op", "scsiDriveArea"}, {"sg", 0}}, answer);
    const auto area = answer.at("area").get<std::vector<uint8_t>>();
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + 250), data);
    EXPECT_EQ(std::vector<uint8_t>(area.begin() + 250, area.end()), std::vector<uint8_t>(350, 0));
    std::vector<uint8_t> back(1000, 0xAB);
    ASSERT_EQ(ScsiReadLogPage32h(0, 0, 0, back.data(), 1000), 0u);
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 600), area);
    EXPECT_EQ(back[600], 0xAB);
    control({{"op", "scsiLogSelectFault"}, {"sg", 0}, {"parameter", 1}});
    EXPECT_NE(ScsiWriteLogPage32h(0, 0, 0, data.data(), 250), 0u);
}

TEST_F(ScsiInterfaceTest, PageSearchesAndSmartState) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    EXPECT_EQ(ScsiFindPage32(0, 0, 0), 0u);
    EXPECT_EQ(ScsiIsDstAvail(0, 0, 0), 0u);
    EXPECT_EQ(ScsiFindPage32(7, 0, 0), ERR_ADAPTER_NOT_FOUND);
    int state = -1;
    EXPECT_EQ(ScsiGetSmartState(0, 0, 0, &state), 0u);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(ScsiGetSmartState(0, 0, 1, &state), 0u);
    EXPECT_EQ(state, 2);
}

TEST_F(ScsiInterfaceTest, SelfTestCommandsAndResults) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    int result = -1;
    EXPECT_EQ(ScsiGetDstResults(0, 0, 0, 0, &result), 0u);
    EXPECT_EQ(result, 6);
    EXPECT_EQ(ScsiGetDstResults(0, 0, 0, 1, &result), 0u);
    EXPECT_EQ(result, 7);
    ASSERT_EQ(ScsiStartDST(0, 0, 0, 1), 0u);
    clock += 30;   // a quarter of the 120 s short test
    int percent = -1;
    EXPECT_EQ(ScsiCheckDSTsense(0, 0, 0, &percent), 0u);
    EXPECT_EQ(percent, 25);
    EXPECT_EQ(ScsiGetDstResults(0, 0, 0, 0, &result), 0u);
    EXPECT_EQ(result, 15);
    EXPECT_EQ(ScsiGetDstResults(0, 0, 0, 20, &result), 0u);
    EXPECT_EQ(result, 8);
    control({{"op", "scsiSelfTest"}, {"sg", 0}, {"badHeader", true}});
    result = -1;
    EXPECT_EQ(ScsiGetDstResults(0, 0, 0, 0, &result), 0u);
    EXPECT_EQ(result, -1);
    int seconds = 0;
    EXPECT_EQ(ScsiGetCompletionTime(0, 0, 0, &seconds), 0u);
    EXPECT_EQ(seconds, 1800);
}

TEST_F(ScsiInterfaceTest, KernelRuleRefusesBeforeAnyCommand) {
    for (const char* release : {"2.2.19", "3.0.1"}) {
        serveMachine(release);
        ScsiCountAllUnits(nullptr, nullptr);
        simulator.bus().clearJournal();
        int value = 0;
        EXPECT_FALSE(IsASafeKernelForDST()) << release;
        EXPECT_EQ(ScsiStartDST(0, 0, 0, 1), ERR_NOT_SUPPORTED);
        EXPECT_EQ(ScsiGetDstResults(0, 0, 0, 0, &value), ERR_NOT_SUPPORTED);
        EXPECT_EQ(ScsiGetCompletionTime(0, 0, 0, &value), ERR_NOT_SUPPORTED);
        EXPECT_TRUE(journal().empty());
        simulator.stop();
        LibraryShutdown();
    }
    root.writeFile("/var/qvsim/uname", "2.6.9\n");
    EXPECT_TRUE(IsASafeKernelForDST());
}

TEST_F(ScsiInterfaceTest, VolumeMapMasksAndLabels) {
    serveMachine();
    const uint32_t mask = ScsiGetDrivesMask(0, 0, 0);
    EXPECT_EQ(mask, ScsiEncodeDriveLabel("/data") | ScsiEncodeDriveLabel("/home"));
    EXPECT_EQ(ScsiEncodeDriveLabel(""), 0u);
    EXPECT_EQ(ScsiEncodeDriveLabel("/nowhere"), 0u);
    // The RAID volume has one entry per member disk of its logical drive.
    const uint32_t raid = ScsiEncodeDriveLabel("/raid");
    EXPECT_NE(raid, 0u);
    EXPECT_EQ(ScsiGetDrivesMask(1, 0, 2) & ~mask, raid << 2);
    char text[64];
    ASSERT_EQ(ScsiDecodeDriveMask(mask | 0x80000000u, text, sizeof text), 0u);
    EXPECT_STREQ(text, "/data /home");
    ASSERT_EQ(ScsiDecodeDriveMask(0, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    std::memset(text, 'x', sizeof text);
    ScsiDecodeDriveMask(mask, text, 4);
    EXPECT_STREQ(text, "/da");
    EXPECT_EQ(ScsiDecodeDriveMask(mask, text, 0), 0u);
    EXPECT_EQ(GetMaskLabel(0, text, 8), ERR_EMPTY_MASK);
    EXPECT_EQ(GetMaskLabel(0x40000000u, text, 8), ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(GetLabelInstance("/nowhere"), 255u);
}

TEST_F(ScsiInterfaceTest, FirmwareGoesInChunksAndWaitsForReadiness) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    simulator.bus().clearJournal();
    std::vector<uint8_t> image(70000, 0x11);
    ASSERT_EQ(ScsiFWDownload(0, 0, 0, image.data(), unsigned(image.size()), 4), 0u);
    std::vector<std::pair<uint32_t, uint32_t>> chunks;
    unsigned readyChecks = 0;
    for (const auto& r : commandsTo(0)) {
        if (r.cdb[0] == 0x3B) {
            EXPECT_EQ(r.cdb[1], 7);   // feature 0x8
            EXPECT_EQ(r.cdb[2], 0);
            chunks.push_back({(r.cdb[3] << 16) | (r.cdb[4] << 8) | r.cdb[5], (r.cdb[6] << 16) | (r.cdb[7] << 8) | r.cdb[8]});
            EXPECT_EQ(r.dataOut.size(), chunks.back().second);
        }
        readyChecks += r.cdb[0] == 0x00;
    }
    EXPECT_EQ(chunks, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 32768}, {32768, 32768}, {65536, 4464}}));
    EXPECT_GE(readyChecks, 3u);   // before, then NOT READY twice, then ready
    // Without chunking the image must fit the I/O buffer in one command.
    ASSERT_TRUE(ApplyExternalDefLine("F3XY 0x401"));
    EXPECT_EQ(ScsiFWDownload(0, 0, 0, image.data(), unsigned(image.size()), 4), ERR_DISK_UNKNOWN);
    simulator.bus().clearJournal();
    EXPECT_EQ(ScsiFWDownload(0, 0, 0, image.data(), 30000, 4), 0u);
    unsigned sent = 0;
    for (const auto& r : commandsTo(0))
        if (r.cdb[0] == 0x3B) {
            ++sent;
            EXPECT_EQ(r.cdb[1], 5);
            EXPECT_EQ(r.dataOut.size(), 30000u);
        }
    EXPECT_EQ(sent, 1u);
}

TEST_F(ScsiInterfaceTest, ReadinessStagesAndTheFileTestLink) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    int stage = -1;
    EXPECT_EQ(ScsiDriveReadiness(0, 0, 1, &stage), 0u);
    EXPECT_EQ(stage, 3);   // no mounted volume
    EXPECT_EQ(ScsiDriveReadiness(0, 0, 0, &stage), uint32_t(ENOENT));
    EXPECT_EQ(stage, 4);   // volumes, but the mount point is missing
    std::filesystem::create_directories(root.at("/data"));
    EXPECT_EQ(ScsiDriveReadiness(0, 0, 0, &stage), 0u);
    EXPECT_EQ(stage, 5);
    EXPECT_NE(ScsiDriveReadiness(0, 0, 9, &stage), 0u);
    EXPECT_EQ(stage, 0);
    EXPECT_EQ(ScsiDriveReadiness(5, 0, 0, &stage), ERR_ADAPTER_NOT_FOUND);
    // A link planted at the test file's place: the test fails and its target stays untouched.
    root.writeFile("/outside.txt", "keep");
    ASSERT_EQ(::symlink(root.at("/outside.txt").c_str(), root.at("/data/.qvtest.dat").c_str()), 0);
    EXPECT_EQ(DoFileIO(ScsiEncodeDriveLabel("/data")), uint32_t(ELOOP));
    EXPECT_EQ(root.readFile("/outside.txt"), "keep");
    ::unlink(root.at("/data/.qvtest.dat").c_str());
    EXPECT_EQ(DoFileIO(ScsiEncodeDriveLabel("/data")), 0u);
    EXPECT_FALSE(root.exists("/data/.qvtest.dat"));
}

TEST_F(ScsiInterfaceTest, PageSearchesFollowFeatureBitsBeforeAskingTheDrive) {
    struct Case {
        const char* name;
        const char* vendor;
        const char* revision;
        std::vector<int> logPages;
        uint32_t page32, page10;
        bool asksDrive;   // LOG SENSE of page 0 sent
    };
    const std::vector<int> all{0x00, 0x10, 0x2F, 0x32};
    const Case cases[] = {
        {"row 0x513: area page, no self-test page", "IBM", "S136", all, 0, PAGE_NOT_SUPPORTED, false},
        {"row 0x913: both pages", "IBM", "D94N", {0x00}, 0, 0, false},
        {"IBM default 0x213: no area page; self-test page from the drive", "IBM", "ZZZZ", all, PAGE_NOT_SUPPORTED,
         0, true},
        {"no bits: the drive's list", "SEAGATE", "0003", {0x00, 0x2F}, PAGE_NOT_SUPPORTED, PAGE_NOT_SUPPORTED, true},
        {"byte 4 is page 0's own place", "SEAGATE", "0003", {0x10, 0x00, 0x32}, 0, PAGE_NOT_SUPPORTED, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reserveMachine([&](json& scsi) {
            scsi["targets"][1]["vendor"] = c.vendor;
            scsi["targets"][1]["revision"] = c.revision;
            scsi["targets"][1]["logPages"] = c.logPages;
        });
        ScsiCountAllUnits(nullptr, nullptr);
        simulator.bus().clearJournal();
        EXPECT_EQ(ScsiFindPage32(0, 0, 1), c.page32);
        EXPECT_EQ(ScsiIsDstAvail(0, 0, 1), c.page10);
        bool asked = false;
        for (const auto& r : commandsTo(1))
            asked = asked || r.cdb[0] == 0x4D;
        EXPECT_EQ(asked, c.asksDrive);
    }
    // Without page 0x2F in the list the adapter's own answer stands: unknown.
    int state = -1;
    EXPECT_EQ(ScsiGetSmartState(0, 0, 1, &state), 0u);
    EXPECT_EQ(state, 0);
}

TEST_F(ScsiInterfaceTest, AdapterRecordsCloseAndShutdown) {
    serveMachine("2.4.20", [](json& scsi) { scsi["targets"][1]["blocks"] = 0; });
    HBADescType desc[4];
    std::memset(desc, 0x5A, sizeof desc);
    ASSERT_EQ(ScsiGetAllAdapters(desc, 4), 0u);
    EXPECT_STREQ(desc[0].szName, "aic7xxx");
    EXPECT_STREQ(desc[0].szBrand, "Adaptec");
    EXPECT_STREQ(desc[1].szName, "megaraid");
    EXPECT_EQ(desc[1].nChannels, 2);
    EXPECT_EQ(desc[2].idAdapter, 0x5A5A5A5A) << "only the adapters of the driver table";
    HBADescType one;
    ASSERT_EQ(ScsiGetAdapterDetails(1, &one), 0u);
    EXPECT_STREQ(one.szName, desc[1].szName);
    EXPECT_STREQ(one.szBIOSVersion, desc[1].szBIOSVersion);
    EXPECT_EQ(one.sDramInMB, desc[1].sDramInMB);
    int level = 0;
    EXPECT_EQ(ScsiGetRaidLevel(1, 0, 2, &level), 0u);
    EXPECT_EQ(level, 5);
    EXPECT_EQ(ScsiGetRaidLevel(1, 1, 0, &level), 0u);
    EXPECT_EQ(level, 1);
    // A disk whose capacity cannot be read keeps its record.
    DriveInfoType drive{};
    ASSERT_EQ(ScsiGetDriveDetails(0, 0, 1, &drive), 0u);
    EXPECT_EQ(drive.disk.idVendor, 3);
    EXPECT_EQ(drive.disk.sDriveInMB, 0u);
    EXPECT_EQ(ScsiCloseAdapter(2), ERR_ADAPTER_NOT_FOUND);
    EXPECT_EQ(ScsiCloseAdapter(0), 0u);
    // After the end every adapter is unknown to the calls that do not build the list ...
    ASSERT_EQ(LibraryShutdown(), 0u);
    EXPECT_EQ(ScsiCloseAdapter(0), ERR_ADAPTER_NOT_FOUND);
    EXPECT_EQ(ScsiFindPage32(0, 0, 0), ERR_ADAPTER_NOT_FOUND);
    int stage = -1;
    EXPECT_EQ(ScsiDriveReadiness(0, 0, 0, &stage), ERR_ADAPTER_NOT_FOUND);
    // ... until any other call builds it again.
    EXPECT_EQ(ScsiGetRaidLevel(0, 0, 0, &level), 0u);
    EXPECT_EQ(ScsiFindPage32(0, 0, 0), 0u);
}

} // namespace
} // namespace diskbus_test
