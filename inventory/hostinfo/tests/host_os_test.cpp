#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "sysapi.h"
#include "temp_root.h"

namespace {

class HostOsTest : public ::testing::Test {
protected:
    // A stand-in for the kernel message command: prints `messages`, ends with `status`.
    void dmesg(const std::string& messages, int status = 0)
    {
        root.writeFile("/messages", messages);
        root.writeFile("/bin/dmesg", "#!/bin/sh\ncat '" + root.at("/messages") + "'\nexit " + std::to_string(status) + "\n");
        chmod(root.at("/bin/dmesg").c_str(), 0755);
    }
    void cmosFloppyByte(unsigned char value)
    {
        std::string nvram(50, '\0');
        nvram[0x10 - 14] = char(value);   // /dev/nvram starts at CMOS byte 14
        root.writeFile("/dev/nvram", nvram);
    }
    qv::test::TempRoot root;
};

TEST_F(HostOsTest, KernelVersionWordsAreJoinedBySingleBlanks)
{
    root.writeFile("/proc/version", "Linux  version\t\t2.2.14   (gcc 2.91)\r\n#1 SMP\n");
    EXPECT_STREQ(SYSAPI_GetOperatingSystemVersion(), "Linux version 2.2.14 (gcc 2.91) #1 SMP ");
    root.writeFile("/proc/version", std::string(400, 'v') + "\n");
    EXPECT_EQ(SYSAPI_GetOperatingSystemVersion().GetLength(), 255);
}

TEST_F(HostOsTest, MissingKernelVersionIsEmptyNotAnException)
{
    EXPECT_STREQ(SYSAPI_GetOperatingSystemVersion(), "");
}

TEST_F(HostOsTest, HostName)
{
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    EXPECT_EQ(std::string(SYSAPI_GetSystemName()), std::string(name).substr(0, 63));
}

TEST_F(HostOsTest, FloppyTypesFromBootMessagesAndCmos)
{
    struct Case {
        const char* messages;
        int status;
        unsigned char cmos;
        int drives;
        int type1;
        int type2;
    } cases[] = {
        {"no drives here\n", 0, 0x40, 0, 0, 0},
        {"Floppy drive(s): fd0 is 1.44M\n", 0, 0x40, 1, 4, 0},
        {"Floppy drive(s): fd0 is 1.44M, fd1 is 1.44M\n", 0, 0x44, 2, 4, 4},
        {"Floppy drive(s): fd0 is 1.2M, fd1 is 360K\n", 0, 0x21, 2, 2, 1},
        {"Floppy drive(s): fd0 is 1.44M\n", 0, 0x50, 1, 0, 0},
        {"Floppy drive(s): fd0 is 1.44M\n", 1, 0x40, 0, 0, 0},
    };
    for (const Case& c : cases) {
        dmesg(c.messages, c.status);
        cmosFloppyByte(c.cmos);
        CLinuxFloppyInfo floppy;
        SetHostFloppyInfo(&floppy);
        EXPECT_EQ(SYSAPI_GetFloppyDriveIndexTotal(), c.drives) << c.messages;
        EXPECT_EQ(SYSAPI_GetFloppyDriveType(1), c.type1) << c.messages;
        EXPECT_EQ(SYSAPI_GetFloppyDriveType(2), c.type2) << c.messages;
        EXPECT_EQ(SYSAPI_GetFloppyDriveType(0), 0);
        SetHostFloppyInfo(nullptr);
    }
}

TEST_F(HostOsTest, MissingCommandMeansNoDrivesAndTheListHoldsFifteen)
{
    CLinuxFloppyInfo none;
    EXPECT_EQ(none.GetNbFloppyDrives(), 0);

    std::string line = "Floppy drive(s):";
    for (int i = 0; i < 20; ++i) line += " fd" + std::to_string(i % 10) + " is 1.44M,";
    dmesg(line + "\n");
    CLinuxFloppyInfo many;
    EXPECT_EQ(many.GetNbFloppyDrives(), CLinuxFloppyInfo::kMaxDrives);
}

} // namespace
