// qvrestartctl's console: options, prompts and entries, exact texts and exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "asr_fixture.h"
#include "asr_params.h"
#include "restart_ctl.h"
#include "sandbox_path.h"

namespace {

const std::string kBanner = "QV Automatic Server Restart, Ver. 1.0.0\n\n";
const std::string kOptions =
    "Legal options:\n"
    "    o - Get timeout values\n"
    "    t - Set HW timer max time\n"
    "    p - Set SW poll time\n"
    "    a - Get the timeout action configured\n"
    "    r - Set the timeout action to reset\n"
    "    c - Set the timeout action to power cycle\n"
    "    n - Set the timeout action to no action, logging only\n"
    "    k - Get consecutive ASR count info\n"
    "    m - Set the max. consecutive ASR count\n"
    "    u - Set the cur. consecutive ASR count\n"
    "    e - Get all ASR parameters\n";

struct CtlRun {
    int status;
    std::string out;
};

class RestartCtlTest : public qv::test::AsrRegistryTest {
protected:
    void SetUp() override
    {
        int hw, poll, action, maxCount, curCount;
        ASSERT_EQ(AsrGetAllParamsFromRegistry(&hw, &poll, &action, &maxCount, &curCount), 1);
    }
    static CtlRun run(std::vector<std::string> args, const std::string& input)
    {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::string inputCopy = input;
        std::FILE* in = input.empty() ? std::fopen("/dev/null", "r") : fmemopen(inputCopy.data(), input.size(), "r");
        char* text = nullptr;
        size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        const int status = runRestartCtl(static_cast<int>(args.size()), argv.data(), in, out);
        std::fclose(out);
        std::fclose(in);
        CtlRun r{status, std::string(text, size)};
        std::free(text);
        return r;
    }
};

TEST_F(RestartCtlTest, OptionsAndEntriesGiveTheirTextsAndStatus)
{
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string out;
    };
    const std::string hwPrompt = "Enter HW timer reset value (secs): ";
    const std::string pollPrompt = "Enter SW poll time (secs): ";
    const std::string maxPrompt = "Enter Max. No. of Consecutive Reset: (0: no limit, range 1-10) ";
    const std::string curPrompt = "Enter Cur. No. of Consecutive Reset: ";
    const Case cases[] = {
        {{"qvrestartctl"}, "", 1, "Too few args usage: rsctl /option\n" + kOptions},
        {{"qvrestartctl", "t"}, "", 1, "No command option specified\n"},
        {{"qvrestartctl", "/z"}, "", 0, kOptions},
        {{"qvrestartctl", "/"}, "", 0, kOptions},
        {{"qvrestartctl", "/o"}, "", 0, "HW pop time = 600\nSW poll time = 20\n"},
        {{"qvrestartctl", "/a"}, "", 0, "Timeout action = reset\n"},
        {{"qvrestartctl", "/k"}, "", 0, "Max ASR count = 1\nCurrent ASR count = 0\n"},
        {{"qvrestartctl", "/e", "ignored"}, "", 0,
         "HW pop time = 600\nSW poll time = 20\nTimeout action = reset\nMax ASR count = 1\nCurrent ASR count = 0\n"},
        {{"qvrestartctl", "/t"}, "200\n", 0, hwPrompt},
        {{"qvrestartctl", "/t"}, "abc\n", 0, hwPrompt},
        {{"qvrestartctl", "/t"}, "", 0, hwPrompt},
        {{"qvrestartctl", "/p"}, "600\n", 0, pollPrompt},
        {{"qvrestartctl", "/m"}, "11\n", 0, maxPrompt},
        {{"qvrestartctl", "/u"}, "-1\n", 0, curPrompt},
        {{"qvrestartctl", "-T"}, "900\n", 0, hwPrompt + "New HW timeout value = 900\n"},
        {{"qvrestartctl", "x/p"}, "30\n", 0, pollPrompt + "New SW poll time = 30\n"},
        {{"qvrestartctl", "/c"}, "", 0, "New timeout action value = power cycle\n"},
        {{"qvrestartctl", "/n"}, "", 0, "New timeout action value = no action\n"},
        {{"qvrestartctl", "/m"}, "0\n", 0, maxPrompt + "New max consecutive ASR value = 0\n"},
        {{"qvrestartctl", "/u"}, " 3\n", 0, curPrompt + "New cur consecutive ASR value = 3\n"},
        {{"qvrestartctl", "/r"}, "", 0, "New timeout action value = reset\n"},
        {{"qvrestartctl", "/E"}, "", 0,
         "HW pop time = 900\nSW poll time = 30\nTimeout action = reset\nMax ASR count = 0\nCurrent ASR count = 3\n"},
    };
    for (const Case& c : cases) {
        const CtlRun r = run(c.args, c.input);
        const std::string what = c.args.size() > 1 ? c.args[1] + " <" + c.input + ">" : "no argument";
        EXPECT_EQ(r.status, c.status) << what;
        EXPECT_EQ(r.out, kBanner + c.out) << what;
    }
}

TEST_F(RestartCtlTest, PollTimeNeedsAReadableHardwareTimeout)
{
    root.writeFile("/var/qvserver/registry.ini", "");
    const CtlRun r = run({"qvrestartctl", "/p"}, "30\n");
    EXPECT_EQ(r.out, kBanner + "Enter SW poll time (secs): Couldn\264t check time limits\n");
    int poll = 0;
    EXPECT_EQ(AsrGetSWpollTime(&poll), 0);
}

TEST_F(RestartCtlTest, ChangesNeverReachTheRunningService)
{
    sockaddr_un address{};
    ASSERT_TRUE(qv::makeUnixAddress(qv::sandboxPath(kKickTimerSocketPath), address));
    const int service = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    ASSERT_EQ(::bind(service, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    run({"qvrestartctl", "/t"}, "900\n");
    run({"qvrestartctl", "/p"}, "40\n");
    run({"qvrestartctl", "/c"}, "");
    char byte;
    EXPECT_LT(::recv(service, &byte, 1, 0), 0);
    ::close(service);
    int hw = 0;
    EXPECT_TRUE(AsrGetHWtimeout(&hw) && hw == 900);
}

TEST(RestartCtlProgram, RunsAsAConsoleTool)
{
    qv::test::TempRoot root;
    const auto r = qv::test::runProgram(qv::test::installedPath("health/restart/qvrestartctl/qvrestartctl"), {"/z"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kBanner + kOptions);
}

} // namespace
