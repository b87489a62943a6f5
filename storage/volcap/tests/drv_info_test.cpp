// Volume discovery from the mount table, the names file numbering and capacity arithmetic.
#include "drv_info.h"
#include "volcap_test_root.h"

#include <sys/statfs.h>

#include <gtest/gtest.h>

#include <sstream>

namespace {

using volcaptest::deviceLine;
using volcaptest::VolcapRoot;

std::vector<std::string> names(const DrvInfo& info)
{
    std::vector<std::string> out;
    for (int i = 0; i < info.GetNumOfDrvs(); ++i) {
        std::string name;
        EXPECT_TRUE(info.GetDrvName(i, &name));
        out.push_back(name);
    }
    return out;
}

TEST(VolumeDiscovery, MountTableLinesByDeviceKind)
{
    VolcapRoot v;
    v.root.writeFile("/var/qvsim/volumes",
                     deviceLine("/dev/hda1", 3, 1) + deviceLine("/dev/hdc1", 22, 1) +
                         deviceLine("/dev/sda2", 8, 2) + deviceLine("/dev/fd0", 2, 0) +
                         deviceLine("/dev/md0", 9, 0) + deviceLine("/dev/ida/c0d0p1", 72, 1) +
                         deviceLine("/dev/null0", 0, 0));
    v.root.writeFile("/proc/ide/hda/media", "disk\n");
    v.root.writeFile("/proc/ide/hdc/media", "cdrom\n");
    v.root.writeFile("/etc/mtab", "/dev/hda1 / ext2 rw 0 0\n"
                                  "/dev/hdc1 /cdrom iso9660 ro 0 0\n"
                                  "none /proc proc rw 0 0\n"
                                  "/dev/fd0 /floppy vfat rw 0 0\n"
                                  "lonely\n"
                                  "host:/export /net nfs rw 0 0\n"
                                  "/dev/sda2 /home ext2 rw 0 0\n"
                                  "/dev/gone /gone ext2 rw 0 0\n"
                                  "/dev/null0 /zero ext2 rw 0 0\n"
                                  "/dev/md0 /raid ext2 rw 0 0\n"
                                  "/dev/ida/c0d0p1 /ida ext2 rw 0 0\n");
    DrvInfo info(true);
    EXPECT_EQ(names(info), (std::vector<std::string>{"/", "/home", "/raid"}));
    unsigned long long devnum = 0;
    bool inuse = false;
    ASSERT_TRUE(info.GetInfo(1, nullptr, &devnum, &inuse));
    EXPECT_EQ(devnum, makedev(8, 2));
    EXPECT_TRUE(inuse);
    EXPECT_NE(v.log().find("DrvInfo() - file /etc/mtab in wrong format"), std::string::npos);
    EXPECT_FALSE(info.GetInfo(3, nullptr, nullptr, nullptr));
    EXPECT_NE(v.log().find("GetInfo() - invalid index  (3)\n"), std::string::npos);

    // Majors by class; an IDE disk's partition digits are dropped for the media file.
    EXPECT_TRUE(isFixedDisk(makedev(65, 0), "sdq"));
    EXPECT_TRUE(isFixedDisk(makedev(87, 0), "x"));
    EXPECT_FALSE(isFixedDisk(makedev(72, 0), "x"));   // /dev/ida is not in the table
    EXPECT_TRUE(isFixedDisk(makedev(3, 12), "hda12"));
    EXPECT_FALSE(isFixedDisk(makedev(3, 64), "hdb1"));   // no media file

    v.root.writeFile("/etc/mtab", "");
    EXPECT_EQ(DrvInfo(true).GetNumOfDrvs(), 0);
    std::remove(v.root.at("/etc/mtab").c_str());
    EXPECT_EQ(DrvInfo(true).GetNumOfDrvs(), 0);
    EXPECT_NE(v.log().find("DrvInfo() - file /etc/mtab could not be opened"), std::string::npos);
}

TEST(VolumeDiscovery, NamesFileKeepsIndexesAndAppendsNewVolumes)
{
    VolcapRoot v;
    v.root.writeFile(volcaptest::kDir + "qvvolcap.names", "/\n/old\n");
    DrvInfo mounted(true);   // / and /home
    DrvInfo all(false);
    ASSERT_TRUE(all.BuildDrvInfo(mounted, fileDrv));
    EXPECT_EQ(names(all), (std::vector<std::string>{"/", "/old", "/home"}));
    EXPECT_EQ(v.file("qvvolcap.names"), "/\n/old\n/home\n");
    bool inuse = true;
    ASSERT_TRUE(all.GetDrvEntryUsedFlag(1, &inuse));
    EXPECT_FALSE(inuse);
    int total = -1, available = -1, used = -1;
    ASSERT_TRUE(all.GetDrvCurrentCapacity(1, &total, &available, &used));
    EXPECT_EQ(total + available + used, 0);
    ASSERT_TRUE(all.GetDrvCurrentCapacity(0, &total, &available, &used));
    EXPECT_EQ(total, 4000);
    EXPECT_EQ(available, 1000);
    EXPECT_EQ(used, 3000);
    EXPECT_EQ(GetDrvPctUsed(available, used), 75);

    // Something else mounted on / now reads as nothing mounted there.
    v.root.writeFile("/var/qvsim/volumes", volcaptest::mountLine("/", 8, 5, 1000, 1));
    ASSERT_TRUE(all.GetDrvCurrentCapacity(0, &total, nullptr, nullptr));
    EXPECT_EQ(total, 0);
    // ... and a mount point that cannot be stat'ed is an error.
    EXPECT_FALSE(all.GetDrvCurrentCapacity(2, &total, nullptr, nullptr));
    EXPECT_NE(v.log().find("GetDrvCurrentCapacity() - can't stat drive name /home\n"),
              std::string::npos);

    DrvInfo again(false);
    ASSERT_TRUE(again.BuildDrvInfo(mounted, fileDrv));
    EXPECT_EQ(again.GetNumOfDrvs(), 3);
    EXPECT_EQ(v.file("qvvolcap.names"), "/\n/old\n/home\n");

    DrvInfo nowhere(false);
    EXPECT_FALSE(nowhere.BuildDrvInfo(mounted, v.root.at("/no/such/dir/names")));
    EXPECT_NE(v.log().find("BuildDrvGlobalInfo() - could not open drvNames file"),
              std::string::npos);
}

TEST(VolumeCapacity, KilobytesAndPercentages)
{
    const struct {
        uint64_t bsize, blocks, bfree;
        bool ok;
        int total, free, used, pct;
    } cases[] = {
        {4096, 1000, 250, true, 4000, 1000, 3000, 75},
        {512, 1000, 100, true, 500, 50, 450, 90},
        {512, 2047, 0, true, 1023, 0, 1023, 100},    // not 512: every block counts
        {1024, 3, 3, true, 3, 3, 0, 0},
        {2048, 1073741823, 0, true, 2147483646, 0, 2147483646, 100},
        {4096, 536870912, 0, false, 0, 0, 0, 0},      // 2^31 KiB
        {4096, 10, 11, false, 0, 0, 0, 0},            // more free than there is
        {65536, UINT64_MAX, 0, false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bsize) + " x " + std::to_string(c.blocks));
        int total = -1, available = -1, used = -1;
        EXPECT_EQ(capacityInKilobytes(c.bsize, c.blocks, c.bfree, &total, &available, &used), c.ok);
        if (!c.ok) {
            EXPECT_EQ(total, -1);
            continue;
        }
        EXPECT_EQ(total, c.total);
        EXPECT_EQ(available, c.free);
        EXPECT_EQ(used, c.used);
        EXPECT_EQ(GetDrvPctUsed(available, used), c.pct);
    }
    const struct { int available, used, pct; } pcts[] = {
        {199, 1, 0}, {197, 3, 2}, {1, 1, 50}, {5, 0, 0}, {0, 7, 100},
        {2147483647, 2147483647, 50}, {7, 1, 12}, {1, 7, 88}, {5, 1, 17}, {10, -5, 0}, {-3, 5, 100},
    };
    for (const auto& p : pcts)
        EXPECT_EQ(GetDrvPctUsed(p.available, p.used), p.pct) << p.available << " " << p.used;
}

TEST(VolumeCapacity, OverflowIsReportedForTheVolume)
{
    VolcapRoot v;
    v.root.writeFile("/var/qvsim/volumes", volcaptest::deviceLine("/dev/sda1", 8, 1) +
                                               volcaptest::mountLine("/", 8, 1, 536870912, 0));
    v.root.writeFile("/etc/mtab", "/dev/sda1 / ext2 rw 0 0\n");
    DrvInfo info(true);
    int total = 0;
    EXPECT_FALSE(info.GetDrvCurrentCapacity(0, &total, nullptr, nullptr));
    EXPECT_NE(v.log().find("GetDrvCurrentCapacity() - int overflow for drive /\n"),
              std::string::npos);
}

// The real calls: what df -k prints for the root file system.
TEST(VolumeCapacity, RealRootMatchesDf)
{
    qv::test::ScopedEnv noRoot("QV_ROOT", nullptr);
    struct stat st {};
    ASSERT_EQ(::stat("/", &st), 0);
    DrvInfo info(false);
    info.AddEntry("/", st.st_dev);
    const qv::test::ProgramResult df = qv::test::runProgram("/bin/df", {"-k", "--output=size,used", "/"});
    ASSERT_EQ(df.exitCode, 0) << df.err;
    std::istringstream lines(df.out);
    std::string header;
    long long dfTotal = -1, dfUsed = -1;
    std::getline(lines, header);
    lines >> dfTotal >> dfUsed;
    int total = 0, used = 0;
    ASSERT_TRUE(info.GetDrvCurrentCapacity(0, &total, nullptr, &used));
    EXPECT_EQ(total, dfTotal);
    // df and we read the counts a moment apart: allow what a busy machine writes meanwhile.
    EXPECT_NEAR(used, dfUsed, 4096);
}

} // namespace
