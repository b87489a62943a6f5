// qvrevcollect as a process on the simulated server: BIOS rows from the BIOS image, controller
// rows from the simulated controllers, history entries for changes only.
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model_code.h"
#include "profile.h"
#include "service_process.h"
#include "temp_root.h"

namespace {

using qv::test::installedPath;

constexpr char kBiosFile[] = "/usr/qvserver/etc/qvswabios.dat";
constexpr char kHistoryFile[] = "/usr/qvserver/etc/qvswarh.log";

class CollectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(55));
        ASSERT_TRUE(qv::test::startSimulator(sim, root, qv::test::defaultScenario()));
        root.writeFile("/usr/qvserver/etc/qvswarh.cfg",
                       "[firmware]\nCount=2\naddr1=32\nname1=BaseBoard Firmware\naddr2=40\n"
                       "name2=Mgmt Card\n");
    }

    qv::test::ProgramResult collect(bool withControllerLibrary = true)
    {
        std::map<std::string, std::string> env{{"QV_FOREGROUND", "1"}};
        if (withControllerLibrary) env["LD_LIBRARY_PATH"] = installedPath("mgmtctl/libqvbmc");
        return qv::test::runProgram(withControllerLibrary ? installedPath("swversion/qvrevcollect/qvrevcollect")
                                                          : copyWithoutControllerLibrary(),
                                    {}, env);
    }

    // The program in a copy of its installation that lacks the controller library (installed,
    // it finds its libraries beside itself; in the build tree, only through LD_LIBRARY_PATH).
    std::string copyWithoutControllerLibrary()
    {
        namespace fs = std::filesystem;
        const fs::path bin = root.at("/opt/qv/bin"), lib = root.at("/opt/qv/lib");
        fs::create_directories(bin);
        fs::create_directories(lib);
        const fs::path host = installedPath("inventory/hostinfo/libqvhost.so");
        for (const auto& entry : fs::directory_iterator(host.parent_path()))
            if (entry.path().filename().string().rfind("libqvbmc.so", 0) != 0)
                fs::create_symlink(entry.path(), lib / entry.path().filename());
        const fs::path program = bin / "qvrevcollect";
        fs::copy_file(installedPath("swversion/qvrevcollect/qvrevcollect"), program);
        return program.string();
    }

    std::string value(const char* file, const char* section, const std::string& key)
    {
        char text[512] = "";
        GetPrivateProfileString(section, key.c_str(), "", text, sizeof text, root.at(file).c_str());
        return text;
    }

    // The versions of the BIOS Information structures as dmidecode reads them from the same
    // image, in table order: the system BIOS first, then the add-on BIOSes.
    std::vector<std::string> dmidecodeBiosVersions()
    {
        const auto result = qv::test::runProgram("/usr/sbin/dmidecode",
                                                 {"--no-sysfs", "-t", "0", "-d", root.at("/dev/mem")});
        std::vector<std::string> versions;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("\tVersion: ", 0) == 0) versions.push_back(line.substr(10));
        return versions;
    }
    std::string dmidecodeBiosVersion()
    {
        const auto versions = dmidecodeBiosVersions();
        return versions.empty() ? std::string() : versions.front();
    }

    // Replaces every occurrence of `from` by `to` (same length) in the BIOS image.
    void patchBiosImage(const std::string& from, const std::string& to)
    {
        std::string image = qv::test::readWholeFile(root.at("/dev/mem"));
        for (size_t at = image.find(from); at != std::string::npos; at = image.find(from, at))
            image.replace(at, to.size(), to);
        std::ofstream(root.at("/dev/mem"), std::ios::binary | std::ios::trunc) << image;
    }

    qv::test::TempRoot root;
    qv::test::ChildProcess sim;
};

TEST_F(CollectorTest, RecordsBiosAndAnsweringControllersAndLogsChangesOnly)
{
    ASSERT_EQ(collect().exitCode, 0);
    const std::string biosVersion = dmidecodeBiosVersion();
    ASSERT_FALSE(biosVersion.empty());
    // The add-on BIOS structures come SCSI first, then video, in the default scenario.
    const std::vector<std::string> versions = dmidecodeBiosVersions();
    ASSERT_EQ(versions.size(), 3u);
    const struct { const char* key; std::string row; } rows[] = {
        {"Count", "5"},
        {"0", "System BIOS,1," + biosVersion + ",System BIOS"},
        {"1", "SCSI BIOS,3," + versions[1] + ",SCSI BIOS"},
        {"2", "Video BIOS,2," + versions[2] + ",Video BIOS"},
        {"3", "BaseBoard Firmware,0,B.01.23,BaseBoard Firmware"},
        {"4", "Mgmt Card,0,C.02.10,Mgmt Card"},
    };
    for (const auto& r : rows) EXPECT_EQ(value(kBiosFile, "BIOSInfo", r.key), r.row) << r.key;

    ASSERT_EQ(collect().exitCode, 0);
    EXPECT_EQ(value(kHistoryFile, "RHLog", "Count"), "");

    patchBiosImage(biosVersion, std::string(biosVersion.size() - 1, 'N') + "9");
    ASSERT_EQ(collect().exitCode, 0);
    const std::string updated = std::string(biosVersion.size() - 1, 'N') + "9";
    EXPECT_EQ(dmidecodeBiosVersion(), updated);
    EXPECT_EQ(value(kHistoryFile, "RHLog", "Count"), "1");
    const std::string entry = value(kHistoryFile, "RHLog", "0");
    EXPECT_EQ(entry.rfind("System BIOS,,,4,1," + updated + ",", 0), 0u) << entry;
    EXPECT_EQ(entry.substr(entry.size() - 2), ",4") << entry;
    EXPECT_EQ(value(kBiosFile, "BIOSInfo", "0"), "System BIOS,1," + updated + ",System BIOS");
}

// 0x30 is not on the simulated bus (the controller library retries it for some seconds). The
// first address makes the controller object, so the absent one comes second.
TEST_F(CollectorTest, ControllerThatDoesNotAnswerIsLeftOut)
{
    root.writeFile("/usr/qvserver/etc/qvswarh.cfg",
                   "[firmware]\nCount=3\naddr1=40\nname1=Mgmt Card\naddr2=48\nname2=Absent\n"
                   "addr3=32\nname3=BaseBoard\n");
    ASSERT_EQ(collect().exitCode, 0);
    EXPECT_EQ(value(kBiosFile, "BIOSInfo", "Count"), "5");
    EXPECT_EQ(value(kBiosFile, "BIOSInfo", "3"), "Mgmt Card,0,C.02.10,Mgmt Card");
    EXPECT_EQ(value(kBiosFile, "BIOSInfo", "4"), "BaseBoard,0,B.01.23,BaseBoard");
}

TEST_F(CollectorTest, MissingControllerLibraryOrBiosDataLeavesTheFileUntouched)
{
    root.writeFile(kBiosFile, "[BIOSInfo]\nCount=0\n");
    EXPECT_EQ(collect(false).exitCode, 1);
    std::ofstream(root.at("/dev/mem"), std::ios::binary | std::ios::trunc) << std::string(0x100000, '\0');
    EXPECT_EQ(collect().exitCode, 1);
    EXPECT_EQ(qv::test::readWholeFile(root.at(kBiosFile)), "[BIOSInfo]\nCount=0\n");
}

} // namespace
