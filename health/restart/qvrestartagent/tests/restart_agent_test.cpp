// qvrestartagent run the way snmpd's pass runs it, on registry fixtures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asr_fixture.h"
#include "asr_params.h"
#include "model_code.h"

namespace {

constexpr char kPrefix[] = ".1.3.6.1.4.1.93071.2.23.25";

class RestartAgentTest : public qv::test::AsrRegistryTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::storeModelCode(55));
        int hw, poll, action, maxCount, curCount;
        ASSERT_EQ(AsrGetAllParamsFromRegistry(&hw, &poll, &action, &maxCount, &curCount), 1);
        ASSERT_EQ(AsrSetSWpollTime(45, 600, 0), 1);
    }
    static qv::test::ProgramResult agent(std::vector<std::string> args)
    {
        return qv::test::runProgram(qv::test::installedPath("health/restart/qvrestartagent/qvrestartagent"), args,
                                    {{"QV_ASR_REPLY_MS", "300"}});
    }
};

TEST_F(RestartAgentTest, RequestsAnswerFromTheRegistry)
{
    const std::string p = kPrefix;
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    };
    const Case cases[] = {
        {{"-g", p + ".2.4.0"}, 0, p + ".2.4.0\ninteger\n20\n"},   // fixed, not the registry's 45
        {{"-g", p + ".2.3.0"}, 0, p + ".2.3.0\ninteger\n600\n"},
        {{"-n", p + ".2.3.0"}, 0, p + ".2.4.0\ninteger\n20\n"},
        {{"-g", p + ".2.5.0"}, 0, p + ".2.5.0\nstring\nreset\n"},
        {{"-g", p + ".2.3.1"}, 1, ""},
        {{"-s", p + ".2.1.0", "integer", "11"}, 0, "wrong-value\n"},
        {{"-s", p + ".2.1.0", "integer", "4"}, 0, ""},
        {{"-s", p + ".2.2.0", "integer", "1"}, 0, "not-writable\n"},
        {{"-s", p + ".2.3.0", "integer", "200"}, 0, "wrong-value\n"},
        {{"-s", p + ".2.3.0", "integer", "900"}, 0, "wrong-value\n"},   // no service to confirm it
    };
    for (const Case& c : cases) {
        const auto r = agent(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args[1];
    }
    int v = 0;
    EXPECT_TRUE(AsrGetMaxASRCount(&v) && v == 4);
    EXPECT_TRUE(AsrGetHWtimeout(&v) && v == 600);
    EXPECT_TRUE(AsrGetCurASRCount(&v) && v == 0);
}

TEST_F(RestartAgentTest, AnUnknownStoredActionFailsItsGet)
{
    ASSERT_EQ(SetRegData((std::string(kAsrRegistryKey) + "=TimeoutAction").c_str(), "x", 1), 0u);
    const auto r = agent({"-g", std::string(kPrefix) + ".2.5.0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
}

} // namespace
