// qvdisktagagent run as snmpd runs it, against the in-process service: banner, walk order of
// the drive table, string and integer columns, and the SET rules.
#include "tattoo_service_fixture.h"
#include "model_code.h"

namespace {

class TattooAgentTest : public TattooServiceTest {
protected:
    void SetUp() override
    {
        TattooServiceTest::SetUp();
        ASSERT_TRUE(qv::test::storeModelCode(55));
    }
    static qv::test::ProgramResult agent(const std::vector<std::string>& args)
    {
        return qv::test::runProgram(qv::test::installedPath("storage/qvdisktagagent/qvdisktagagent"), args);
    }
    static std::string answer(const std::string& oid, const char* type, const std::string& value)
    {
        return oid + "\n" + type + "\n" + value + "\n";
    }
};

constexpr char P[] = ".1.3.6.1.4.1.93071.2.23.32";

TEST_F(TattooAgentTest, AnswersGetAndGetNext)
{
    const std::string p = P;
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"-g", p + ".1.1.0"}, answer(p + ".1.1.0", "integer", "1")},
        {{"-n", p + ".2.2.1.6.2"}, answer(p + ".3.1.0", "integer", "3")},
        {{"-n", p + ".3.2.1.2.3"}, answer(p + ".3.2.1.3.1", "integer", "0")},
        {{"-n", p + ".3.1.0"}, answer(p + ".3.2.1.1.1", "integer", "1")},
        {{"-g", p + ".3.2.1.1.2"}, answer(p + ".3.2.1.1.2", "integer", "2")},
        {{"-g", p + ".2.2.1.3.1"}, answer(p + ".2.2.1.3.1", "string", "sym53c8xx")},
        {{"-g", p + ".3.2.1.6.2"}, answer(p + ".3.2.1.6.2", "string", "Offline")},
        {{"-g", p + ".3.2.1.18.2"}, answer(p + ".3.2.1.18.2", "string", "NA")},
        {{"-n", p + ".3.2.1.19.3"}, answer(p + ".4.1.0", "integer", "0")},
        {{"-g", p + ".3.2.1.1.4"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        EXPECT_EQ(agent(c.args).out, c.out);
    }
}

TEST_F(TattooAgentTest, SetRules)
{
    const std::string p = P;
    EXPECT_EQ(agent({"-s", p + ".3.2.1.3.1", "integer", "1"}).out, "not-writable\n");
    EXPECT_EQ(agent({"-s", p + ".3.2.1.4.1", "integer", "9"}).out, "");
    EXPECT_EQ(agent({"-s", p + ".3.2.1.15.1", "integer", "1"}).out, "");
    {
        std::lock_guard<std::mutex> g(tagtest::drives().lock);
        EXPECT_EQ((tagtest::drives().dst[{1, 0, 3}].starts), (std::vector<unsigned>{1}));
        tagtest::drives().dst[{1, 0, 5}].startStatus = 4;
    }
    EXPECT_EQ(agent({"-s", p + ".3.2.1.15.2", "integer", "1"}).out, "wrong-value\n") << "a refused start is refused";
    EXPECT_EQ(agent({"-s", p + ".3.2.1.12.2", "integer", "0"}).out, "");
    EXPECT_EQ(agent({"-g", p + ".3.2.1.12.2"}).out, answer(p + ".3.2.1.12.2", "integer", "1"));
}

TEST(TattooAgentAloneTest, WithoutTheService)
{
    qv::test::TempRoot root;
    ASSERT_TRUE(qv::test::storeModelCode(55));
    const std::string p = P;
    const auto run = [](const std::vector<std::string>& args) {
        return qv::test::runProgram(qv::test::installedPath("storage/qvdisktagagent/qvdisktagagent"), args);
    };
    EXPECT_EQ(run({"-g", p + ".3.1.0"}).out, p + ".3.1.0\ninteger\n0\n");
    EXPECT_EQ(run({"-n", p + ".3.1.0"}).out, p + ".4.1.0\ninteger\n0\n") << "no drive rows";
    EXPECT_EQ(run({"-s", p + ".4.1.0", "integer", "1"}).out, "wrong-value\n");
}

TEST_F(TattooAgentTest, Banner)
{
    const qv::test::ProgramResult r = agent({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "qvdisktagagent - QV Tattoo Drive SNMP Agent\n\n"
              "Usage: qvdisktagagent <cmd> <oid> [ <type> <value> ]\n\nWhere:\n\t<cmd>:\t The SNMP command\n\t\t -g: "
              "SNMP GET command\n\t\t -n: SNMP GETNEXT command\n\t\t -s: SNMP SET command (<type> and <value> must be "
              "supplied)\n\t<oid>:\t The object identifier\n\t<type>:\t The type of value (integer, counter, gauge, "
              "timeticks,\n\t\t ipaddress, objid or string)\n\t<value>: The new value\n");
}

} // namespace
