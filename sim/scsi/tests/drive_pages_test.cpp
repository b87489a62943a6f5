#include "drive_pages.h"
#include "scsi_target.h"

#include <gtest/gtest.h>

namespace qv::sim::scsi {
namespace {

class DrivePagesTest : public ::testing::Test {
protected:
    void SetUp() override { SetDriveClock([this] { return now_; }); }
    void TearDown() override { SetDriveClock({}); }
    SimulatedTarget disk() {
        TargetDescription d;
        d.blocks = 1000;
        d.drive.shortSeconds = 100;
        d.drive.selfTestResult = 3;
        d.drive.powerOnHours = 77;
        return SimulatedTarget(d);
    }
    time_t now_ = 5000;
};

Bytes areaSelect(uint8_t parameter, uint8_t fill) {
    Bytes list{0x32, 0x00, 0x00, 0xCC, 0x00, parameter, 0x01, 0xC8};
    list.resize(208, fill);
    return list;
}

TEST_F(DrivePagesTest, AreaWrittenByLogSelectIsReadBackInThreeParameters) {
    SimulatedTarget t = disk();
    const Bytes select{0x4C, 0x01, 0x40, 0, 0, 0, 0, 0x00, 0xD0, 0};
    for (uint8_t n = 0; n < 3; ++n)
        EXPECT_EQ(t.execute(select, areaSelect(n, uint8_t(0xA0 + n))).status, kStatusGood);
    for (uint8_t n = 0; n < 3; ++n) {
        const auto out = t.execute({0x4D, 0x00, 0x72, 0, 0, 0, n, 0x00, 0xD0, 0}, {});
        ASSERT_EQ(out.dataIn.size(), 208u);
        EXPECT_EQ(out.dataIn[0], 0x32);
        EXPECT_EQ(out.dataIn[5], n);
        EXPECT_EQ(out.dataIn[7], 200);
        EXPECT_EQ(out.dataIn[8], 0xA0 + n);
        EXPECT_EQ(out.dataIn[207], 0xA0 + n);
    }
    EXPECT_EQ(t.drive().area()[599], 0xA2);
    Bytes badHeader = areaSelect(0, 1);
    badHeader[3] = 0xCB;
    EXPECT_EQ(t.execute(select, badHeader).status, kStatusCheckCondition);
    t.drive().failLogSelect(1);
    EXPECT_EQ(t.execute(select, areaSelect(1, 9)).status, kStatusCheckCondition);
}

TEST_F(DrivePagesTest, SelfTestRunsOnTheClockReportsProgressAndLogsTheResult) {
    SimulatedTarget t = disk();
    const Bytes logSense{0x4D, 0x00, 0x50, 0, 0, 0, 0, 0x01, 0x94, 0};
    const auto empty = t.execute(logSense, {});
    ASSERT_EQ(empty.dataIn.size(), 404u);
    EXPECT_EQ(Bytes(empty.dataIn.begin(), empty.dataIn.begin() + 4), (Bytes{0x10, 0x00, 0x01, 0x90}));
    EXPECT_EQ(empty.dataIn[8], 0);
    EXPECT_EQ(t.execute({0x1D, 0x20, 0, 0, 0, 0}, {}).status, kStatusGood);
    EXPECT_EQ(t.execute({0x1D, 0x20, 0, 0, 0, 0}, {}).sense[12], 0x04);   // already running: 04/09
    t.execute({0x03, 0, 0, 0, 0xFF, 0}, {});   // takes the sense of the refused start
    now_ += 25;
    const auto sense = t.execute({0x03, 0, 0, 0, 0xFF, 0}, {}).dataIn;
    EXPECT_EQ(sense[15] & 0x80, 0x80);
    EXPECT_EQ((sense[16] << 8) | sense[17], 0x4000);
    EXPECT_EQ(t.execute(logSense, {}).dataIn[8], 0x20 | 15);
    now_ += 75;
    const auto done = t.execute(logSense, {}).dataIn;
    EXPECT_EQ(done[8], 0x20 | 3);
    EXPECT_EQ((done[10] << 8) | done[11], 77);
    EXPECT_EQ(t.execute({0x03, 0, 0, 0, 0xFF, 0}, {}).dataIn[16], 0);
}

TEST_F(DrivePagesTest, PagesModeDataDownloadAndMedium) {
    SimulatedTarget t = disk();
    const auto supported = t.execute({0x4D, 0x00, 0x40, 0, 0, 0, 0, 0x01, 0xFF, 0}, {}).dataIn;
    EXPECT_EQ(supported, (Bytes{0x00, 0x00, 0x00, 0x04, 0x00, 0x10, 0x2F, 0x32}));
    const auto smart = t.execute({0x4D, 0x00, 0x6F, 0, 0, 0, 0, 0x01, 0xFF, 0}, {}).dataIn;
    EXPECT_GT(smart[3], 5);
    const auto control = t.execute({0x1A, 0x08, 0x8A, 0, 0xFF, 0}, {}).dataIn;
    EXPECT_EQ((control[14] << 8) | control[15], 1800);
    EXPECT_EQ(t.execute({0x3B, 0x05, 0, 0, 0, 0, 0, 0, 4, 0}, {1, 2, 3, 4}).status, kStatusGood);
    EXPECT_EQ(t.execute({0x00, 0, 0, 0, 0, 0}, {}).sense[13], 0x01);
    EXPECT_EQ(t.execute({0x00, 0, 0, 0, 0, 0}, {}).status, kStatusCheckCondition);
    EXPECT_EQ(t.execute({0x00, 0, 0, 0, 0, 0}, {}).status, kStatusGood);
    EXPECT_EQ(t.execute({0x04, 0, 0, 0, 0, 0}, {}).status, kStatusGood);
    TargetDescription cd;
    cd.kind = TargetKind::CdRom;
    SimulatedTarget drive(cd);
    EXPECT_EQ(drive.execute({0x00, 0, 0, 0, 0, 0}, {}).sense[12], 0x3A);
}

} // namespace
} // namespace qv::sim::scsi
