// What the library does to drives, seen in the commands the simulator journals: read activity and
// the exercise loop, TEST UNIT READY's retry, format, firmware download per feature set, the
// readiness stages; and the exported inventory pieces around them (logical drives, adapter
// numbering, raw commands).
#include "scsi_interface_machine.h"

#include "drive_readiness.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace diskbus_test {
namespace {

using std::chrono::milliseconds;

class DriveCommandsTest : public ScsiInterfaceTest {
protected:
    CScsiAdapter& adapter(unsigned number) {
        CScsiAdapter* a = nullptr;
        EXPECT_EQ(LookupAdapter(number, &a), 0u);
        return *a;
    }
    // Records every wait; each one moves the test clock by `secondsPerWait`.
    void recordWaits(time_t secondsPerWait = 0) {
        SetDiskbusSleepForTests([this, secondsPerWait](milliseconds d) {
            waits.push_back(d);
            clock += secondsPerWait;
        });
    }
    unsigned countOpcode(int sg, uint8_t opcode) {
        const auto cdbs = cdbsTo(sg);
        return unsigned(std::count_if(cdbs.begin(), cdbs.end(), [&](const Bytes& c) { return c[0] == opcode; }));
    }
    void failNext(int sg, unsigned count, uint8_t key = 2, uint8_t asc = 4, uint8_t ascq = 2) {
        control({{"op", "scsiCheckCondition"}, {"sg", sg}, {"key", key}, {"asc", asc}, {"ascq", ascq}, {"count", count}});
    }
    void downloadMicrocode(unsigned target) {
        const uint8_t cdb[10] = {0x3B, 0x05, 0, 0, 0, 0, 0, 0, 16, 0};
        const uint8_t image[16] = {};
        ASSERT_EQ(ScsiSendDeviceData(0, 0, target, cdb, sizeof cdb, image, sizeof image), 0u);
    }
    std::vector<milliseconds> waits;
};

// The read activity of one pass: READ(6) of 4 blocks at 0x0204, 0x0304, ... until 96 blocks.
std::vector<Bytes> activitySeries() {
    std::vector<Bytes> series;
    for (uint8_t nn = 2; nn < 2 + 96 / 4; ++nn)
        series.push_back({0x08, 0x00, nn, 0x04, 0x04, 0x00});
    return series;
}

TEST_F(DriveCommandsTest, ExerciseReadsTheActivitySeriesUntilTheEndOrAStop) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    struct Case {
        const char* name;
        unsigned target;
        bool stopAfterFirstPass;
        int failingSg;
        uint32_t status;
        unsigned passesOnSg0, passesOnSg1;
        milliseconds pause;
    };
    // Period 1 is 30 s; every pause moves the clock 10 s, so three passes fit.
    const Case cases[] = {
        {"one disk", 0, false, -1, 0, 3, 0, milliseconds(100)},
        {"every disk of the channel", 255, false, -1, 0, 3, 3, milliseconds(20)},
        {"stopped from elsewhere", 255, true, -1, 0, 1, 1, milliseconds(20)},
        {"the one disk fails", 0, false, 0, SCSI_CHECK_CONDITION, 0, 0, milliseconds(0)},
        {"one of two disks fails", 255, false, 0, 0, 0, 3, milliseconds(20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simulator.bus().clearJournal();
        waits.clear();
        SetDiskbusSleepForTests([&](milliseconds d) {
            waits.push_back(d);
            clock += 10;
            if (c.stopAfterFirstPass && d > milliseconds(1))
                ScsiExerciseTargets(0, 0, 255, 0);   // what a second thread does
        });
        if (c.failingSg >= 0)
            failNext(c.failingSg, 1000, 3, 0x11, 0);
        EXPECT_EQ(ScsiExerciseTargets(0, 0, c.target, 1), c.status);
        for (auto [sg, passes] : {std::pair{0, c.passesOnSg0}, std::pair{1, c.passesOnSg1}}) {
            std::vector<Bytes> expected;
            for (unsigned p = 0; p < passes; ++p)
                for (const Bytes& cdb : activitySeries())
                    expected.push_back(cdb);
            if (sg == c.failingSg)
                expected = {Bytes{0x08, 0x00, 0x02, 0x04, 0x04, 0x00}};   // only the first READ of each pass
            auto got = cdbsTo(sg);
            if (sg == c.failingSg)
                got.resize(std::min<size_t>(got.size(), 1));
            EXPECT_EQ(got, expected) << "sg" << sg;
        }
        EXPECT_TRUE(commandsTo(2).empty() && commandsTo(3).empty()) << "only disks are read";
        for (milliseconds d : waits)
            EXPECT_TRUE(d == c.pause || d == milliseconds(1)) << d.count();
        if (c.failingSg >= 0)
        failNext(0, 0);
    }
    recordWaits(10);
    EXPECT_EQ(ScsiExerciseTargets(0, 9, 255, 1), ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(ScsiExerciseTargets(7, 0, 255, 1), ERR_ADAPTER_NOT_FOUND);
    // The adapter's own id is never read.
    simulator.bus().clearJournal();
    EXPECT_EQ(ExerciseAllTargets(adapter(0), 0, uint16_t(0x80 | 0x01)), 0u);
    EXPECT_EQ(cdbsTo(0), activitySeries());
    EXPECT_EQ(journal().size(), activitySeries().size());
}

TEST_F(DriveCommandsTest, TestUnitReadyRetriesOneCheckCondition) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    struct Case {
        unsigned failures;
        uint32_t status;
        unsigned commands;
    };
    for (const Case& c : {Case{0, 0, 1}, Case{1, 0, 2}, Case{2, SCSI_CHECK_CONDITION, 2}}) {
        simulator.bus().clearJournal();
        failNext(1, c.failures);
        EXPECT_EQ(TestUnitReady(adapter(0), 0, 1), c.status) << c.failures;
        EXPECT_EQ(countOpcode(1, 0x00), c.commands) << c.failures;
        failNext(1, 0);
    }
}

TEST_F(DriveCommandsTest, FormatSendsModeSelectOnlyWhenTheVendorBitsAreSet) {
    const Bytes ready{0x00, 0, 0, 0, 0, 0}, readOne{0x08, 0x00, 0x03, 0x04, 0x01, 0x00},
        modeSense{0x1A, 0x08, 0x00, 0x00, 0xFF, 0x00}, format{0x04, 0, 0, 0, 0, 0};
    struct Case {
        uint8_t byte18, byte19;
        bool select;
    };
    for (const Case& c : {Case{0x00, 0x00, false}, Case{0x08, 0x00, true}, Case{0x00, 0x04, true},
                          Case{0xF7, 0xFB, false}}) {
        SCOPED_TRACE(testing::Message() << int(c.byte18) << "/" << int(c.byte19));
        reserveMachine([&](json& scsi) { scsi["targets"][1]["modePage0"] = {c.byte18, c.byte19}; });
        ScsiCountAllUnits(nullptr, nullptr);
        simulator.bus().clearJournal();
        ASSERT_EQ(ScsiFormatDrive(0, 0, 1), 0u);
        const auto records = commandsTo(1);
        std::vector<Bytes> cdbs;
        for (const auto& r : records)
            cdbs.push_back(r.cdb);
        if (!c.select) {
            EXPECT_EQ(cdbs, (std::vector<Bytes>{ready, readOne, modeSense, format}));
            continue;
        }
        ASSERT_EQ(cdbs.size(), 5u);
        const Bytes sensed = records[2].dataIn;
        ASSERT_GT(sensed.size(), 19u);
        EXPECT_EQ(cdbs[3], (Bytes{0x15, 0x00, 0x00, 0x00, uint8_t(sensed[0] + 1), 0x00}));
        Bytes selected = records[3].dataOut;
        ASSERT_EQ(selected.size(), size_t(sensed[0] + 1));
        EXPECT_EQ(selected[0], 0);
        EXPECT_EQ(selected[4] & 0x80, 0);
        EXPECT_EQ(selected[18] & 0x08, 0);
        EXPECT_EQ(selected[19] & 0x04, 0);
        // Nothing else changes.
        Bytes cleared(sensed.begin(), sensed.begin() + selected.size());
        cleared[0] = 0;
        cleared[4] &= 0x7F;
        cleared[18] &= 0xF7;
        cleared[19] &= 0xFB;
        EXPECT_EQ(selected, cleared);
        EXPECT_EQ(cdbs[4], format);
    }
    // A drive that is not ready is not formatted.
    simulator.bus().clearJournal();
    failNext(1, 2);
    EXPECT_EQ(ScsiFormatDrive(0, 0, 1), SCSI_CHECK_CONDITION);
    EXPECT_EQ(countOpcode(1, 0x04), 0u);
}

struct WriteBuffer {
    uint8_t mode, bufferId;
    uint32_t offset, length;
    bool operator==(const WriteBuffer&) const = default;
};

std::ostream& operator<<(std::ostream& out, const WriteBuffer& w) {
    return out << "{mode " << int(w.mode) << " id " << int(w.bufferId) << " offset " << w.offset << " length "
               << w.length << "}";
}

TEST_F(DriveCommandsTest, FirmwareChunksFollowTheFeaturesOfTheRow) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    const std::vector<uint8_t> image(70000, 0x5C);
    struct Case {
        const char* name;
        unsigned vendor;
        std::vector<WriteBuffer> commands;
    };
    const std::vector<WriteBuffer> byOffsetMode7{{7, 0, 0, 32768}, {7, 0, 32768, 32768}, {7, 0, 65536, 4464}};
    const Case cases[] = {
        // IBM default 0x213: chunks numbered by buffer id, mode 5.
        {"IBM", 3, {{5, 0, 0, 32768}, {5, 1, 0, 32768}, {5, 2, 0, 4464}}},
        // Quantum default 0x405: chunks by offset, mode 5.
        {"Quantum", 1, {{5, 0, 0, 32768}, {5, 0, 32768, 32768}, {5, 0, 65536, 4464}}},
        // Seagate default 0x00D: by offset, mode 7.
        {"Seagate", 2, byOffsetMode7},
        // No manufacturer given: the drive's own identification (SEAGATE in its vendor field).
        {"identified", 0, byOffsetMode7},
        // No default row of that id: the default row 0x205, by offset, mode 5.
        {"unknown maker", 5, {{5, 0, 0, 32768}, {5, 0, 32768, 32768}, {5, 0, 65536, 4464}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simulator.bus().clearJournal();
        waits.clear();
        recordWaits();
        ASSERT_EQ(ScsiFWDownload(0, 0, 0, image.data(), unsigned(image.size()), c.vendor), 0u);
        std::vector<WriteBuffer> sent;
        for (const auto& r : commandsTo(0))
            if (r.cdb[0] == 0x3B) {
                const WriteBuffer w{r.cdb[1], r.cdb[2], uint32_t(r.cdb[3] << 16 | r.cdb[4] << 8 | r.cdb[5]),
                                    uint32_t(r.cdb[6] << 16 | r.cdb[7] << 8 | r.cdb[8])};
                EXPECT_EQ(r.dataOut.size(), w.length);
                sent.push_back(w);
            }
        EXPECT_EQ(sent, c.commands);
        // Ready before; after the image 5 s, then NOT READY (twice, one retry) and a wait, then ready.
        EXPECT_EQ(countOpcode(0, 0x00), 4u);
        EXPECT_EQ(waits, (std::vector<milliseconds>{milliseconds(5000), milliseconds(500)}));
    }
    // A row without download: refused before any WRITE BUFFER.
    ASSERT_TRUE(ApplyExternalDefLine("H0XY 0x800"));
    simulator.bus().clearJournal();
    EXPECT_EQ(ScsiFWDownload(0, 0, 0, image.data(), unsigned(image.size()), 6), ERR_DISK_UNKNOWN);
    EXPECT_EQ(countOpcode(0, 0x3B), 0u);
}

TEST_F(DriveCommandsTest, FirmwareReadinessWaitGivesUpAfterFortyOneTries) {
    serveMachine("2.4.20", [](json& scsi) { scsi["targets"][0]["notReadyAfterDownload"] = 1000; });
    ScsiCountAllUnits(nullptr, nullptr);
    recordWaits();
    const std::vector<uint8_t> image(1000, 1);
    EXPECT_EQ(ScsiFWDownload(0, 0, 0, image.data(), unsigned(image.size()), 2), SCSI_CHECK_CONDITION);
    EXPECT_EQ(countOpcode(0, 0x00), 1u + 41 * 2);
    ASSERT_EQ(waits.size(), 41u);
    EXPECT_EQ(waits.front(), milliseconds(5000));
    EXPECT_TRUE(std::all_of(waits.begin() + 1, waits.end(), [](milliseconds d) { return d == milliseconds(500); }));
    // A status of 244 is no failure to the caller.
    control({{"op", "scsiNodeFaults"}, {"sg", 0}, {"openErrno", 244}});
    EXPECT_EQ(ScsiFWDownload(0, 0, 0, image.data(), unsigned(image.size()), 2), 0u);
    control({{"op", "scsiNodeFaults"}, {"sg", 0}, {"openErrno", 5}});
    EXPECT_EQ(ScsiFWDownload(0, 0, 0, image.data(), unsigned(image.size()), 2), 5u);
}

TEST_F(DriveCommandsTest, ReadinessStagesAndCodedStatus) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    struct Case {
        const char* name;
        unsigned adapter, target;
        std::function<void()> prepare;
        uint32_t status;
        int stage;
        bool reads;
    };
    const Case cases[] = {
        {"disk without volumes", 0, 1, [] {}, 0, 3, true},
        {"CD-ROM without medium", 0, 4, [] {}, 0, 2, false},
        {"enclosure", 0, 6, [] {}, 0, 2, false},
        // After a microcode download the drive is NOT READY (04/01) for two commands.
        {"not ready: ASC and ASCQ in the status", 0, 1, [&] { downloadMicrocode(1); },
         SCSI_CHECK_CONDITION | 0x04u << 24 | 0x01u << 16, 1, false},
        // A reset's UNIT ATTENTION ends the first TEST UNIT READY.
        {"unit attention: the retry counts", 0, 1, [&] { control({{"op", "scsiReset"}, {"sg", 1}}); }, 0, 3, true},
        {"INQUIRY data not valid", 0, 1, [&] { control({{"op", "scsiInvalidInquiry"}, {"sg", 1}, {"blank", true}}); },
         ERR_BAD_INQUIRY, 0, false},
        {"no such target", 0, 9, [] {}, SCSI_NO_DEVICE, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        simulator.bus().clearJournal();
        int stage = -1;
        EXPECT_EQ(ScsiDriveReadiness(c.adapter, 0, c.target, &stage), c.status);
        EXPECT_EQ(stage, c.stage);
        unsigned reads = 0;
        for (const auto& r : journal())
            reads += r.cdb[0] == 0x08;
        EXPECT_EQ(reads, c.reads ? activitySeries().size() : 0u);
        control({{"op", "scsiInvalidInquiry"}, {"sg", 1}, {"invalid", false}});
        failNext(1, 0);
    }
    // A CD-ROM with a medium is ready, and only disks are read: stage 2.
    reserveMachine([](json& scsi) { scsi["targets"][2]["blocks"] = 5000; });
    ScsiCountAllUnits(nullptr, nullptr);
    int stage = -1;
    EXPECT_EQ(ScsiDriveReadiness(0, 0, 4, &stage), 0u);
    EXPECT_EQ(stage, 2);
}

TEST_F(DriveCommandsTest, LogicalDrivesAreListedAndCachedForThirtySeconds) {
    serveMachine();
    int count = -1;
    ASSERT_EQ(ScsiCountLogicalDrives(&count), 0u);
    EXPECT_EQ(count, 2);
    LogDriveInfoType drive;
    ASSERT_EQ(ScsiGetLogDriveInfo(0, &drive), 0u);
    EXPECT_EQ(drive.addr, (SCSIAddressType{0, 0, 1}));
    EXPECT_EQ(drive.info.iRaidLevel, 5);
    EXPECT_EQ(drive.info.status, LDOnLine);
    ASSERT_EQ(drive.map.nDisks, 4);
    for (uint8_t i = 0; i < 4; ++i)
        EXPECT_EQ(drive.map.rgDisk[i], (SCSIAddressType{i, 0, 1})) << int(i);
    ASSERT_EQ(ScsiGetLogDriveInfo(1, &drive), 0u);
    EXPECT_EQ(drive.info.iRaidLevel, 1);
    EXPECT_EQ(drive.map.nDisks, 2);
    EXPECT_EQ(ScsiGetLogDriveInfo(2, &drive), ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(ScsiCountLogicalDrives(nullptr), 0u);
    // Within 30 s nothing is asked again; then the record follows the controller.
    simulator.bus().clearJournal();
    control({{"op", "scsiRaidDriveStatus"}, {"drive", 0}, {"status", 1}});
    clock += 29;
    ASSERT_EQ(ScsiGetLogDriveInfo(0, &drive), 0u);
    EXPECT_EQ(drive.info.status, LDOnLine);
    EXPECT_TRUE(journal().empty()) << journal().size() << " commands within 30 s";
    clock += 1;
    ASSERT_EQ(ScsiGetLogDriveInfo(0, &drive), 0u);
    EXPECT_EQ(drive.info.status, LDDegraded);
}

TEST_F(DriveCommandsTest, MapAdapterBothWays) {
    serveMachine();
    struct Case {
        unsigned adapterClass, number;
        int direction;
        uint32_t status;
        int result;
    };
    // Adapter 0 is an aic7xxx (class 4), adapter 1 the MegaRAID controller (class 1).
    const Case cases[] = {
        {1, 0, 1, 0, 1},                       // the first MegaRAID is adapter 1
        {1, 1, 2, 0, 0},                       // adapter 1 is the first of its class
        {1, 1, 1, ERR_ADAPTER_NOT_FOUND, -1},  // there is no second one
        {4, 0, 1, 0, 0},                       // class 4 maps a number to itself
        {4, 1, 2, ERR_ADAPTER_NOT_FOUND, -1},  // ... but adapter 1 is not of class 4
        {1, 0, 3, ERR_ADAPTER_NOT_FOUND, -1},  // no such direction
    };
    for (const Case& c : cases) {
        int result = -1;
        EXPECT_EQ(ScsiMapAdapter(c.adapterClass, c.number, &result, c.direction), c.status)
            << c.adapterClass << "/" << c.number << "/" << c.direction;
        if (c.status == 0) {
            EXPECT_EQ(result, c.result) << c.adapterClass << "/" << c.number << "/" << c.direction;
        }
    }
    EXPECT_EQ(ScsiMapAdapter(1, 0, nullptr, 1), 0u);
}

TEST_F(DriveCommandsTest, RawCommandsCopyWhatTheCdbImplies) {
    serveMachine();
    ScsiCountAllUnits(nullptr, nullptr);
    Bytes reply(1024, 0xEE);
    const uint8_t inquiry[6] = {0x12, 0, 0, 0, 36, 0};
    ASSERT_EQ(ScsiIssueDeviceCmd(0, 0, 0, inquiry, 6, reply.data(), unsigned(reply.size())), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[8]), 7), "SEAGATE");
    EXPECT_EQ(reply[36], 0xEE) << "copied beyond the 36 bytes asked for";
    const uint8_t read[6] = {0x08, 0, 0x01, 0x00, 1, 0};
    std::fill(reply.begin(), reply.end(), 0xEE);
    ASSERT_EQ(ScsiIssueDeviceCmd(0, 0, 0, read, 6, reply.data(), 8), 0u);
    EXPECT_EQ((Bytes{reply.begin(), reply.begin() + 9}), (Bytes{0, 0, 1, 0, 0, 0, 0, 0, 0xEE}));
    // A failing command copies nothing.
    std::fill(reply.begin(), reply.end(), 0xEE);
    const uint8_t beyond[6] = {0x08, 0x1F, 0xFF, 0xFF, 1, 0};
    EXPECT_EQ(ScsiIssueDeviceCmd(0, 0, 0, beyond, 6, reply.data(), 512), SCSI_CHECK_CONDITION);
    EXPECT_EQ(reply[0], 0xEE);
    EXPECT_EQ(ScsiIssueDeviceCmd(0, 0, 9, inquiry, 6, reply.data(), 36), SCSI_NO_DEVICE);
    EXPECT_EQ(ScsiIssueDeviceCmd(6, 0, 0, inquiry, 6, reply.data(), 36), ERR_ADAPTER_NOT_FOUND);
    // Data to the device: as much as the CDB implies; more than 49152 bytes is refused.
    const Bytes data(60000, 0x42);
    const uint8_t select[6] = {0x15, 0x00, 0, 0, 24, 0};
    simulator.bus().clearJournal();
    EXPECT_EQ(ScsiSendDeviceData(0, 0, 0, select, 6, data.data(), 100), 0u);
    ASSERT_EQ(commandsTo(0).size(), 1u);
    EXPECT_EQ(commandsTo(0)[0].dataOut, Bytes(24, 0x42));
    const uint8_t download[10] = {0x3B, 0x05, 0, 0, 0, 0, 0, 0xEA, 0x60, 0};   // 60000 bytes
    EXPECT_EQ(ScsiSendDeviceData(0, 0, 0, download, 10, data.data(), unsigned(data.size())), ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(commandsTo(0).size(), 1u);
}

TEST_F(DriveCommandsTest, VolumeMapHoldsThirtyTwoEntriesAndIsRebuiltAfterTwentySeconds) {
    serveMachine();
    std::string table;
    for (int i = 0; i < 40; ++i)
        table += "/dev/sda /v" + std::to_string(i) + " ext2 rw 0 0\n";
    table += "/dev/sda /v0 ext2 rw 0 0\n";   // the same entry twice
    root.writeFile("/etc/mtab", table);
    const SCSIAddressType disk{0, 0, 0};
    EXPECT_EQ(GetDrivesMask(disk), 0xFFFFFFFFu);
    EXPECT_EQ(GetLabelInstance("/v31"), 31u);
    EXPECT_EQ(GetLabelInstance("/v32"), 255u);
    char label[8];
    ASSERT_EQ(GetMaskLabel(0x80000000u, label, sizeof label), 0u);
    EXPECT_STREQ(label, "/v31");
    // A long mount line: its words are within the first 255 characters, its tail is no line.
    root.writeFile("/etc/mtab", "/dev/sda /long ext2 " + std::string(300, 'o') + " /dev/sda /tail 0 0\n");
    clock += 19;
    EXPECT_EQ(GetLabelInstance("/long"), 255u) << "rebuilt before 20 s";
    clock += 1;
    EXPECT_EQ(GetDrivesMask(disk), 1u);
    EXPECT_EQ(GetLabelInstance("/long"), 0u);
    EXPECT_EQ(GetLabelInstance("/tail"), 255u);
    // No table: an empty map and the error.
    ::unlink(root.at("/etc/mtab").c_str());
    clock += 20;
    EXPECT_EQ(BuildDriveList(), uint32_t(ENOENT));
    EXPECT_EQ(GetDrivesMask(disk), 0u);
}

} // namespace
} // namespace diskbus_test
