// qvbayagent run as snmpd runs it, against the in-process service: scalars, the drive table's
// walk order, the cage block, and the SET rules of LEDs, downloads and firmware.
#include "cage_service_fixture.h"
#include "model_code.h"

#include <vector>

namespace baydtest {
namespace {

constexpr char P[] = ".1.3.6.1.4.1.93071.2.23.28";

class CageAgentTest : public CageServiceTest {
protected:
    void SetUp() override
    {
        CageServiceTest::SetUp();
        ASSERT_TRUE(qv::test::storeModelCode(55));
    }
    static qv::test::ProgramResult agent(const std::vector<std::string>& args)
    {
        return qv::test::runProgram(qv::test::installedPath("storage/qvbayagent/qvbayagent"), args);
    }
    static std::string out(const std::vector<std::string>& args) { return agent(args).out; }
    static std::string answer(const std::string& oid, const char* type, const std::string& value)
    {
        return oid + "\n" + type + "\n" + value + "\n";
    }
    // The octet value as the agent prints it.
    static std::string hex(const std::string& bytes)
    {
        std::string s;
        char pair[4];
        for (unsigned char c : bytes) {
            std::snprintf(pair, sizeof pair, " %02X", c);
            s += pair;
        }
        return s;
    }
};

TEST_F(CageAgentTest, ScalarsAndTheDriveTable)
{
    const std::string p = P;
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"-g", p + ".2.0"}, answer(p + ".2.0", "integer", "5")},
        {{"-n", p + ".3.0"}, answer(p + ".4.0", "integer", "2")},
        {{"-g", p + ".5.0"}, answer(p + ".5.0", "integer", "2")},
        {{"-g", p + ".6.0"}, answer(p + ".6.0", "integer", "144")},
        {{"-n", p + ".11.0"}, answer(p + ".13.0", "integer", "0")},   // .12.0 is write-only
        {{"-n", p + ".14.0"}, answer(p + ".15.1.1.1", "integer", "0")},
        {{"-n", p + ".15.1.1"}, answer(p + ".15.1.1.1", "integer", "0")},
        {{"-n", p + ".15.1.1.4"}, answer(p + ".15.1.2.1", "integer", "387")},
        {{"-g", p + ".15.1.1.4"}, answer(p + ".15.1.1.4", "integer", "3")},
        {{"-g", p + ".15.1.3.4"}, answer(p + ".15.1.3.4", "integer", "10")},
        {{"-g", p + ".15.1.9.3"}, answer(p + ".15.1.9.3", "integer", "1")},
        {{"-g", p + ".15.1.3.5"}, ""},
        {{"-g", p + ".15.1.3.0"}, ""},
        {{"-n", p + ".15.1.9.4"}, answer(p + ".16.0", "integer", "0")},
        {{"-g", p + ".21.0"}, answer(p + ".21.0", "string", "")},
        {{"-g", p + ".26.0"}, answer(p + ".26.0", "integer", "0")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        EXPECT_EQ(out(c.args), c.out);
    }
    EXPECT_EQ(out({"-g", p + ".7.0"}), answer(p + ".7.0", "octet", hex(ask({3}))));
}

TEST_F(CageAgentTest, SetRules)
{
    const std::string p = P;
    EXPECT_EQ(out({"-s", p + ".15.1.4.2", "integer", "2"}), "wrong-value\n");
    EXPECT_EQ(journal().find("MFAdjustPowerLED"), std::string::npos);
    EXPECT_EQ(out({"-s", p + ".15.1.4.2", "integer", "1"}), "");
    EXPECT_NE(journal().find("MFAdjustPowerLED 2 387 1\n"), std::string::npos) << journal();
    EXPECT_EQ(out({"-g", p + ".15.1.4.2"}), answer(p + ".15.1.4.2", "integer", "1"));
    EXPECT_EQ(out({"-s", p + ".16.0", "integer", "7"}), "");
    EXPECT_EQ(asInteger(ask({21})), 7);
    EXPECT_EQ(out({"-s", p + ".25.0", "integer", "1"}), "");

    // A URL refused during a running download is a refused SET.
    const std::string stall = server_.url("/stall");
    EXPECT_EQ(out({"-s", p + ".21.0", "string", stall}), "");
    EXPECT_EQ(out({"-s", p + ".21.0", "string", server_.url("/bytes/10")}), "wrong-value\n");
    EXPECT_EQ(out({"-g", p + ".21.0"}), answer(p + ".21.0", "string", stall));
    EXPECT_EQ(waitWhile({28}, kFirmwareBusy, kStallLimit), CURLE_OPERATION_TIMEDOUT);

    EXPECT_EQ(out({"-s", p + ".21.0", "string", server_.url("/bytes/3000")}), "");
    EXPECT_EQ(waitWhile({28}, kFirmwareBusy), 0);
    EXPECT_EQ(out({"-g", p + ".22.0"}), answer(p + ".22.0", "integer", "2"));
    EXPECT_EQ(out({"-g", p + ".23.0"}), answer(p + ".23.0", "integer", "0"));
    EXPECT_EQ(out({"-s", p + ".19.0", "integer", "1"}), "wrong-value\n");
    EXPECT_EQ(out({"-g", p + ".18.0"}), answer(p + ".18.0", "integer", "1"));
    EXPECT_EQ(out({"-s", p + ".19.0", "integer", std::to_string(CFirmware::KEY)}), "");
    EXPECT_NE(journal().find("UpdateDriveFWImage 0 0 0 7 3000 "), std::string::npos) << journal();
    EXPECT_EQ(out({"-g", p + ".18.0"}), answer(p + ".18.0", "integer", "0"));

    EXPECT_EQ(out({"-s", p + ".24.0", "string", "http://proxy:3128"}), "");
    EXPECT_EQ(ask({29}), text("http://proxy:3128"));
}

class NoCagesAgentTest : public CageAgentTest {
protected:
    void prepare(FakeCageSource&) override {}
};

TEST_F(NoCagesAgentTest, TheCageBlockIsOneNulByte)
{
    const std::string p = P;
    EXPECT_EQ(out({"-g", p + ".7.0"}), answer(p + ".7.0", "octet", " 00"));
    EXPECT_EQ(out({"-n", p + ".14.0"}), answer(p + ".16.0", "integer", "0"));
}

} // namespace
} // namespace baydtest
