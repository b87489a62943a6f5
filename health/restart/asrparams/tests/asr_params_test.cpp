// The restart settings on registry fixtures: defaults, checks, action letters and log texts.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "asr_fixture.h"
#include "asr_params.h"

namespace {

using qv::test::AsrRegistryTest;

TEST_F(AsrRegistryTest, EmptyRegistryGivesTheDefaultsAndWritesThemBack)
{
    int hw = -9, poll = -9, action = -9, maxCount = -9, curCount = -9;
    ASSERT_EQ(AsrGetAllParamsFromRegistry(&hw, &poll, &action, &maxCount, &curCount), 1);
    EXPECT_EQ((std::vector<int>{hw, poll, action, maxCount, curCount}), (std::vector<int>{600, 20, 1, 1, 0}));
    // The registry adds each new value at the top of its section.
    EXPECT_EQ(registry(), std::string("\r\n") + qv::test::kAsrRegistrySection +
                              "\r\nCurConsecutiveASR=b(4)00000000\r\nMaxConsecutiveASR=b(4)01000000\r\n"
                              "TimeoutAction=c(1)r\r\nSWPollTime=b(4)14000000\r\n"
                              "HWTimeout=b(4)58020000\r\n");
    EXPECT_TRUE(logged("AsrGetRegistryHWtimeout() - read error"));
    EXPECT_TRUE(logged("AsrGetRegistryCurASRCount() - read error"));
}

TEST_F(AsrRegistryTest, StoredValuesAreKeptAndOnlyTheUnreadableOneIsReplaced)
{
    // 7000 s is out of range but present: it is not repaired. The action "x" is unknown.
    writeRegistry({"HWTimeout=b(4)581B0000", "SWPollTime=b(4)05000000", "TimeoutAction=c(1)x",
                   "MaxConsecutiveASR=b(4)03000000", "CurConsecutiveASR=b(4)02000000"});
    int action = 7;
    EXPECT_EQ(AsrGetTimeoutAction(&action), 0);
    EXPECT_EQ(action, -1);
    EXPECT_TRUE(logged("getActionFlag() - invalid action: x"));

    int hw = 0, poll = 0, maxCount = 0, curCount = 0;
    ASSERT_EQ(AsrGetAllParamsFromRegistry(&hw, &poll, &action, &maxCount, &curCount), 1);
    EXPECT_EQ((std::vector<int>{hw, poll, action, maxCount, curCount}), (std::vector<int>{7000, 5, 1, 3, 2}));
    EXPECT_NE(registry().find("TimeoutAction=c(1)r\r\n"), std::string::npos) << registry();
    EXPECT_NE(registry().find("HWTimeout=b(4)581B0000"), std::string::npos);
}

TEST_F(AsrRegistryTest, SettersCheckRangesAsUnsignedAndWriteNothingWhenRefused)
{
    struct Case {
        const char* what;
        std::function<int()> set;
        bool accepted;
        const char* message;   // logged when refused
    };
    const char* hwRange = "Timeout out of range: [300-1800]";
    const char* countRange = "ASR count out of range: [0-10]";
    const char* pollLimit = "AsrSetSWpollTime() - SW poll time value must be less than HW timeout (600)";
    const char* actions = "CheckAction() - Valid actions are 0, 1 and 3";
    const Case cases[] = {
        {"hw 299", [] { return AsrSetHWtimeout(299, 0); }, false, hwRange},
        {"hw 300", [] { return AsrSetHWtimeout(300, 0); }, true, nullptr},
        {"hw 1800", [] { return AsrSetHWtimeout(1800, 0); }, true, nullptr},
        {"hw 1801", [] { return AsrSetHWtimeout(1801, 0); }, false, hwRange},
        {"hw -1", [] { return AsrSetHWtimeout(-1, 0); }, false, hwRange},
        {"poll 600 of 600", [] { return AsrSetSWpollTime(600, 600, 0); }, false, pollLimit},
        {"poll 599 of 600", [] { return AsrSetSWpollTime(599, 600, 0); }, true, nullptr},
        {"poll -5 of 600", [] { return AsrSetSWpollTime(-5, 600, 0); }, true, nullptr},
        {"action 2", [] { return AsrSetTimeoutAction(2, 0); }, false, actions},
        {"action -1", [] { return AsrSetTimeoutAction(-1, 0); }, false, actions},
        {"action 3", [] { return AsrSetTimeoutAction(3, 0); }, true, nullptr},
        {"max -1", [] { return AsrSetMaxASRCount(-1, 0); }, false, countRange},
        {"max 10", [] { return AsrSetMaxASRCount(10, 0); }, true, nullptr},
        {"max 11", [] { return AsrSetMaxASRCount(11, 0); }, false, countRange},
        {"cur -1", [] { return AsrSetCurASRCount(-1, 0); }, false,
         "AsrSetCurASRCount() - cur ASR count can not be negative"},
        {"cur 4", [] { return AsrSetCurASRCount(4, 0); }, true, nullptr},
    };
    for (const Case& c : cases) {
        root.writeFile("/asr.log", "");
        const std::string before = registry();
        EXPECT_EQ(c.set(), c.accepted ? 1 : 0) << c.what;
        if (c.accepted) {
            EXPECT_NE(registry(), before) << c.what;
        } else {
            EXPECT_EQ(registry(), before) << c.what;
            EXPECT_TRUE(logged(c.message)) << c.what;
        }
    }
    int v = 0;
    EXPECT_TRUE(AsrGetHWtimeout(&v) && v == 1800);
    EXPECT_TRUE(AsrGetSWpollTime(&v) && v == -5);
    EXPECT_TRUE(AsrGetTimeoutAction(&v) && v == 3);
    EXPECT_TRUE(AsrGetMaxASRCount(&v) && v == 10);
    EXPECT_TRUE(AsrGetCurASRCount(&v) && v == 4);
}

TEST_F(AsrRegistryTest, ActionsHaveOneLetterAndOneName)
{
    struct Case {
        int action;
        const char* letter;
        const char* name;
    };
    for (const Case c : {Case{0, "n", "no action"}, Case{1, "r", "reset"}, Case{3, "c", "power cycle"}}) {
        ASSERT_EQ(AsrSetTimeoutAction(c.action, 0), 1);
        // The letter alone, without a terminating zero byte.
        EXPECT_NE(registry().find(std::string("TimeoutAction=c(1)") + c.letter + "\r\n"), std::string::npos);
        int read = -9;
        EXPECT_EQ(AsrGetTimeoutAction(&read), 1);
        EXPECT_EQ(read, c.action);
        char name[16];
        getActionFullStr(c.action, name);
        EXPECT_STREQ(name, c.name);
    }
    char name[16];
    getActionFullStr(2, name);
    EXPECT_STREQ(name, " ");
    EXPECT_EQ(actionLetter(2), 'n');
    for (const char* unknown : {"x", "", "rr", "R"}) EXPECT_EQ(actionFromLetter(unknown), -1) << unknown;
}

TEST_F(AsrRegistryTest, ReadAndWriteFailuresLogTheirTexts)
{
    int v = 0;
    struct Read {
        int (*get)(int*);
        const char* message;
    };
    for (const Read r : {Read{AsrGetHWtimeout, "AsrGetRegistryHWtimeout() - read error"},
                         Read{AsrGetSWpollTime, "AsrGetRegistrySWpollTime() - read error"},
                         Read{AsrGetTimeoutAction, "AsrGetRegistryTimeoutAction() - read error"},
                         Read{AsrGetMaxASRCount, "AsrGetRegistryMaxASRCount() - read error"},
                         Read{AsrGetCurASRCount, "AsrGetRegistryCurASRCount() - read error"}}) {
        EXPECT_EQ(r.get(&v), 0) << r.message;
        EXPECT_TRUE(logged(r.message)) << r.message;
    }
    // A directory where the registry file belongs: nothing can be written.
    qv::test::makeDirectories(root.at("/var/qvserver/registry.ini"));
    struct Write {
        std::function<int()> set;
        const char* message;
    };
    const Write writes[] = {
        {[] { return AsrSetHWtimeout(900, 0); }, "AsrSetRegistryHWtimeout() - write error"},
        {[] { return AsrSetSWpollTime(30, 900, 0); }, "AsrSetRegistrySWpollTime() - write error"},
        {[] { return AsrSetTimeoutAction(1, 0); }, "AsrSetRegistryTimeoutAction() - write error"},
        {[] { return AsrSetMaxASRCount(2, 0); }, "AsrSetRegistryMaxConsASR() - write error"},
        {[] { return AsrSetCurASRCount(2, 0); }, "AsrSetRegistryCurConsASR() - write error"},
    };
    for (const Write& w : writes) {
        EXPECT_EQ(w.set(), 0) << w.message;
        EXPECT_TRUE(logged(w.message)) << w.message;
    }
    int hw = 0, poll = 0, action = 0, maxCount = 0, curCount = 0;
    EXPECT_EQ(AsrGetAllParamsFromRegistry(&hw, &poll, &action, &maxCount, &curCount), 0);
}

TEST(AsrMessage, IsTwoHostOrderIntegers)
{
    AGT_MSG message{};
    message.type = HWTIMEOUT_AGT_MSG;
    message.data.hwtimeout = 900;
    unsigned char bytes[sizeof message];
    std::memcpy(bytes, &message, sizeof message);
    const unsigned char expected[8] = {0, 0, 0, 0, 0x84, 0x03, 0, 0};
    EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof expected));
    EXPECT_EQ(sizeof kAsrServiceOk, 14u);
}

} // namespace
