// The driver list on /proc/modules and module trees of 2.4 and 2.2 releases below a sandbox root.
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "driver_modules.h"
#include "qvrevinfo.h"
#include "temp_root.h"

namespace {

class RevInfoDriverListTest : public ::testing::Test {
protected:
    void setUpRelease(const std::string& release, const std::string& modules)
    {
        root.writeFile("/proc/sys/kernel/osrelease", release + "\n");
        root.writeFile("/proc/modules", modules);
    }
    std::string text(int (*getter)(unsigned, char*, unsigned), unsigned index)
    {
        char buffer[256] = "";
        EXPECT_EQ(getter(index, buffer, sizeof buffer), 0);
        return buffer;
    }
    qv::test::TempRoot root;
};

TEST_F(RevInfoDriverListTest, Release24ModulesAreMatchedAndDescribed)
{
    setUpRelease("2.4.2", "aic7xxx 120000 2\ne100 40000 1\nghost 10 0\nhid 20 0\nvfat 1 0\n");
    const std::string base = "/lib/modules/2.4.2/kernel/";
    root.writeFile(base + "drivers/scsi/aic7xxx/aic7xxx.o", std::string(1234, 'x'));
    root.writeFile(base + "drivers/net/e100.o", "x");
    root.writeFile(base + ".hidden/hid.o", "x");
    root.writeFile(base + "fs/vfat/vfat.o", "x");
    ASSERT_EQ(::symlink(root.at("/lib/modules/2.4.2").c_str(), root.at(base + "build").c_str()), 0);
    ASSERT_EQ(UpdateDriverInfo(), 0);
    ASSERT_EQ(GetTotalNumberOfDrivers(), 5);

    const struct { const char* name; const char* description; const char* version; std::string path;
                   DRIVER_TYPE type; const char* group; } cases[] = {
        {"aic7xxx.o", "SCSI Driver Module", "2.4.2", base + "drivers/scsi/aic7xxx/aic7xxx.o", DRIVER_STORAGE, "Storage Driver"},
        {"e100.o", "Linux Network Driver Module", "2.4.2", base + "drivers/net/e100.o", DRIVER_NETWORK, "Networking Driver"},
        {"ghost.o", "Unknown Driver Module", "", "", DRIVER_UNKNOWN, ""},
        {"hid.o", "Unknown Driver Module", "", "", DRIVER_UNKNOWN, ""},
        {"vfat.o", "File System Driver Module", "2.4.2", base + "fs/vfat/vfat.o", DRIVER_FILESYS, "File System Driver"},
    };
    for (unsigned i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(text(GetDriverName, i), c.name);
        EXPECT_EQ(text(GetDriverInfoDescription, i), c.description);
        EXPECT_EQ(text(GetDriverInfoProduct, i), c.description);
        EXPECT_EQ(text(GetDriverInfoVersion, i), c.version);
        EXPECT_EQ(text(GetDriverFilePath, i), c.path);
        EXPECT_EQ(text(GetDriverInfoType, i), c.group);
        DRIVER_TYPE type = DRIVER_LAN;
        EXPECT_EQ(GetDriverInfoNumType(i, &type), 0);
        EXPECT_EQ(type, c.type) << c.name;
    }
    EXPECT_EQ(text(GetDriverInfoFileSize, 0), "1234");
    EXPECT_EQ(text(GetDriverInfoFileSize, 2), "0");
    EXPECT_EQ(text(GetDriverInfoFileStamp, 2), "Unknown");
    EXPECT_EQ(text(GetDriverInfoDMIFileTime, 2), "Unknown");
}

TEST_F(RevInfoDriverListTest, Release22DirectoriesAndTheFiftyLineLimit)
{
    std::string modules = "aic7xxx 1 0\n";
    for (int i = 0; i < 60; ++i) modules += "m" + std::to_string(i) + " 1 0\n";
    setUpRelease("2.2.14", modules);
    root.writeFile("/lib/modules/2.2.14/scsi/aic7xxx.o", "x");
    ASSERT_EQ(UpdateDriverInfo(), 0);
    EXPECT_EQ(GetTotalNumberOfDrivers(), 50);
    EXPECT_EQ(text(GetDriverInfoDescription, 0), "SCSI Driver Module");
    EXPECT_EQ(text(GetDriverFilePath, 0), "/lib/modules/2.2.14/scsi/aic7xxx.o");
    EXPECT_EQ(text(GetDriverName, 49), "m48.o");
}

TEST_F(RevInfoDriverListTest, DescriptionRules)
{
    const struct { const char* dir; const char* release; const char* description; } cases[] = {
        {"/lib/modules/2.4.2/kernel/drivers/char/drm/", "2.4.2", "Video Driver Module"},
        {"/lib/modules/2.4.2/kernel/drivers/video/", "2.4.2", "Video Driver Module"},
        {"/lib/modules/2.4.2/kernel/net/ipv4/", "2.4.2", "Linux Network Driver Module"},
        {"/lib/modules/2.4.2/kernel/drivers/cdrom/", "2.4.2", "CDROM Driver Module"},
        {"/lib/modules/2.2.14/net/", "2.2.14", "Linux Network Driver Module"},
        {"/lib/modules/2.2.14/fs/", "2.2.14", "File System Driver Module"},
        {"/lib/modules/2.2.14/video/", "2.2.14", "Video Driver Module"},
        {"/lib/modules/2.2.14/misc/", "2.2.14", "Unknown Driver Module"},
        {"/lib/modules/6.1.0/kernel/drivers/scsi/", "6.1.0", "Unknown Driver Module"},
    };
    for (const auto& c : cases) EXPECT_EQ(revinfo::GetDrvDescription(c.dir, c.release), c.description) << c.dir;
}

} // namespace
