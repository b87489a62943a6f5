#include "trap_sender.h"

#include "temp_root.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

// Records every call's arguments, NUL-separated, one call per line of trap.argv; fails for the
// community "bad" and hangs for the community "slow".
const char* const kRecordingSnmptrap =
    "#!/bin/bash\n"
    "log=\"$(dirname \"$0\")/../../trap.argv\"\n"
    "[ \"$4\" = slow ] && exec sleep 30\n"
    "{ printf '%s\\0' \"$@\"; printf '\\n'; } >> \"$log\"\n"
    "[ \"$4\" = bad ] && exit 3\n"
    "exit 0\n";

class TrapSender : public ::testing::Test {
protected:
    TrapSender() : logEnv("QV_LOG_FILE", root.at("/log.txt").c_str())
    {
        root.writeFile("/usr/bin/snmptrap", kRecordingSnmptrap);
        ::chmod(root.at("/usr/bin/snmptrap").c_str(), 0755);
        root.writeFile("/proc/uptime", "1234.56 99.00\n");
        setTrapSenderProfile(TrapSenderProfile{});
        notifies.clear();
        notifyListInUse = 0;
        notifyListNeedUpdate = 0;
    }
    void writeDestinations(const std::string& text)
    {
        root.writeFile("/usr/qvserver/etc/qvtraps.cfg", text);
    }
    std::string logText() const
    {
        return root.exists("/log.txt") ? root.readFile("/log.txt") : std::string();
    }
    // The recorded calls, each a list of arguments.
    std::vector<std::vector<std::string>> calls() const
    {
        std::vector<std::vector<std::string>> result;
        if (!root.exists("/trap.argv")) return result;
        const std::string text = root.readFile("/trap.argv");
        std::vector<std::string> call;
        std::string arg;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\0') {
                call.push_back(arg);
                arg.clear();
            } else if (text[i] == '\n' && arg.empty()) {
                result.push_back(call);
                call.clear();
            } else {
                arg += text[i];
            }
        }
        return result;
    }

    qv::test::TempRoot root;
    qv::test::ScopedEnv logEnv;
};

TEST_F(TrapSender, DestinationFileDefaultsCommentsAndInvalidLines)
{
    writeDestinations("# managers\n"
                      "\n"
                      "alpha\n"
                      "beta  private\n"
                      "gamma\tpublic 1162 extra\r\n"
                      "  # not a comment\n"
                      "delta public 0\n"
                      "delta public 70000\n"
                      "-oops public 162\n"
                      "a;reboot public 162\n"
                      "epsilon pub\x01lic 162\n"
                      "#" + std::string(700, 'x') + " zeta\n"
                      "   \r\n"
                      "10.0.0.7 public 65535\n"
                      "::1 public 1162\n"
                      "a:b public 162\n");
    parse_trap_notification_file();
    struct Expected {
        const char* host;
        const char* community;
        const char* port;
    } expected[] = {{"alpha", "mantle", "162"},
                    {"beta", "private", "162"},
                    {"gamma", "public", "1162"},
                    {"10.0.0.7", "public", "65535"},
                    {"::1", "public", "1162"}};
    // "  # not a comment" is a line of three words whose host "#" is refused.
    ASSERT_EQ(notifies.size(), 5u);
    const Expected* e = expected;
    for (const NotifyEntry& entry : notifies) {
        EXPECT_EQ(entry.host, e->host);
        EXPECT_EQ(entry.community, e->community);
        EXPECT_EQ(entry.port, e->port);
        ++e;
    }
    const std::string log = logText();
    EXPECT_NE(log.find("Parser error in configuration file (line 2)"), std::string::npos);
    EXPECT_NE(log.find("Parser error in configuration file (line 13)"), std::string::npos);
    for (int line : {6, 7, 8, 9, 10, 11, 16}) {
        EXPECT_NE(log.find("Invalid trap destination in configuration file (line " +
                           std::to_string(line) + ")"),
                  std::string::npos)
            << line;
    }
    EXPECT_EQ(log.find("zeta"), std::string::npos);
}

TEST_F(TrapSender, MissingFileLeavesNoDestinations)
{
    notifies.push_back(NotifyEntry{"old", "mantle", "162"});
    parse_trap_notification_file();
    EXPECT_TRUE(notifies.empty());
    EXPECT_NE(logText().find("Error opening /usr/qvserver/etc/qvtraps.cfg (2)"),
              std::string::npos);
}

TEST_F(TrapSender, ArgumentVectorCarriesValuesWhole)
{
    writeDestinations("manager secret 1162\n");
    parse_trap_notification_file();
    const std::string text = "it's $(reboot) `x` \"q\" " + std::string(600, 'z');
    CAttrValue values[3];
    values[0].setInt32(21);
    values[1].setStr(static_cast<int>(text.size()),
                     reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())));
    // values[2] holds nothing and is left out.
    send_trap(".1.3.6.1.4.1.93071.2.23", ".1.3.6.1.4.1.93071.2.23", 6, 16386, 3, values);

    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const std::vector<std::string> expected = {
        "-v", "1", "-c", "secret", "--", "manager:1162",
        ".1.3.6.1.4.1.93071.2.23", host, "6", "16386", "123456",
        ".1.3.6.1.4.1.93071.2.23", "i", "21", ".1.3.6.1.4.1.93071.2.23", "s", text};
    const auto recorded = calls();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0], expected);
}

TEST_F(TrapSender, Ipv6LiteralIsAddressedInItsOwnForm)
{
    writeDestinations("fe80::1 secret 1162\nnms1 secret 162\n");
    parse_trap_notification_file();
    send_trap(".1.3.6.1.4.1.93071.2.23", ".1.3.6.1.4.1.93071.2.23", 6, 16386, 0, nullptr);
    const auto recorded = calls();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].at(5), "udp6:[fe80::1]:1162");
    EXPECT_EQ(recorded[1].at(5), "nms1:162");
}

TEST_F(TrapSender, FailingDestinationDoesNotStopTheOthers)
{
    writeDestinations("first bad\nsecond good 2162\n");
    parse_trap_notification_file();
    CAttrValue value;
    value.setInt32(-5);
    send_trap(".1.3.6.1.4.1.93071.2.23", ".1.3.6.1.4.1.93071.2.23.1", 6, 5, 1, &value);
    const auto recorded = calls();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[1][5], "second:2162");
    EXPECT_EQ(recorded[1].back(), "-5");
    const std::string log = logText();
    EXPECT_NE(log.find("system() failed (768)"), std::string::npos);
    EXPECT_NE(log.find("send_trap() failed: first bad"), std::string::npos);
    EXPECT_EQ(log.find("send_trap() failed: second"), std::string::npos);
}

TEST_F(TrapSender, HungCommandIsKilledAndReaped)
{
    TrapSenderProfile profile;
    profile.commandTimeoutMs = 100;
    setTrapSenderProfile(profile);
    EXPECT_FALSE(run_snmptrap("162", "host", "slow", ".1.3", ".1.3", 6, 1, 0, nullptr));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    // No stand-in at all: the run fails, nothing else happens.
    ::unlink(root.at("/usr/bin/snmptrap").c_str());
    EXPECT_FALSE(run_snmptrap("162", "host", "public", ".1.3", ".1.3", 6, 1, 0, nullptr));
}

TEST_F(TrapSender, RereadIsDeferredWhileAListIsInUse)
{
    writeDestinations("one\n");
    parse_trap_notification_file();
    writeDestinations("two\nthree\n");
    notifyListInUse = 1;
    request_trap_notification_reread();
    EXPECT_EQ(notifies.size(), 1u);
    EXPECT_EQ(notifyListNeedUpdate, 1);
    notifyListInUse = 0;
    send_trap(".1.3", ".1.3", 6, 1, 0, nullptr);
    EXPECT_EQ(notifies.size(), 2u);
    EXPECT_EQ(notifyListNeedUpdate, 0);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0][5], "one:162");
}

TEST_F(TrapSender, EventProfileAnnouncesParsing)
{
    TrapSenderProfile profile;
    profile.announceParsing = true;
    setTrapSenderProfile(profile);
    writeDestinations("one\n");
    parse_trap_notification_file();
    EXPECT_NE(logText().find("Parsing trap notification file"), std::string::npos);
}

TEST(TrapUptime, HundredthsFromProcUptimeAndTheClockWithout)
{
    qv::test::TempRoot root;
    root.writeFile("/proc/uptime", "1234.56 99.00\n");
    EXPECT_EQ(uptime(), 123456u);
    root.writeFile("/proc/uptime", "50000000.00 1\n");
    EXPECT_EQ(uptime(), static_cast<unsigned>(5000000000ULL & 0xFFFFFFFFULL));
    ::unlink(root.at("/proc/uptime").c_str());
    EXPECT_GT(uptime(), 0u);
}

TEST(TrapTypeLetters, IntegerAndStringTypesAndUnknownEndsTheProcess)
{
    for (int tag : {2, 16, 65, 66}) EXPECT_EQ(convert_asntype_to_char(tag), 'i') << tag;
    for (int tag : {3, 4}) EXPECT_EQ(convert_asntype_to_char(tag), 's') << tag;
    EXPECT_EXIT(convert_asntype_to_char(67), ::testing::ExitedWithCode(1), "");
}

} // namespace
