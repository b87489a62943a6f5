// The SMBIOS image as an independent decoder sees it, written by the command-line tool.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "temp_root.h"

namespace {

const char* const kDmidecode = "/usr/sbin/dmidecode";

std::string toolPath() { return qv::test::buildPath("sim/biosimage/qvsim-bios"); }

TEST(QvsimBiosTool, DmidecodeFindsMakerRecordAndTexts)
{
    if (::access(kDmidecode, X_OK) != 0) GTEST_SKIP() << "dmidecode is not installed";
    qv::test::TempRoot root;
    root.writeFile("/scenario.json", R"({"bios": {
        "modelCode": 10,
        "biosInfo": {"vendor": "Sim BIOS Vendor", "version": "QV.77.01", "releaseDate": "06/30/2000"},
        "systemInfo": {"manufacturer": "Sim Maker", "product": "Velkarn 8", "serial": "SIM0042"}}})");
    const std::string image = root.at("/dev/mem");
    // --model overrides the scenario's code.
    const auto made = qv::test::runProgram(
        toolPath(), {"--format", "smbios21", "--model", "67", "--scenario", root.at("/scenario.json"), image});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    const auto decoded = qv::test::runProgram(kDmidecode, {"-d", image});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    const std::string& out = decoded.out;
    EXPECT_NE(out.find("SMBIOS 2.1 present"), std::string::npos) << out;
    const auto oem = out.find("OEM-specific Type");
    ASSERT_NE(oem, std::string::npos) << out;
    const auto bytes = out.find("Header and Data:", oem);
    ASSERT_NE(bytes, std::string::npos) << out;
    EXPECT_NE(out.find("80 0D", bytes), std::string::npos) << out;
    EXPECT_NE(out.find("51 56 43", bytes), std::string::npos) << out;
    for (const char* text : {"Vendor: Sim BIOS Vendor", "Version: QV.77.01", "Release Date: 06/30/2000",
                             "Manufacturer: Sim Maker", "Product Name: Velkarn 8",
                             "Serial Number: SIM0042"})
        EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
    EXPECT_EQ(out.find("Invalid entry"), std::string::npos) << out;
    EXPECT_EQ(out.find("Wrong DMI structures"), std::string::npos) << out;
}

TEST(QvsimBiosTool, EachFormatWritesOneMebibyte)
{
    qv::test::TempRoot root;
    for (const char* format : {"smbios21", "dmi20", "dmi10"}) {
        const std::string image = root.at(std::string("/dev/mem.") + format);
        const auto r = qv::test::runProgram(toolPath(), {"--format", format, "--model", "55", image});
        ASSERT_EQ(r.exitCode, 0) << format << ": " << r.err;
        EXPECT_EQ(qv::test::readWholeFile(image).size(), 0x100000u) << format;
    }
}

TEST(QvsimBiosTool, RejectsBadCommandLines)
{
    qv::test::TempRoot root;
    const std::string out = root.at("/dev/mem");
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{}, 2},
        {{"--format", "smbios30", out}, 2},
        {{"--model", "256", out}, 2},
        {{"--model", "-1", out}, 2},
        {{"--model", "0x10", out}, 2},
        {{"--format"}, 2},
        {{out, out}, 2},
        {{"--scenario", root.at("/missing.json"), out}, 1},
    };
    for (const auto& c : cases) {
        const auto r = qv::test::runProgram(toolPath(), c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << (c.args.empty() ? "(none)" : c.args.back());
    }
    EXPECT_FALSE(root.exists("/dev/mem"));
}

} // namespace
