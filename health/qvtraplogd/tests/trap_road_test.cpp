// The trap road end to end: the real snmptrap sends version 1 traps to qvtraplogd on the
// standalone simulator; the event lands in the SEL and the soft log, and qveventalertd sends it
// on to a private snmptrapd.
#include "model_code.h"
#include "private_snmpd.h"
#include "private_snmptrapd.h"
#include "qveventlog.h"
#include "event_log_simulator.h"
#include "service_process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

using qv::test::ChildProcess;
using qv::test::eventually;

std::string fileText(const char* path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class TrapRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"/usr/sbin/snmptrapd", "/usr/bin/snmptrap", qv::test::kIpmitool})
            if (::access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(qv::test::startEmptyLogSimulator(sim_, root_));
        root_.writeFile("/usr/qvserver/etc/qvtraplogd.ini", fileText(QV_SHIPPED_TRAPLOGD_INI));
        root_.writeFile("/usr/qvserver/etc/evtspec.cfg", fileText(QV_SHIPPED_EVTSPEC));
        qv::test::makeDirectories(root_.at("/usr/bin"));
        ASSERT_EQ(::symlink("/usr/bin/snmptrap", root_.at("/usr/bin/snmptrap").c_str()), 0);
    }
    void TearDown() override
    {
        alert_.stop();
        traplog_.stop();
        sim_.stop();
    }
    // A trap of the shipped section: volume, identifier ending in 12, percentage, threshold.
    void sendTrap(const std::string& volume, const char* version = "1")
    {
        const std::string e = ".1.3.6.1.4.1.93071.2.23";
        std::vector<std::string> args = {"-v", version, "-c", "public", "udp:127.0.0.1:" + std::to_string(inPort_)};
        if (std::string(version) == "1")
            args.insert(args.end(), {e, "", "6", "12", ""});
        else
            args.insert(args.end(), {"", e + ".0.12"});
        args.insert(args.end(), {e + ".5.1.0", "s", volume, e + ".5.2.0", "o", e + ".0.12", e + ".5.3.0", "i", "91",
                                 e + ".5.4.0", "i", "85"});
        const auto r = qv::test::runProgram("/usr/bin/snmptrap", args, {{"MIBS", ""}});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    std::string softLog() const { return qv::test::readWholeFile(GetSoftLogFile()); }
    size_t softLogLines() const { auto t = softLog(); return static_cast<size_t>(std::count(t.begin(), t.end(), '\n')); }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    qv::test::ScopedEnv mibs_{"MIBS", ""};
    qv::test::ScopedEnv persistent_{"SNMP_PERSISTENT_DIR", root_.at("/persist").c_str()};
    ChildProcess sim_, traplog_, alert_;
    int inPort_ = qv::e2e::freeUdpPort();
};

TEST_F(TrapRoad, AVersion1TrapBecomesAnEventAndLeavesAgainAsATrap)
{
    const int outPort = qv::e2e::freeUdpPort();
    qv::e2e::PrivateSnmptrapd receiver(root_, "traps", outPort);
    ASSERT_TRUE(receiver.ready()) << receiver.output();
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "127.0.0.1 public " + std::to_string(outPort) + "\n");
    // The SNMP library keeps its session until the process ends, and once it is unloaded the
    // leak checker cannot name it to tell it apart: leaks are checked in the unit tests instead.
    traplog_.start(qv::test::installedPath("health/qvtraplogd/qvtraplogd"), {},
                   {{"QV_FOREGROUND", "1"}, {"QV_TRAPLOGD_ADDRESS", "udp:127.0.0.1:" + std::to_string(inPort_)},
                    {"ASAN_OPTIONS", "detect_leaks=0"}});
    alert_.start(qv::test::installedPath("health/qveventalertd/qveventalertd"), {},
                 {{"QV_FOREGROUND", "1"}, {"QV_EVENTALERTD_PERIOD_MS", "100"}});
    // The service is up once it answers with a log line for a trap it accepts.
    sendTrap("/ignored", "2c");
    ASSERT_TRUE(eventually([&] {
        sendTrap("/home");
        return root_.exists("/log") && root_.readFile("/log").find("TRAP ACCEPTED!") != std::string::npos;
    }, std::chrono::seconds(20))) << (root_.exists("/log") ? root_.readFile("/log") : "");
    ASSERT_TRUE(receiver.waitFor("passed its warning threshold", 20000)) << receiver.output();
    const std::string out = receiver.output();
    EXPECT_NE(out.find("Enterprise Specific Trap (4097)"), std::string::npos) << out;
    EXPECT_NE(out.find("STRING: \"/home\""), std::string::npos) << out;
    EXPECT_NE(out.find("INTEGER: 91"), std::string::npos) << out;
    EXPECT_EQ(out.find("/ignored"), std::string::npos) << out;   // the version 2c trap
    const std::string sel = qv::test::runIpmitool(root_, {"sel", "list"}).out;
    EXPECT_NE(sel.find("| Unknown | Transition to Non-critical from OK"), std::string::npos) << sel;   // OEM type, offset 1
    EXPECT_NE(softLog().find("21 5b 55 /home\n"), std::string::npos) << softLog();

    // A value that would start a second line of the soft log stays on its own line.
    const size_t before = softLogLines();
    sendTrap("x\n02 00 00 00 00 00 00 00 21 00 02 d2 00 07 22 60 5f");
    ASSERT_TRUE(eventually([&] { return softLogLines() > before; }, std::chrono::seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(softLogLines(), before + 1) << softLog();

    // The section file is read for every trap: without EventData1 the next trap is refused.
    const std::string ini = root_.readFile("/usr/qvserver/etc/qvtraplogd.ini");
    root_.writeFile("/usr/qvserver/etc/qvtraplogd.ini", ini.substr(0, ini.find("EventData1")));
    sendTrap("/var");
    ASSERT_TRUE(eventually([&] { return root_.readFile("/log").find("Bad Event Data1") != std::string::npos; },
                           std::chrono::seconds(10)));
    EXPECT_EQ(softLog().find("/var"), std::string::npos);
    EXPECT_EQ(traplog_.stop(), 0);
}

} // namespace
