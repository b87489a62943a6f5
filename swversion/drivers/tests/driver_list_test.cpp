// The driver list on fixture module trees: kernel layouts, list order, texts, types, state.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "driver_list.h"
#include "module_tree.h"
#include "temp_root.h"

namespace {

class DriverListTest : public ::testing::Test {
protected:
    void setRelease(const std::string& release)
    {
        root.writeFile("/proc/sys/kernel/osrelease", release + "\n");
    }
    // A module file of `size` bytes dated `mtime`.
    void addModule(const std::string& path, size_t size, time_t mtime = 1000000000)
    {
        root.writeFile(path, std::string(size, 'm'));
        const struct timeval times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(::utimes(root.at(path).c_str(), times), 0);
    }
    DriverList collect()
    {
        DriverList list;
        CollectDriversInfo(list);
        return list;
    }

    qv::test::TempRoot root;
};

TEST_F(DriverListTest, KernelLayoutsPlaceTheModuleDirectory)
{
    const struct {
        const char* release;
        const char* directory;
    } cases[] = {
        {"2.2.14", "/lib/modules/2.2.14/scsi/"},
        {"2.4.4-4GB", "/lib/modules/2.4.4-4GB/kernel/drivers/scsi/aic7xxx/"},
        {"6.1.0-18-amd64", "/lib/modules/6.1.0-18-amd64/kernel/drivers/scsi/aic7xxx/"},
    };
    root.writeFile("/usr/qvserver/etc/qvswa.cfg", "SCSI\naic7xxx.o\n*\n");
    root.writeFile("/proc/modules", "sd_mod 1 0\naic7xxx 2 0 - Live\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.release);
        setRelease(c.release);
        addModule(std::string(c.directory) + "aic7xxx.o", 1234, 1000000000);
        const DriverList list = collect();
        ASSERT_EQ(list.nDrivers, 1);
        const DriverStruct& d = list.drivers[0];
        EXPECT_STREQ(d.szDrvName, "aic7xxx.o");
        EXPECT_STREQ(d.szDrvFilePath, c.directory);
        EXPECT_STREQ(d.szDrvVersion, c.release);
        EXPECT_STREQ(d.szDrvDescription, "SCSI Driver");
        EXPECT_EQ(d.iType, 2);
        EXPECT_EQ(d.State, 4);
        EXPECT_EQ(d.ByteSize, 1234);
        EXPECT_EQ(d.DrvDateAndTime, 1000000000);
    }
}

TEST_F(DriverListTest, ListsInOrderWithKindsAndState)
{
    setRelease("6.1.0");
    const std::string drivers = "/lib/modules/6.1.0/kernel/drivers/";
    addModule(drivers + "scsi/zz.ko", 1);
    addModule(drivers + "scsi/aa.ko", 2);
    addModule(drivers + "scsi/raid/megaraid.ko", 3);
    addModule(drivers + "net/e100.ko", 4);
    addModule(drivers + "net/netdac.ko", 5);   // a DAC name only in the network tree
    root.writeFile("/usr/qvserver/etc/qvswa.cfg",
                   "NIC\ne100.ko\n*\nSCSI\nzz.ko\nmissing.ko\naa.ko\n*\nDAC\nnetdac.ko\nmegaraid.ko\n*\n");
    root.writeFile("/proc/modules", "zz 1 0\nmegaraid 2 0\ne1000 3 0\n");

    const struct {
        const char* name;
        int type;
        const char* description;
        int state;
        long size;
    } expected[] = {
        {"zz.ko", 2, "SCSI Driver", 4, 1},
        {"aa.ko", 2, "SCSI Driver", 1, 2},
        {"megaraid.ko", 3, "DAC Driver", 4, 3},
        {"e100.ko", 1, "Network Interface Card Driver", 1, 4},
    };
    for (int run = 0; run < 2; ++run) {   // a second run gives the same list, not a doubled one
        const DriverList list = collect();
        ASSERT_EQ(list.nDrivers, 4);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(expected[i].name);
            EXPECT_STREQ(list.drivers[i].szDrvName, expected[i].name);
            EXPECT_EQ(list.drivers[i].iType, expected[i].type);
            EXPECT_STREQ(list.drivers[i].szDrvDescription, expected[i].description);
            EXPECT_EQ(list.drivers[i].State, expected[i].state);
            EXPECT_EQ(list.drivers[i].ByteSize, expected[i].size);
        }
    }
}

TEST_F(DriverListTest, KeepsAtMostFiftyDriversAndToleratesMissingFiles)
{
    EXPECT_EQ(collect().nDrivers, 0);   // no qvswa.cfg, no release, no tree
    setRelease("6.1.0");
    std::string list = "SCSI\n";
    for (int i = 0; i < 60; ++i) {
        const std::string name = "m" + std::to_string(100 + i) + ".ko";
        addModule("/lib/modules/6.1.0/kernel/drivers/scsi/" + name, 1);
        list += name + "\n";
    }
    root.writeFile("/usr/qvserver/etc/qvswa.cfg", list);
    const DriverList drivers = collect();
    ASSERT_EQ(drivers.nDrivers, 50);
    EXPECT_STREQ(drivers.drivers[49].szDrvName, "m149.ko");
    EXPECT_EQ(drivers.drivers[0].State, 1);   // no /proc/modules
}

TEST_F(DriverListTest, WalkNeverDescendsThroughSymbolicLinks)
{
    const std::string dir = "/lib/modules/6.1.0/kernel/drivers/scsi/";
    addModule(dir + "sub/real.ko", 7);
    addModule(dir + ".hidden/hidden.ko", 1);
    ASSERT_EQ(::symlink("..", root.at(dir + "sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink("sub/real.ko", root.at(dir + "alias.ko").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", root.at(dir + "dangling.ko").c_str()), 0);
    const std::vector<ModuleStruct> index = buildModuleIndex(dir, ModuleWalkRules{});
    ASSERT_EQ(index.size(), 2u);
    EXPECT_EQ(index[0].strName, "alias.ko");
    EXPECT_EQ(index[0].strPath, dir);
    EXPECT_EQ(index[1].strName, "real.ko");
    EXPECT_EQ(index[1].strPath, dir + "sub/");
    EXPECT_EQ(BinarySearch(index, 0, 1, "real.ko"), 1);
    EXPECT_EQ(BinarySearch(index, 0, 1, "other.ko"), -1);
    EXPECT_EQ(BinarySearch(index, 0, -1, "real.ko"), -1);
}

TEST_F(DriverListTest, LookupWithoutIndexFindsWhatTheSearchOfTheSortedIndexFinds)
{
    // Names found several times in different directories, names that sort around them, and
    // trees of several sizes, so that the search meets each run at different positions.
    const std::string dir = "/lib/modules/6.1.0/kernel/drivers/net/";
    const std::vector<std::string> wanted{"dup.o", "e1000.o", "zz.o", "aa.o", "dup.o", "single.o"};
    for (int size = 0; size < 14; ++size) {
        SCOPED_TRACE(size);
        addModule(dir + "d" + std::to_string(size % 3) + "/dup.o", 1);
        addModule(dir + "f" + std::to_string(size) + "/m" + std::to_string(size) + ".o", 1);
        if (size == 5) addModule(dir + "single.o", 1);
        if (size == 9) addModule(dir + "x/e1000.o", 1);
        const std::vector<ModuleStruct> index = buildModuleIndex(dir, ModuleWalkRules{});
        const std::vector<std::optional<ModuleStruct>> found = findModules(dir, ModuleWalkRules{}, wanted);
        ASSERT_EQ(found.size(), wanted.size());
        for (size_t k = 0; k < wanted.size(); ++k) {
            const int at = BinarySearch(index, 0, static_cast<int>(index.size()) - 1, wanted[k].c_str());
            ASSERT_EQ(found[k].has_value(), at >= 0) << wanted[k];
            if (at < 0) continue;
            EXPECT_EQ(found[k]->strName, wanted[k]);
            EXPECT_EQ(found[k]->strPath, index[static_cast<size_t>(at)].strPath) << wanted[k];
        }
    }
}

} // namespace
