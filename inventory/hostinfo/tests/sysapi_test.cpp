#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "bios_fixture.h"
#include "host_inventory.h"
#include "sysapi.h"

namespace {

using qv::test::portOemString;

class SysapiTest : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void open(const qv::sim::BiosInventory& inv, qv::sim::DmiFormat format = qv::sim::DmiFormat::Smbios21)
    {
        writeImage(qv::sim::renderBiosImage(inv, format));
        reopen();
    }
    void reopen()
    {
        SetHostDmiObjects(nullptr, nullptr);
        bios_ = std::make_unique<qv::test::OpenBios>();
        SetHostDmiObjects(&bios_->driver, &bios_->bios);
    }
    void TearDown() override { SetHostDmiObjects(nullptr, nullptr); }

    std::unique_ptr<qv::test::OpenBios> bios_;
};

TEST_F(SysapiTest, IdentityAndBiosTexts)
{
    open(qv::test::hostInventory());
    EXPECT_EQ(SYSAPI_GetSystemSPU(), 66);
    EXPECT_STREQ(SYSAPI_GetSystemModelName(), "Velkarn 1");
    EXPECT_STREQ(SYSAPI_GetSystemBIOSVersion(), qv::sim::BiosInfo{}.version.c_str());
    EXPECT_STREQ(SYSAPI_GetSystemBIOSManufacturer(), qv::sim::BiosInfo{}.vendor.c_str());
    EXPECT_STREQ(SYSAPI_GetSCSIBIOSVersion(), "SCSI 2.01");
    EXPECT_STREQ(SYSAPI_GetVideoBIOSVersion(), "VIDEO 3.10");
    EXPECT_STREQ(SYSAPI_GetSystemManufacturer(), "Quorvane");
    EXPECT_STREQ(SYSAPI_GetSystemProduct(), "Velkarn");
}

TEST_F(SysapiTest, ModelCodeFallsBackToTheModelName)
{
    qv::sim::BiosInventory inv;
    inv.systemInfo->product = "rk7300";
    open(inv);
    EXPECT_EQ(SYSAPI_GetSystemSPU(), 94);
    inv.systemInfo->product = "rk7200";
    open(inv);
    EXPECT_EQ(SYSAPI_GetSystemSPU(), 0);
}

TEST_F(SysapiTest, ProcessorsCountRunningOnesButIndexOccurrences)
{
    open(qv::test::hostInventory());
    EXPECT_EQ(SYSAPI_GetProcessorIndexTotal(), 2);
    EXPECT_EQ(SYSAPI_GetProcessorAvailabilityStatus(1), 3);
    EXPECT_EQ(SYSAPI_GetProcessorAvailabilityStatus(2), 2);
    EXPECT_EQ(SYSAPI_GetProcessorAvailabilityStatus(3), 3);
    EXPECT_STREQ(SYSAPI_GetProcessorVersionInformation(1), "Pentium III Xeon");
    EXPECT_STREQ(SYSAPI_GetProcessorVersionInformation(2), "Pentium II");   // occurrence 2, not running
    EXPECT_EQ(SYSAPI_GetProcessorCurrentSpeed(1), 550);
    EXPECT_EQ(SYSAPI_GetProcessorFamily(2), 0x11);
}

TEST_F(SysapiTest, BadIndexesThrowIndexOutOfRange)
{
    open(qv::test::hostInventory());
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"family 0", [] { SYSAPI_GetProcessorFamily(0); }},
        {"version 3", [] { SYSAPI_GetProcessorVersionInformation(3); }},
        {"speed -1", [] { SYSAPI_GetProcessorCurrentSpeed(-1); }},
        {"availability 4", [] { SYSAPI_GetProcessorAvailabilityStatus(4); }},
        {"memory size 4", [] { SYSAPI_GetMemoryDeviceSize(4); }},
        {"memory speed 0", [] { SYSAPI_GetMemoryDeviceSpeed(0); }},
        {"serial 3", [] { SYSAPI_GetSerialPortIRQ(3); }},
        {"parallel 2", [] { SYSAPI_GetParallelPortBaseIOAddress(2); }},
    };
    for (const auto& [name, call] : calls) EXPECT_THROW(call(), SYSAPI_IndexOutOfRange) << name;
    EXPECT_EQ(SYSAPI_GetSlotType(0).word[0], 0);
    EXPECT_EQ(SYSAPI_GetSlotType(5).word[0], 0);
}

TEST_F(SysapiTest, SlotsAndMemory)
{
    open(qv::test::hostInventory());
    ASSERT_EQ(SYSAPI_GetSlotIndexTotal(), 4);
    const int mapped[] = {2, 16, 18, 0};
    for (int i = 1; i <= 4; ++i) {
        const int64 t = SYSAPI_GetSlotType(i);
        EXPECT_EQ(t.word[0], mapped[i - 1]) << i;
        EXPECT_EQ(t.word[1] | t.word[2] | t.word[3], 0);
    }
    ASSERT_EQ(SYSAPI_GetMemoryDeviceIndexTotal(), 3);
    EXPECT_EQ(SYSAPI_GetMemoryDeviceSize(1), 64);
    EXPECT_EQ(SYSAPI_GetMemoryDeviceSize(3), 0);
    EXPECT_EQ(SYSAPI_GetMemoryDeviceSpeed(2), 70);
    EXPECT_EQ(SYSAPI_GetMemoryDeviceType(99), MemoryType_DRAM);
}

TEST_F(SysapiTest, MemorySizeBytes)
{
    const std::pair<uint8_t, int> sizes[] = {{0x7F, 0}, {0x05, 32}, {0x0A, 1024}, {0x85, 32}, {0x1E, 1 << 30}, {0x1F, 0}, {0x7E, 0}};
    for (auto [sizeByte, megabytes] : sizes) {
        qv::sim::BiosInventory inv;
        inv.structures = {qv::test::memoryModule(sizeByte, 60)};
        open(inv);
        EXPECT_EQ(SYSAPI_GetMemoryDeviceSize(1), megabytes) << int(sizeByte);
    }
}

TEST_F(SysapiTest, PortsAndFlagsFromOemStrings)
{
    open(qv::test::hostInventory());
    ASSERT_EQ(SYSAPI_GetSerialPortIndexTotal(), 2);
    EXPECT_EQ(SYSAPI_GetSerialPortIRQ(1), 4);
    EXPECT_EQ(SYSAPI_GetSerialPortBaseIOAddress(1).word[0], 0x3F8);
    EXPECT_EQ(SYSAPI_GetSerialPortBaseIOAddress(2).word[0], 0x2F8);
    ASSERT_EQ(SYSAPI_GetParallelPortIndexTotal(), 1);
    EXPECT_EQ(SYSAPI_GetParallelPortIRQ(1), 7);
    EXPECT_EQ(SYSAPI_GetParallelPortBaseIOAddress(1).word[0], 0x378);
    // "13": bits 0, 1 and 4.
    EXPECT_EQ(SYSAPI_IsPowerOnPasswordEnabled(), 1);
    EXPECT_EQ(SYSAPI_IsVelkarnModeEnabled(), 1);
    EXPECT_EQ(SYSAPI_IsKeyboardLockPasswordEnabled(), 1);
    EXPECT_EQ(SYSAPI_IsVideoBlankModeEnabled(), 0);
    EXPECT_EQ(SYSAPI_IsWriteToFloppyEnabled(), 0);
    EXPECT_EQ(SYSAPI_IsKeyboardMouseInactivityEnabled(), 0);
}

TEST_F(SysapiTest, PortWithoutIrqIsNotCountedButStillIndexedAndShortStringsAreSafe)
{
    qv::sim::BiosInventory inv;
    inv.structures = {qv::test::oemStrings({portOemString("Parallel", '0', "3BC"), portOemString("Parallel", '7', "378"),
                                            "Parallel", "Serial 1", "Flags"})};
    open(inv);
    EXPECT_EQ(SYSAPI_GetParallelPortIndexTotal(), 1);
    EXPECT_EQ(SYSAPI_GetSerialPortIndexTotal(), 0);
    EXPECT_EQ(SYSAPI_GetParallelPortIRQ(1), 0);   // answered from the first "Parallel" string
    EXPECT_EQ(SYSAPI_GetParallelPortBaseIOAddress(1).word[0], 0x3BC);
    EXPECT_EQ(SYSAPI_IsPowerOnPasswordEnabled(), 0);   // a "Flags" string without a value
}

TEST_F(SysapiTest, WithoutFlagsStringEveryFlagIsClear)
{
    qv::sim::BiosInventory inv;
    inv.structures = {qv::test::oemStrings({portOemString("Serial", '4', "3F8")})};
    open(inv);
    EXPECT_EQ(SYSAPI_IsPowerOnPasswordEnabled(), 0);
    EXPECT_EQ(SYSAPI_IsKeyboardMouseInactivityEnabled(), 0);
}

TEST_F(SysapiTest, WithoutTablesDmiCallsThrowAndTheRestAnswers)
{
    writeImage(qv::test::blankBiosImage());
    reopen();
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"spu", [] { SYSAPI_GetSystemSPU(); }},
        {"model", [] { SYSAPI_GetSystemModelName(); }},
        {"bios", [] { SYSAPI_GetSystemBIOSVersion(); }},
        {"rom", [] { SYSAPI_GetSystemBIOSROMSize(); }},
        {"manufacturer", [] { SYSAPI_GetSystemManufacturer(); }},
        {"processors", [] { SYSAPI_GetProcessorIndexTotal(); }},
        {"family 0 checks DMI first", [] { SYSAPI_GetProcessorFamily(0); }},
        {"slot type", [] { SYSAPI_GetSlotType(0); }},
        {"memory", [] { SYSAPI_GetMemoryDeviceIndexTotal(); }},
        {"serial", [] { SYSAPI_GetSerialPortIndexTotal(); }},
        {"flags", [] { SYSAPI_IsVelkarnModeEnabled(); }},
    };
    for (const auto& [name, call] : calls) EXPECT_THROW(call(), SYSAPI_DmiBiosNotFound) << name;
    EXPECT_STREQ(SYSAPI_GetKeyboardType(), "U.S. Standard 101");
    EXPECT_STREQ(SYSAPI_GetOperatingSystemName(), "Linux");
    EXPECT_STREQ(SYSAPI_GetSystemSerialNumber(), "Serial_Unknown");
    EXPECT_EQ(SYSAPI_GetMouseInterface(), 4);
    EXPECT_EQ(SYSAPI_GetVideoType(), 5);
    EXPECT_EQ(SYSAPI_GetBootDiskPriority(), 1);
    EXPECT_EQ(SYSAPI_GetSystemBIOSCharacteric(42), 7);
    const date d = SYSAPI_GetSystemBIOSReleaseDate();
    EXPECT_EQ(d.year, 0);
}

TEST_F(SysapiTest, EveryTableGenerationAnswersTheCommonCalls)
{
    for (auto format : {qv::sim::DmiFormat::Smbios21, qv::sim::DmiFormat::Dmi20}) {
        open(qv::test::hostInventory(), format);
        EXPECT_EQ(SYSAPI_GetSystemSPU(), 66);
        EXPECT_EQ(SYSAPI_GetMemoryDeviceIndexTotal(), 3);
        EXPECT_EQ(SYSAPI_GetSerialPortIndexTotal(), 2);
    }
}

} // namespace
