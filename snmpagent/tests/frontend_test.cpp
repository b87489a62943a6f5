#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "agent_frontend.h"
#include "model_code.h"
#include "temp_root.h"

namespace {

using qv::test::ProgramResult;
using qv::test::ScopedEnv;
using qv::test::TempRoot;

// ---- parseArgs per variant, in-process; the log goes to a file below the root. ----

struct ArgsCase {
    ArgsVariant variant;
    std::vector<std::string> args;   // after the program name
    bool ok;
    const char* logged;              // expected log text ("" = nothing)
    bool banner;
};

class ParseArgsTest : public ::testing::Test {
protected:
    bool run(const ArgsCase& c, SnmpCommand& cmd, SnmpOid& oid, SnmpValue& value)
    {
        std::vector<std::string> words = {"agent"};
        words.insert(words.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        AgentConfig config{"agent", "AGENT - QV Test SNMP Agent", c.variant};
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        bool ok = parseArgs(config, static_cast<int>(argv.size()), argv.data(), &cmd, &oid, &value);
        stdoutText = testing::internal::GetCapturedStdout();
        stderrText = testing::internal::GetCapturedStderr();
        return ok;
    }
    std::string logged() { return qv::test::readWholeFile(root.at("/log")); }

    TempRoot root;
    ScopedEnv logFile{"QV_LOG_FILE", (root.path() + "/log").c_str()};
    std::string stdoutText, stderrText;
};

TEST_F(ParseArgsTest, RulesPerVariant)
{
    using V = ArgsVariant;
    const ArgsCase cases[] = {
        {V::Standard, {"-g"}, false, "", true},
        {V::Standard, {"-x", ".1"}, false, "Unknown command: -x\n", false},
        {V::Standard, {"-g", "1.3"}, false, "Malformed oid: 1.3\n", false},
        {V::Standard, {"-g", ".1", "x"}, false, "Too many arguments\n", false},
        {V::Standard, {"-s", ".1", "integer"}, false, "Too few arguments\n", false},
        {V::Standard, {"-s", ".1", "float", "1"}, false, "Unknown type: float\n", false},
        {V::Standard, {"-G", ".1"}, true, "", false},
        {V::Standard, {"-S", ".1", "INTEGER", "5"}, true, "", false},
        {V::WarningLevel, {"-g", ".1", "x"}, false, "Too many arguments\n", false},
        {V::SilentOneWord, {"-g"}, false, "", true},
        {V::SilentOneWord, {"-s", ".1", "string", "a", "b"}, false, "", true},
        {V::SilentOneWord, {"-x", ".1"}, false, "", false},
        {V::SilentOneWord, {"-g", ".1", "x"}, false, "", false},
        {V::SilentOneWord, {"-s", ".1", "string"}, false, "", false},
        {V::SilentOneWord, {"-s", ".1", "string", "a"}, true, "", false},
        {V::SilentJoined, {"-g"}, false, "", true},
        {V::SilentJoined, {"-g", "1"}, false, "", false},
        {V::SilentJoined, {"-s", ".1", "string"}, true, "", false},
        {V::SilentJoined, {"-s", ".1", "string", "a", "b", "c"}, true, "", false},
    };
    for (const ArgsCase& c : cases) {
        ::unlink(root.at("/log").c_str());
        SnmpCommand cmd;
        SnmpOid oid;
        SnmpValue value;
        std::string what = c.args.empty() ? "" : c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
        EXPECT_EQ(run(c, cmd, oid, value), c.ok) << what;
        EXPECT_EQ(logged(), c.logged) << what;   // no identity: openlog is not called here
        EXPECT_EQ(stderrText.empty(), !c.banner) << what;
        EXPECT_EQ(stdoutText, "") << what;
    }
}

TEST_F(ParseArgsTest, SetValueIsJoinedUnquotedAndBounded)
{
    SnmpCommand cmd;
    SnmpOid oid;
    SnmpValue value;
    ASSERT_TRUE(run({ArgsVariant::Standard, {"-s", ".1.2", "string", "\"hello", "world\""}, true, "", false},
                    cmd, oid, value));
    EXPECT_TRUE(cmd == SNMP_SET);
    EXPECT_STREQ(oid.asString(), ".1.2");
    EXPECT_STREQ(value.asString(), "hello world");

    const std::string longWord(3000, 'x');
    ASSERT_TRUE(run({ArgsVariant::Standard, {"-s", ".1", "string", longWord, longWord}, true, "", false},
                    cmd, oid, value));
    EXPECT_EQ(value.getLength(), 1023u);
}

TEST_F(ParseArgsTest, UnreadableSetValueIsRefusedVisibly)
{
    SnmpCommand cmd;
    SnmpOid oid;
    SnmpValue value;
    const std::vector<std::string> args = {"-s", ".1", "ipaddress", "1.2.3"};
    EXPECT_FALSE(run({ArgsVariant::Standard, args, false, "", false}, cmd, oid, value));
    EXPECT_EQ(stdoutText, "wrong-value\n");

    AgentConfig config{"agent", "T", ArgsVariant::WarningLevel};
    config.logMalformedValue = true;
    std::vector<std::string> words = {"agent", "-s", ".1", "ipaddress", "1.2.3"};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    testing::internal::CaptureStdout();
    SnmpValue v2;
    EXPECT_FALSE(parseArgs(config, 5, argv.data(), &cmd, &oid, &v2));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(logged(), "Malformed value: 1.2.3\n");
}

TEST(Bin2AscTest, UpperCaseHexPairsBounded)
{
    const unsigned char bytes[] = {0x00, 0x1A, 0xFF};
    EXPECT_STREQ(bin2asc(bytes, 3), " 00 1A FF");
    EXPECT_STREQ(bin2asc(bytes, 0), "");
    std::vector<unsigned char> big(2000, 0x07);
    EXPECT_EQ(std::string(bin2asc(big.data(), 2000)).size(), 1365u * 3);
}

TEST(UsageBannerTest, IndentedWithBlanksOrWithTabsPerAgent)
{
    const std::string blanks =
        "QVLANAGENT - QV Network Interface Card SNMP Agent\n\n"
        "Usage: qvlanagent <cmd> <oid> [ <type> <value> ]\n\n"
        "Where:\n"
        "           <cmd>:   The SNMP command\n"
        "                    -g: SNMP GET command\n"
        "                    -n: SNMP GETNEXT command\n"
        "                    -s: SNMP SET command (<type> and <value> must be supplied)\n"
        "           <oid>:   The object identifier\n"
        "           <type>:  The type of value (integer, counter, gauge, timeticks,\n"
        "                    ipaddress, objid or string)\n"
        "           <value>: The new value\n";
    const std::string tabs =
        "QVCLIMATEAGENT - QV Environment SNMP Agent\n\n"
        "Usage: qvclimateagent <cmd> <oid> [ <type> <value> ]\n\n"
        "Where:\n"
        "\t<cmd>:\tThe SNMP command\n"
        "\t\t-g:\tSNMP GET command\n"
        "\t\t-n:\tSNMP GETNEXT command\n"
        "\t\t-s:\tSNMP SET command (<type> and <value> must be supplied)\n"
        "\t<oid>:\tThe object identifier\n"
        "\t<type>:\tThe type of value (integer, counter, gauge, timeticks,\n"
        "\t\tipaddress, objid or string)\n"
        "\t<value>:\tThe new value\n";
    const std::pair<const char*, const std::string*> cases[] = {{"qvlanagent", &blanks},
                                                                {"qvclimateagent", &tabs}};
    for (const auto& [name, expected] : cases) {
        testing::internal::CaptureStderr();
        printUsage(*findAgentConfig(name));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), *expected) << name;
    }
}

TEST(AgentConfigTest, EveryAgentOfTheSuiteHasItsRow)
{
    const char* names[] = {"qvlanagent", "qvrevagent", "qvspaceagent", "qvslotagent",
                           "qvalertcfgagent", "qvlogparseagent", "qvdisktagagent",
                           "qvclimateagent", "qvhostagent", "qvassetagent", "qvmemagent",
                           "qvbayagent", "qvloadagent", "qvdeviceagent", "qveventagent",
                           "qvrestartagent", "qvlegacyagent"};
    for (const char* name : names) {
        const AgentConfig* config = findAgentConfig(name);
        ASSERT_NE(config, nullptr) << name;
        EXPECT_STREQ(config->programName, name);
    }
    EXPECT_EQ(findAgentConfig("nosuchagent"), nullptr);
    EXPECT_FALSE(findAgentConfig("qvlegacyagent")->identify);
    EXPECT_EQ(findAgentConfig("qvbayagent")->variant, ArgsVariant::SilentJoined);
    EXPECT_EQ(findAgentConfig("qvclimateagent")->variant, ArgsVariant::SilentOneWord);
    EXPECT_TRUE(findAgentConfig("qvrestartagent")->logMalformedValue);
    EXPECT_FALSE(findAgentConfig("qvlanagent")->openLog);
    EXPECT_TRUE(findAgentConfig("qvrevagent")->catchAll);
    EXPECT_STREQ(findAgentConfig("qvslotagent")->title, "qvslotagent - QV PCI SNMP Agent");
}

// ---- the whole front end through the test agent ----

class TestAgentProcess : public ::testing::Test {
protected:
    void SetUp() override { setModel(55); }
    void setModel(uint32_t code) { ASSERT_TRUE(qv::test::storeModelCode(code)); }
    ProgramResult agent(const std::vector<std::string>& args)
    {
        return qv::test::runProgram(qv::test::buildPath("snmpagent/tests/qvtestagent"), args,
                                    {{"QV_LOG_FILE", root.path() + "/log"}});
    }

    TempRoot root;
};

TEST_F(TestAgentProcess, AnswersGetAndGetNextInThreeLines)
{
    ProgramResult r = agent({"-g", ".1.3.6.1.4.1.93071.2.99.8.0"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ".1.3.6.1.4.1.93071.2.99.8.0\noctet\n 00 1A FF\n");
    EXPECT_EQ(r.err, "");

    r = agent({"-n", ".1.3.6.1.4.1.93071.2.99.2.0"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ".1.3.6.1.4.1.93071.2.99.3.0\ncounter\n4294967295\n");

    r = agent({"-n", ".1.3.6.1.4.1.93071.2.99.9.0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(TestAgentProcess, SetReportsEveryOutcomeWithAWordSnmpdKnows)
{
    const std::string name = ".1.3.6.1.4.1.93071.2.99.6.0";
    const std::string level = ".1.3.6.1.4.1.93071.2.99.7.0";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* out;
    } cases[] = {
        {{"-s", name, "string", "new", "name"}, 0, ""},
        {{"-s", name, "octet", "6e 65 77 ff"}, 0, ""},
        {{"-s", level, "integer", "77"}, 0, ""},
        {{"-s", level, "integer", "-3"}, 0, "wrong-value\n"},
        {{"-s", level, "string", "3"}, 0, "wrong-type\n"},
        {{"-s", ".1.3.6.1.4.1.93071.2.99.2.0", "integer", "1"}, 0, "not-writable\n"},
        {{"-s", ".1.3.6.1.4.1.93071.2.99.77.0", "integer", "1"}, 1, "no-creation\n"},
    };
    for (const auto& c : cases) {
        ProgramResult r = agent(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << " " << c.args[3];
        EXPECT_EQ(r.out, c.out) << c.args[1] << " " << c.args[3];
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(agent({"-g", level}).out, level + "\ninteger\n77\n");
    EXPECT_EQ(agent({"-g", name}).out, name + "\nstring\nnew\xff\n");
}

TEST_F(TestAgentProcess, BannerOnlyForMalformedInvocation)
{
    ProgramResult r = agent({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("QVTESTAGENT - QV Test SNMP Agent\n\nUsage: qvtestagent <cmd> <oid>", 0), 0u);

    r = agent({"-g", "bad"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(qv::test::readWholeFile(root.path() + "/log"), "qvtestagent: Malformed oid: bad\n");
}

TEST_F(TestAgentProcess, RefusesUnidentifiedOrUnsupportedPlatform)
{
    setModel(70);
    ProgramResult r = agent({"-g", ".1.3.6.1.4.1.93071.2.99.2.0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "This system is not a supported QV Velkarn.\n");

    ::unlink(root.at("/var/qvserver/registry.ini").c_str());
    r = agent({"-g", ".1.3.6.1.4.1.93071.2.99.2.0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "This system is not an QV system.\n");
}

} // namespace
