// Through the real snmpd, inside a private PID namespace so killall reaches only our stand-ins.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "private_snmpd.h"
#include "registry.h"
#include "temp_root.h"

namespace {

constexpr char kInside[] = "QV_ALERTCFG_IN_PIDNS";
constexpr char kAdd[] = ".1.3.6.1.4.1.93071.2.23.13.3.2.0";
constexpr char kRemove[] = ".1.3.6.1.4.1.93071.2.23.13.3.1.0";

TEST(AlertCfgE2E, RunsInsideAPrivatePidNamespace)
{
    if (geteuid() != 0 || access("/usr/bin/unshare", X_OK) || access("/usr/sbin/snmpd", X_OK) ||
        access("/usr/bin/killall", X_OK))
        GTEST_SKIP() << "needs root, unshare, snmpd and killall";
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const qv::test::ProgramResult r = qv::test::runProgram(
        "/usr/bin/unshare", {"--pid", "--fork", "--mount-proc", self, "--gtest_filter=AlertCfgInPidNamespace.*"},
        {{kInside, "1"}});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
}

// A stand-in trap daemon: a shell script named like the daemon that counts its SIGHUPs.
pid_t startStandIn(const qv::test::TempRoot& root, const std::string& name)
{
    const std::string path = root.at("/usr/qvserver/bin/" + name);
    root.writeFile("/usr/qvserver/bin/" + name,
                   "#!/bin/sh\ntrap 'echo HUP >> \"$0.hup\"' HUP\n: > \"$0.ready\"\n"
                   "while :; do sleep 0.05; done\n");
    chmod(path.c_str(), 0755);
    const pid_t pid = fork();
    if (pid == 0) {
        execl(path.c_str(), name.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 100 && !root.exists("/usr/qvserver/bin/" + name + ".ready"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return pid;
}

size_t hups(const qv::test::TempRoot& root, const std::string& name, size_t atLeast)
{
    const std::string file = "/usr/qvserver/bin/" + name + ".hup";
    size_t n = 0;
    for (int i = 0; i < 100; ++i) {
        n = root.exists(file) ? root.readFile(file).size() / 4 : 0;
        if (n >= atLeast) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return n;
}

TEST(AlertCfgInPidNamespace, AddAndRemoveRewriteTheFileAndSignalBothDaemons)
{
    if (std::getenv(kInside) == nullptr)
        GTEST_SKIP() << "run by AlertCfgE2E inside its namespace";
    qv::test::TempRoot root;
    const uint32_t model = 55;
    ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model), 0u);
    qv::test::makeDirectories(root.at("/usr/bin"));
    ASSERT_EQ(symlink("/usr/bin/killall", root.at("/usr/bin/killall").c_str()), 0);
    root.writeFile("/usr/qvserver/etc/qvtraps.cfg", "# managers\n\nnms0 public 1162\n");
    const pid_t daemons[] = {startStandIn(root, "qveventalertd"), startStandIn(root, "qvlanalertd")};
    {
        qv::e2e::PrivateSnmpd snmpd(root.path() + "/snmpd",
                                    {{".1.3.6.1.4.1.93071.2.23.13",
                                      qv::test::installedPath("inventory/qvalertcfgagent/qvalertcfgagent")}});
        EXPECT_EQ(snmpd.set(kAdd, "s", "nms1").exitCode, 0);
        EXPECT_EQ(root.readFile("/usr/qvserver/etc/qvtraps.cfg"), "# managers\n\nnms0 public 1162\nnms1 mantle 162\n");
        EXPECT_EQ(hups(root, "qveventalertd", 1), 1u);
        EXPECT_EQ(hups(root, "qvlanalertd", 1), 1u);

        EXPECT_EQ(snmpd.set(kRemove, "s", "nms0").exitCode, 0);
        EXPECT_EQ(root.readFile("/usr/qvserver/etc/qvtraps.cfg"), "# managers\n\nnms1 mantle 162\n");
        EXPECT_EQ(hups(root, "qveventalertd", 2), 2u);
        EXPECT_EQ(hups(root, "qvlanalertd", 2), 2u);

        const qv::test::ProgramResult refused = snmpd.set(kAdd, "s", "x;touch /tmp/qvpwn");
        EXPECT_NE(refused.exitCode, 0);
        EXPECT_NE(refused.err.find("wrongValue"), std::string::npos) << refused.err;
        EXPECT_EQ(root.readFile("/usr/qvserver/etc/qvtraps.cfg"), "# managers\n\nnms1 mantle 162\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(hups(root, "qveventalertd", 3), 2u);
    }
    for (pid_t pid : daemons) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

} // namespace
