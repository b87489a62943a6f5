// The scanning service's baseline and history on fixture module trees.
#include <gtest/gtest.h>

#include <cstring>
#include <sys/time.h>
#include <unistd.h>

#include "profile.h"
#include "registry.h"
#include "rev_scanner.h"
#include "sw_files.h"
#include "temp_root.h"

namespace {

constexpr char kModuleDir[] = "/lib/modules/6.1.0/kernel/drivers/scsi/";
constexpr time_t kOldTime = 1000000000;   // 9/9/2001 in most zones

class RevScannerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.writeFile("/proc/sys/kernel/osrelease", "6.1.0\n");
        root.writeFile("/usr/qvserver/etc/qvswa.cfg", "SCSI\naic7xxx.ko\nsym.ko\n*\n");
        root.writeFile("/proc/modules", "aic7xxx 1 0\n");
        installModule("aic7xxx.ko", 100, kOldTime);
        installModule("sym.ko", 200, kOldTime);
        setVersion("A.01.02");
    }
    void installModule(const std::string& name, size_t size, time_t mtime)
    {
        const std::string path = std::string(kModuleDir) + name;
        root.writeFile(path, std::string(size, 'm'));
        const struct timeval times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(::utimes(root.at(path).c_str(), times), 0);
    }
    static void setVersion(const char* version)
    {
        ASSERT_EQ(SetRegData(swfiles::kVersionRegKey, version, std::strlen(version)), 0u);
    }
    std::string read(const char* file, const char* section, const std::string& key)
    {
        char buffer[256] = {};
        GetPrivateProfileString(section, key.c_str(), "<none>", buffer, sizeof buffer,
                                root.at(file).c_str());
        return buffer;
    }

    qv::test::TempRoot root;
    CRevisionScanner scanner;
};

TEST_F(RevScannerTest, FirstBaselineRecordsDriversAndVersionWithoutHistory)
{
    scanner.CreateRevisionHistoryBaseFile(false);
    DriverStruct d{};
    d.ByteSize = 100;
    d.DrvDateAndTime = kOldTime;
    EXPECT_EQ(read(swfiles::kBaselineFile, "Drivers", "1").rfind("aic7xxx.ko,100,", 0), 0u);
    EXPECT_NE(read(swfiles::kBaselineFile, "Drivers", "1").find(",4,2,6.1.0"), std::string::npos);
    EXPECT_EQ(read(swfiles::kBaselineFile, "Drivers", "2").rfind("sym.ko,200,", 0), 0u);
    EXPECT_EQ(read(swfiles::kBaselineFile, "AgentsVersion", "version"), "A.01.02");
    EXPECT_FALSE(root.exists(swfiles::kHistoryFile));

    ASSERT_TRUE(scanner.GetRevisionHistoryItem(1, &d));
    EXPECT_STREQ(d.szDrvName, "aic7xxx.ko");
    EXPECT_EQ(d.ByteSize, 100);
    EXPECT_EQ(d.DrvDateAndTime, kOldTime);
    EXPECT_EQ(d.State, 4);
    EXPECT_EQ(d.iType, 2);
    EXPECT_STREQ(d.szDrvVersion, "");   // no comma after it: never read back
    EXPECT_FALSE(scanner.GetRevisionHistoryItem(3, &d));

    installModule("aic7xxx.ko", 999, kOldTime);
    scanner.CreateRevisionHistoryBaseFile(false);   // a baseline exists: kept
    EXPECT_EQ(read(swfiles::kBaselineFile, "Drivers", "1").rfind("aic7xxx.ko,100,", 0), 0u);
}

TEST_F(RevScannerTest, ChangedDriversAddOneEntryEachAndMoveTheBaseline)
{
    scanner.CreateRevisionHistoryBaseFile(false);
    const std::string oldDate = formatChangeDate(kOldTime);
    const time_t pollTime = kOldTime + 86400 * 30;
    const std::string changeDate = formatChangeDate(pollTime);

    installModule("aic7xxx.ko", 100, kOldTime + 7200);   // same size, new date
    installModule("sym.ko", 201, kOldTime);               // new size, same date
    installModule("new.ko", 5, kOldTime);                 // not in the baseline: no entry
    scanner.UpdateRevisionHistory(pollTime);
    scanner.UpdateRevisionHistory(pollTime);              // moved baseline: no duplicates

    EXPECT_EQ(read(swfiles::kHistoryFile, "RHLog", "Count"), "2");
    EXPECT_EQ(read(swfiles::kHistoryFile, "RHLog", "0"),
              "aic7xxx.ko,100," + oldDate + ",4,2,100 " + oldDate + "," + changeDate + ",3");
    EXPECT_EQ(read(swfiles::kHistoryFile, "RHLog", "1"),
              "sym.ko,200," + oldDate + ",1,2,200 " + oldDate + "," + changeDate + ",3");
    DriverStruct d{};
    ASSERT_TRUE(scanner.GetRevisionHistoryItem(1, &d));
    EXPECT_EQ(d.DrvDateAndTime, kOldTime + 7200);
    ASSERT_TRUE(scanner.GetRevisionHistoryItem(2, &d));
    EXPECT_EQ(d.ByteSize, 201);
    // A driver change writes "Count" before its entry.
    EXPECT_LT(root.readFile(swfiles::kHistoryFile).find("Count="),
              root.readFile(swfiles::kHistoryFile).find("0="));
}

TEST_F(RevScannerTest, AgentsVersionChangeWritesItsEntryBeforeCount)
{
    scanner.CreateRevisionHistoryBaseFile(false);
    setVersion("A.01.03");
    const time_t pollTime = kOldTime + 3600;
    scanner.UpdateRevisionHistory(pollTime);
    scanner.UpdateRevisionHistory(pollTime);
    EXPECT_EQ(read(swfiles::kHistoryFile, "RHLog", "0"),
              "QV Velkarn SNMP Agents,,,,1,A.01.03," + formatChangeDate(pollTime) + ",1");
    EXPECT_EQ(read(swfiles::kHistoryFile, "RHLog", "Count"), "1");
    EXPECT_EQ(read(swfiles::kBaselineFile, "AgentsVersion", "version"), "A.01.03");
    EXPECT_GT(root.readFile(swfiles::kHistoryFile).find("Count="),
              root.readFile(swfiles::kHistoryFile).find("0="));

    setVersion("A.01.04 long");   // the service keeps the first 8 bytes
    scanner.UpdateRevisionHistory(pollTime);
    EXPECT_EQ(read(swfiles::kBaselineFile, "AgentsVersion", "version"), "A.01.04 ");
}

TEST_F(RevScannerTest, EraseRemovesHistoryAndRebuildsTheBaseline)
{
    scanner.CreateRevisionHistoryBaseFile(false);
    installModule("sym.ko", 300, kOldTime);
    scanner.UpdateRevisionHistory(kOldTime);
    ASSERT_TRUE(root.exists(swfiles::kHistoryFile));
    installModule("sym.ko", 400, kOldTime);
    scanner.RHFilesErase();
    EXPECT_FALSE(root.exists(swfiles::kHistoryFile));
    EXPECT_EQ(read(swfiles::kBaselineFile, "Drivers", "2").rfind("sym.ko,400,", 0), 0u);
}

TEST(RevScannerRecords, BaselineRecordsParseAtCommasAndDateSeparators)
{
    DriverStruct d{};
    EXPECT_FALSE(parseBaselineRecord("", d));
    ASSERT_TRUE(parseBaselineRecord("m.o,,,,", d));
    EXPECT_EQ(d.ByteSize, 0);
    EXPECT_EQ(d.DrvDateAndTime, 0);
    ASSERT_TRUE(parseBaselineRecord("a-very-long-module-name.o,5,1/2/2003 04:05:06.0,4,3,2.4.2,", d));
    EXPECT_STREQ(d.szDrvName, "a-very-long-mod");
    EXPECT_STREQ(d.szDrvVersion, "2.4.2");
    EXPECT_EQ(d.iType, 3);
    struct tm t {};
    localtime_r(&d.DrvDateAndTime, &t);
    EXPECT_EQ(t.tm_year, 103);
    EXPECT_EQ(t.tm_sec, 6);
}

TEST(RevScannerPolling, PollsInTheFirstSixMinutesOfTheHourOrWhenAsked)
{
    const struct {
        int hour, min, sec;
        int time;
        bool pollNow;
        bool polls;
    } cases[] = {
        {3, 5, 55, 3, false, true}, {3, 6, 0, 3, false, false}, {3, 0, 0, 3, false, true},
        {2, 59, 59, 3, false, false}, {17, 1, 0, 17, false, true}, {10, 30, 0, 3, true, true},
        {3, 1, 0, 0, false, false},
    };
    for (const auto& c : cases) {
        struct tm now {};
        now.tm_hour = c.hour;
        now.tm_min = c.min;
        now.tm_sec = c.sec;
        EXPECT_EQ(shouldPoll(now, c.time, c.pollNow), c.polls) << c.hour << ":" << c.min;
    }
}

} // namespace
