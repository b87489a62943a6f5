#include "bios_image_craft.h"
#include "identify.h"
#include "platprobe.h"
#include "registry.h"
#include "temp_root.h"

#include <cstdint>
#include <gtest/gtest.h>

using namespace qv::test;

namespace {

BiosImage imageWithCode(uint8_t code)
{
    BiosImage image = blankBiosImage();
    putDmi10Header(image, 0xF8000, 0x9000);
    putDmi10Record(image, 0xF9000, code);
    return image;
}

class PlatprobeTest : public ::testing::Test {
protected:
    ProgramResult run(const std::vector<std::string>& args)
    {
        return runProgram(installedPath("platform/platprobe/platprobe"), args);
    }
    uint32_t stored(const char* key)
    {
        uint32_t code = 0xFFFFFFFF;
        EXPECT_EQ(GetRegData(key, &code, sizeof code), 0u) << key;
        return code;
    }

    TempRoot root;
};

TEST_F(PlatprobeTest, StoresCodeUnderBothKeys)
{
    writeMemDevice(root, imageWithCode(64));
    ProgramResult result = run({"-w"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(stored("SOFTWARE\\Quorvane\\InstantGlimster=SpuNum"), 64u);
    EXPECT_EQ(stored(kRegKeySpuNum), 64u);
    EXPECT_EQ(root.readFile("/var/qvserver/registry.ini"),
              "\r\n[SOFTWARE\\Quorvane\\InstantGlimster]\r\nSpuNum=b(4)40000000\r\n"
              "\r\n[SOFTWARE\\Quorvane\\Trivoke]\r\nSpuNum=b(4)40000000\r\n");
}

TEST_F(PlatprobeTest, StoresZeroWithoutOemRecord)
{
    writeMemDevice(root, blankBiosImage());
    EXPECT_EQ(run({"-w"}).exitCode, 0);
    EXPECT_EQ(stored(kRegKeySpuNum), 0u);
    unsigned long code = 1;
    EXPECT_EQ(IdentifyVelkarnReg(&code), 0);
    EXPECT_FALSE(IsProgramModelCode(code));
}

TEST_F(PlatprobeTest, PrintsCodeOrFails)
{
    writeMemDevice(root, imageWithCode(79));
    ProgramResult result = run({"-i"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "79\n");
    root.writeFile("/dev/mem", "short");
    result = run({"-i"});
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(run({"-w"}).exitCode, 1);
    EXPECT_FALSE(root.exists("/var/qvserver/registry.ini"));
}

TEST_F(PlatprobeTest, ReportsModelAndVerdict)
{
    root.writeFile("/usr/qvserver/etc/models.dat",
                   "55 Model Fifty-five\n  continued line\n64 Model Sixty-four\n79 Old Model\n");
    struct Case { uint8_t code; int exitCode; std::string out; };
    const Case cases[] = {
        {64, 0, "64 Model Sixty-four\nit's a velkarn...\n"},
        {79, 1, "79 Old Model\nit's NOT a velkarn...\n"},
        {60, 0, "can't get machine name for id  = 60 (0x3c)\nit's a velkarn...\n"},
    };
    for (const Case& c : cases) {
        writeMemDevice(root, imageWithCode(c.code));
        ProgramResult result = run({});
        EXPECT_EQ(result.out, c.out) << int(c.code);
        EXPECT_EQ(result.exitCode, c.exitCode) << int(c.code);
    }
    root.writeFile("/dev/mem", "short");
    ProgramResult result = run({});
    EXPECT_EQ(result.out, "it's NOT a velkarn...\n");
    EXPECT_EQ(result.exitCode, 1);
}

TEST_F(PlatprobeTest, MissingModelFile)
{
    writeMemDevice(root, imageWithCode(55));
    ProgramResult result = run({});
    EXPECT_EQ(result.out, "file not found: " + root.at("/usr/qvserver/etc/models.dat") +
                              "\ncan't get machine name for id  = 55 (0x37)\nit's a velkarn...\n");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(PlatprobeTest, UsageForAnythingElse)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{"-W"}, {"-wx"}, {"-w", "-i"}, {""}}) {
        ProgramResult result = run(args);
        EXPECT_EQ(result.out, "usage: platprobe [-w]\n");
        EXPECT_EQ(result.exitCode, 1);
    }
}

TEST(ModelFileLookup, LineWithoutNumberKeepsThePreviousNumber)
{
    TempRoot root;
    root.writeFile("/m.dat", "header\n7 seven\nmore text\n8 eight");
    bool found = false;
    struct Case { unsigned long code; std::string line; };
    for (const Case& c : {Case{0, "header\n"}, Case{7, "7 seven\n"}, Case{8, "8 eight"}, Case{9, ""}}) {
        EXPECT_EQ(FindModelLine(root.at("/m.dat"), c.code, &found), c.line);
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(FindModelLine(root.at("/none"), 0, &found), "");
    EXPECT_FALSE(found);
}

} // namespace
