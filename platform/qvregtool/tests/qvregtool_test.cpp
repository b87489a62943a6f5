#include "identify.h"
#include "registry.h"
#include "temp_root.h"

#include <cstdint>
#include <gtest/gtest.h>

using namespace qv::test;

namespace {

const char kUsage[] =
    "QVREGTOOL - QV Get/Set Registry Data\n\nUsage: qvregtool <cmd> <key> <type> [ <value> ]\n\n"
    "Where:\n\t<cmd>:\t-g (get) or -s (set)\n"
    "\t<key>:\tThe full registry key in the format \"key=value\"\n"
    "\t<type>:\tThe type of value (integer or string)\n\t<value>:\tThe new value\n\n";

class QvregtoolTest : public ::testing::Test {
protected:
    void storeModel(uint32_t code) { ASSERT_EQ(SetRegData(kRegKeySpuNum, &code, sizeof code), 0u); }
    ProgramResult run(const std::vector<std::string>& args)
    {
        return runProgram(installedPath("platform/qvregtool/qvregtool"), args);
    }

    TempRoot root;
};

TEST_F(QvregtoolTest, RefusesUnidentifiedOrUnsupportedSystem)
{
    ProgramResult result = run({"-g", "K=V", "string"});
    EXPECT_EQ(result.out, kMsgNotQvSystem);
    EXPECT_EQ(result.exitCode, 1);
    storeModel(90);
    result = run({"-g", "K=V", "string"});
    EXPECT_EQ(result.out, kMsgNotSupportedVelkarn);
    EXPECT_EQ(result.exitCode, 1);
    storeModel(80);   // program set, unlike the library set
    EXPECT_EQ(run({"-g", "K=V", "string"}).exitCode, 34);
}

TEST_F(QvregtoolTest, IntegerRoundTrip)
{
    storeModel(55);
    ProgramResult result = run({"-g", kRegKeySpuNum, "integer"});
    EXPECT_EQ(result.out, "55\n");
    EXPECT_EQ(result.exitCode, 0);

    struct Case { std::string text, printed, field; };
    const Case cases[] = {
        {"1094861636", "1094861636\n", "c(4)DCBA"},
        {"-1", "-1\n", "b(4)FFFFFFFF"},
        {"4294967295", "2147483647\n", "b(4)FFFFFF7F"},
        {"12abc", "12\n", "b(4)0C000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run({"-s", "Test\\Key=Number", "integer", c.text}).exitCode, 0);
        std::string file = root.readFile("/var/qvserver/registry.ini");
        EXPECT_NE(file.find("Number=" + c.field + "\r\n"), std::string::npos) << c.text;
        result = run({"-g", "Test\\Key=Number", "integer"});
        EXPECT_EQ(result.out, c.printed) << c.text;
    }
}

TEST_F(QvregtoolTest, StringRoundTrip)
{
    storeModel(55);
    EXPECT_EQ(run({"-s", "SYSTEM\\Snmp=sysContact", "string", "admin at site"}).exitCode, 0);
    EXPECT_NE(root.readFile("/var/qvserver/registry.ini").find("sysContact=c(13)admin at site\r\n"),
              std::string::npos);
    ProgramResult result = run({"-g", "SYSTEM\\Snmp=sysContact", "string"});
    EXPECT_EQ(result.out, "admin at site\n");
    EXPECT_EQ(result.exitCode, 0);

    // A value filling the whole read buffer still prints as a terminated text.
    std::string full(1100, 'x');
    EXPECT_EQ(run({"-s", "Big=Text", "string", full}).exitCode, 0);
    result = run({"-g", "Big=Text", "string"});
    EXPECT_EQ(result.out, std::string(1024, 'x') + "\n");
}

TEST_F(QvregtoolTest, MissingValueExitsWithLowByteOfStatus)
{
    storeModel(55);
    ProgramResult result = run({"-g", "No\\Such\\Section=Value", "string"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.exitCode, 34);
    result = run({"-g", std::string(80, 'k') + "=V", "string"});
    EXPECT_EQ(result.exitCode, 0x16);
}

TEST_F(QvregtoolTest, UsageAndUnknownType)
{
    storeModel(55);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"-g", "K=V"}, {"-s", "K=V", "string"}, {"-x", "K=V", "string"}, {"-g", "K=V", "string", "x"}}) {
        ProgramResult result = run(args);
        EXPECT_EQ(result.out, kUsage);
        EXPECT_EQ(result.exitCode, 1);
    }
    for (const auto& args : std::vector<std::vector<std::string>>{{"-g", "K=V", "Integer"},
                                                                  {"-s", "K=V", "float", "1"}}) {
        ProgramResult result = run(args);
        EXPECT_EQ(result.err, "Unknown type: " + args[2] + "\n");
        EXPECT_EQ(result.exitCode, 1);
    }
}

} // namespace
