// An outside C program loads libqvdiskbus.so with dlopen and takes the inventory of the standalone
// simulator's default machine: the C view of the records reads what the library wrote.
#include <service_process.h>
#include <temp_root.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class CCallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root.writeFile("/var/qvsim/uname", "2.4.20\n");
        root.writeFile("/etc/mtab", "/dev/sda /data ext2 rw 0 0\n/dev/sdc /raid ext2 rw 0 0\n");
        ASSERT_TRUE(qv::test::startSimulator(simulator, root, qv::test::defaultScenario()));
    }
    qv::test::ProgramResult inventory(const std::string& rounds) {
        return qv::test::runProgram(qv::test::buildPath("storage/diskbus/qvdiskbus_inventory"),
                                    {qv::test::installedPath("storage/diskbus/libqvdiskbus.so"), rounds});
    }

    qv::test::TempRoot root;
    qv::test::ChildProcess simulator;
};

TEST_F(CCallerTest, InventoryOfTheDefaultMachine) {
    const auto run = inventory("3");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The channel scans show the controller's physical disks; /dev/sdc is the RAID 5 drive over
    // the four disks of its channel 0, so they hold volume map entries 1 to 4.
    for (const char* line : {
             "adapters 2 drives 10\n",
             "adapter 0 class 4 channels 1 name \"aic7xxx\" brand \"Adaptec\" bios \"\" dram 0 board 0 product \"aic7xxx\"\n",
             "adapter 1 class 1 channels 2 name \"megaraid\" brand \"AMI\" bios \"H1.01.62\" dram 64 board 4660 "
             "product \"QV Stratavol Elite 1600\"\n",
             "drive 0:0:0 type 0 vendor 2 rev \"0005\" product \"SEAGATE ST39204LC       \" serial \"3BV0KXYZ\" mb 8683 "
             "mask 1 raid 65535 state 3\n",
             "drive 0:0:4 type 5 vendor 0 rev \"1.20\" product \"QVOPT   CD-ROM CR-588   \" serial \"\" mb 0 mask 0 "
             "raid 65535 state 0\n",
             "drive 1:0:3 type 0 vendor 2 rev \"0003\" product \"SEAGATE ST318451LC      \" serial \"3CC0DDDD\" mb 8683 "
             "mask 16 raid 5 state 3\n",
             "drive 1:1:1 type 0 vendor 3 rev \"S96H\" product \"IBM     DDYS-T18350N    \" serial \"4CX7FFFF02\" mb 17501 "
             "mask 0 raid 1 state 3\n",
         })
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "in:\n" << run.out;
}

// The volume map only asks a node for its address: a medium that cannot be written (the CD-ROM,
// whose node refuses every open that may write) still holds its volume.
TEST_F(CCallerTest, ReadOnlyMediumHoldsItsVolume) {
    root.writeFile("/etc/mtab", "/dev/scd0 /cdrom iso9660 ro 0 0\n");
    const auto run = inventory("1");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const size_t line = run.out.find("drive 0:0:4 type 5 ");
    ASSERT_NE(line, std::string::npos) << run.out;
    const std::string drive = run.out.substr(line, run.out.find('\n', line) - line);
    EXPECT_NE(drive.find(" mask 1 "), std::string::npos) << drive;
}

TEST_F(CCallerTest, RefusesWhatItCannotLoad) {
    const auto missing = qv::test::runProgram(qv::test::buildPath("storage/diskbus/qvdiskbus_inventory"),
                                              {root.at("/no/such/library.so")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(inventory("0").exitCode, 2);
}

} // namespace
