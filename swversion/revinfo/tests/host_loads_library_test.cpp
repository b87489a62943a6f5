// A host loads libqvrevinfo.so by name, as outside management hosts do, and uses only what it
// exports.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "qvrevinfo.h"
#include "temp_root.h"

namespace {

using qv::test::installedPath;
using TextGetter = int (*)(unsigned, char*, unsigned);

class RevInfoHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::tzset();
        root.writeFile("/proc/sys/kernel/osrelease", "2.4.2\n");
        root.writeFile("/proc/modules", "aic7xxx 1 0\nghost 1 0\n");
        root.writeFile("/lib/modules/2.4.2/kernel/drivers/scsi/aic7xxx/aic7xxx.o", "xyz");
        handle = ::dlopen("libqvrevinfo.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << ::dlerror();
    }
    void TearDown() override
    {
        if (handle != nullptr) ::dlclose(handle);
    }
    template <typename T>
    T symbol(const char* name)
    {
        void* found = ::dlsym(handle, name);
        EXPECT_NE(found, nullptr) << name;
        return reinterpret_cast<T>(found);
    }
    qv::test::ScopedEnv replyWait{"QV_BMCCACHE_REPLY_MS", "50"};
    qv::test::ScopedEnv timeZone{"TZ", "UTC0"};
    qv::test::TempRoot root;
    void* handle = nullptr;
};

TEST_F(RevInfoHostTest, ExportsExactlyTheInterface)
{
    const auto result = qv::test::runProgram("/usr/bin/nm", {"-D", "--defined-only", installedPath("swversion/revinfo/libqvrevinfo.so")});
    std::set<std::string> exported;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(line.rfind(' ') + 1);
        if (line.find(" T ") != std::string::npos || line.find(" D ") != std::string::npos ||
            line.find(" B ") != std::string::npos || line.find(" W ") != std::string::npos)
            exported.insert(name);
    }
    const std::set<std::string> expected = {
        "QVREVINFOCiGetApiInfo", "GetDriverCount", "GetFirmwareCount", "GetDriverVersionInfo",
        "GetFirmwareVersionInfo", "GetDriverName", "GetDriverInfoManufacturer",
        "GetDriverInfoDescription", "GetDriverInfoProduct", "GetDriverInfoVersion",
        "GetDriverInfoType", "GetDriverFilePath", "GetDriverInfoFileStamp",
        "GetDriverInfoDMIFileTime", "GetDriverInfoFileSize", "GetDriverInfoOctetFileStamp",
        "GetDriverInfoNumType", "GetFWComponentName", "GetFWComponentProduct",
        "GetFWComponentManufacturer", "GetFWComponentVersion", "GetFWComponentNumType",
        "GetTotalNumberOfDrivers", "GetTotalNumberOfFirmwares", "UpdateDriverInfo",
        "UpdateFirmwareInfo", "GetTotalNumberOfAgents", "GetAgentName", "GetAgentSize",
        "GetAgentDate", "GetAgentState", "GetAgentType"};
    EXPECT_EQ(exported, expected);
}

TEST_F(RevInfoHostTest, TableAndDriverGetters)
{
    auto getApiInfo = symbol<decltype(&QVREVINFOCiGetApiInfo)>("QVREVINFOCiGetApiInfo");
    int count = 0;
    EXPECT_EQ(getApiInfo(nullptr, &count, nullptr), 0);
    EXPECT_EQ(count, 2);
    DRIVER_API_STRUCT* table = nullptr;
    void (*cleanup)() = nullptr;
    ASSERT_EQ(getApiInfo(&table, &count, &cleanup), 0);
    ASSERT_EQ(table[0].apiClassId, 1);
    ASSERT_EQ(table[1].apiClassId, 2);
    auto* drivers = static_cast<API_CLASS_DRIVER_VERSION*>(table[0].api);
    auto* firmware = static_cast<API_CLASS_FIRMWARE_VERSION*>(table[1].api);

    ASSERT_EQ(symbol<int (*)()>("UpdateDriverInfo")(), 0);
    int n = -1;
    ASSERT_EQ(drivers->GetNumberOfDrivers(&n), 0);
    ASSERT_EQ(n, 2);
    DRIVER_VERSION_INFO info {};
    const struct { unsigned index; DRIVER_VERSION_INFO* info; int result; } indexes[] = {
        {0, &info, ACCESS_OUT_OF_RANGE}, {3, &info, ACCESS_OUT_OF_RANGE}, {1, nullptr, ACCESS_OK},
        {2, &info, ACCESS_OK}, {1, &info, ACCESS_OK},
    };
    for (const auto& c : indexes) EXPECT_EQ(drivers->GetDriverVersionInfo(c.index, c.info), c.result) << c.index;
    EXPECT_STREQ(info.driverName.stringData, "aic7xxx.o");
    EXPECT_EQ(info.driverName.stringLength, 9);
    EXPECT_EQ(info.driverName.type, EIGHT_BIT_ASCII);
    EXPECT_STREQ(info.driverVersion.stringData, "2.4.2");
    EXPECT_STREQ(info.driverManufacturer.stringData, "SCSI Driver Module");
    EXPECT_STREQ(info.driverFilePath.stringData, "/lib/modules/2.4.2/kernel/drivers/scsi/aic7xxx/aic7xxx.o");
    EXPECT_EQ(info.driverSize, 3);
    EXPECT_EQ(info.driverType, DRIVER_STORAGE);
    EXPECT_EQ(std::strlen(info.driverTime.stringData), 25u);

    auto getName = symbol<TextGetter>("GetDriverName");
    char buffer[16];
    const struct { unsigned index; char* buffer; unsigned size; int result; } texts[] = {
        {0, buffer, 8, 0x100012}, {0, buffer, 9, 0x100012}, {0, buffer, 10, 0}, {0, nullptr, 10, 0x100016},
        {2, buffer, 10, 0x100010},
    };
    for (const auto& c : texts) EXPECT_EQ(getName(c.index, c.buffer, c.size), c.result) << c.size;
    EXPECT_STREQ(buffer, "aic7xxx.o");

    // Every text getter, on the module and on the one without a file.
    const struct { const char* getter; const char* module; const char* ghost; } getters[] = {
        {"GetDriverInfoManufacturer", "SCSI Driver Module", "Unknown Driver Module"},
        {"GetDriverInfoDescription", "SCSI Driver Module", "Unknown Driver Module"},
        {"GetDriverInfoProduct", "SCSI Driver Module", "Unknown Driver Module"},
        {"GetDriverInfoVersion", "2.4.2", ""},
        {"GetDriverInfoType", "Storage Driver", ""},
        {"GetDriverInfoFileSize", "3", "0"},
        {"GetDriverInfoFileStamp", nullptr, "Unknown"},
        {"GetDriverInfoDMIFileTime", nullptr, "Unknown"},
    };
    for (const auto& g : getters) {
        auto get = symbol<TextGetter>(g.getter);
        char text[128];
        ASSERT_EQ(get(0, text, sizeof text), 0) << g.getter;
        if (g.module != nullptr) {
            EXPECT_STREQ(text, g.module) << g.getter;
        }
        ASSERT_EQ(get(1, text, sizeof text), 0) << g.getter;
        EXPECT_STREQ(text, g.ghost) << g.getter;
    }
    cleanup();

    // No IPMI cache service and no adapters here: no components, the list still counts as built.
    ASSERT_EQ(firmware->GetNumberOfFirmWares(&n), 0);
    EXPECT_EQ(n, 0);
    FW_REVISION_INFO fw {};
    EXPECT_EQ(firmware->GetFirmWareVersionInfo(1, &fw), ACCESS_OUT_OF_RANGE);
    EXPECT_EQ(symbol<int (*)()>("GetTotalNumberOfFirmwares")(), 0);
}

TEST_F(RevInfoHostTest, FileTimesFollowTheLocaleAndTimeZone)
{
    const std::string file = root.at("/lib/modules/2.4.2/kernel/drivers/scsi/aic7xxx/aic7xxx.o");
    const timespec times[2] = {{984000000, 0}, {984000000, 0}};   // 2001-03-07 21:20:00 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    qv::test::ScopedEnv locale{"LC_ALL", "C"};
    ASSERT_EQ(symbol<int (*)()>("UpdateDriverInfo")(), 0);
    char text[64];
    ASSERT_EQ(symbol<TextGetter>("GetDriverInfoFileStamp")(0, text, sizeof text), 0);
    EXPECT_STREQ(text, "03/07/01 21:20:00");
    ASSERT_EQ(symbol<TextGetter>("GetDriverInfoDMIFileTime")(0, text, sizeof text), 0);
    EXPECT_STREQ(text, "20010307212000.000000-000");
    const struct { unsigned size; int result; } octets[] = {{5, 0x100012}, {6, 0}};
    for (const auto& c : octets)
        EXPECT_EQ(symbol<TextGetter>("GetDriverInfoOctetFileStamp")(0, text, c.size), c.result);
    EXPECT_EQ(std::string(text, 6), std::string("\x65\x03\x07\x15\x14\x00", 6));
}

} // namespace
