// qvlanalertd in the foreground with short cycles: thresholds set through the real snmpd and
// qvlanagent, traps received by private snmptrapd instances, SIGHUP and SIGTERM.
#include "nic_test_fixture.h"
#include "private_snmpd.h"
#include "private_snmptrapd.h"

#include <sys/shm.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr char kSubtree[] = ".1.3.6.1.4.1.93071.2.23.18";

class LanAlertDaemon {
public:
    explicit LanAlertDaemon(const lantest::NicRoot& nic)
    {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("QV_FOREGROUND", "1", 1);
            ::setenv("QV_LANALERTD_SECOND_MS", "200", 1);
            const std::string program = qv::test::installedPath("network/qvlanalertd/qvlanalertd");
            ::execl(program.c_str(), "qvlanalertd", nullptr);
            ::_exit(127);
        }
        (void)nic;
    }
    ~LanAlertDaemon()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    void signal(int signo) const { ::kill(pid_, signo); }
    // Exit status, or -1 when it did not end in time.
    int waitExit()
    {
        for (int i = 0; i < 400; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
};

bool waitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 400; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

TEST(LanAlertDaemonE2E, ThresholdsSetOverSnmpRaiseTrapsAndSighupRedirectsThem)
{
    for (const char* tool : {"/usr/sbin/snmpd", "/usr/sbin/snmptrapd", "/usr/bin/snmptrap"})
        if (::access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is not installed";
    lantest::NicRoot nic(3);
    qv::test::TempRoot& root = nic.root;
    qv::test::ScopedEnv persistent("SNMP_PERSISTENT_DIR", root.at("/persist").c_str());
    qv::test::ScopedEnv noMibs("MIBS", "");
    qv::test::makeDirectories(root.at("/usr/bin"));
    ASSERT_EQ(::symlink("/usr/bin/snmptrap", root.at("/usr/bin/snmptrap").c_str()), 0);
    root.writeFile("/proc/uptime", "4321.09 1.00\n");
    root.writeFile("/usr/qvserver/etc/vknicagt.cfg",
                   "[PollTime]\nTrapPollTime=1\nTrapProcTime=0\n");
    const int portA = qv::e2e::freeUdpPort();
    int portB = qv::e2e::freeUdpPort();
    while (portB == portA) portB = qv::e2e::freeUdpPort();
    qv::e2e::PrivateSnmptrapd first(root, "first", portA);
    qv::e2e::PrivateSnmptrapd second(root, "second", portB);
    ASSERT_TRUE(first.waitFor("NET-SNMP version")) << first.output();
    ASSERT_TRUE(second.waitFor("NET-SNMP version")) << second.output();
    root.writeFile("/usr/qvserver/etc/qvtraps.cfg", "127.0.0.1 mantle " + std::to_string(portA) + "\n");

    LanAlertDaemon daemon(nic);
    // Each cycle writes the segment back to the settings file.
    ASSERT_TRUE(waitUntil([&] { return nic.settings().find("TxError=0 0 0.00") != std::string::npos; }))
        << nic.settings() << nic.logText();

    qv::e2e::PrivateSnmpd snmpd(root.at("/snmpd"),
                                {{kSubtree, qv::test::installedPath("network/qvlanagent/qvlanagent")}});
    const std::string txCount = std::string(kSubtree) + ".7.1.6.0";
    const std::string txDelta = std::string(kSubtree) + ".7.1.7.0";
    qv::test::ProgramResult r = snmpd.set(txCount, "i", "10");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(snmpd.get({txCount}).out.find("INTEGER: 10"), std::string::npos);

    const std::string countText = "Adapter 1 current absolute value is 12 when threshold is 10";
    ASSERT_TRUE(first.waitFor(countText)) << first.output() << nic.logText();
    EXPECT_NE(first.output().find("Enterprise Specific Trap (16386)"), std::string::npos);
    EXPECT_NE(first.output().find("INTEGER: 21"), std::string::npos) << first.output();

    // The delta counts from the previous pass, not from the count check just before it.
    ASSERT_EQ(snmpd.set(txDelta, "i", "4").exitCode, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    std::string dev = lantest::kProcNetDev;
    dev.replace(dev.find("2000 40 3"), 9, "2000 40 9");
    root.writeFile("/proc/net/dev", dev);
    EXPECT_TRUE(first.waitFor("Adapter 0 current delta value is 6 when threshold is 4"))
        << first.output();

    // A changed destination file takes effect after SIGHUP.
    root.writeFile("/usr/qvserver/etc/qvtraps.cfg", "127.0.0.1 mantle " + std::to_string(portB) + "\n");
    daemon.signal(SIGHUP);
    EXPECT_TRUE(second.waitFor(countText)) << second.output() << nic.logText();
    EXPECT_NE(nic.logText().find("sighup"), std::string::npos);

    daemon.signal(SIGTERM);
    EXPECT_EQ(daemon.waitExit(), 0) << nic.logText();
    EXPECT_NE(nic.logText().find("sigterm caught... releasing resources... "), std::string::npos);
    EXPECT_NE(nic.logText().find("done."), std::string::npos) << nic.logText();
    EXPECT_EQ(::shmget(std::stoi(nic.key()), 0, 0), -1) << "the segment is removed";
}

TEST(LanAlertDaemonE2E, UnsupportedModelIsRefusedBeforeAnythingElse)
{
    qv::test::TempRoot root;
    const qv::test::ProgramResult r =
        qv::test::runProgram(qv::test::installedPath("network/qvlanalertd/qvlanalertd"), {},
                             {{"QV_FOREGROUND", "1"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "This system is not an QV system.\n");
}

} // namespace
