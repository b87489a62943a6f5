// A trap through the installed snmptrap reaches a private snmptrapd intact.
#include "trap_sender.h"

#include "temp_root.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

const char* const kSnmptrap = "/usr/bin/snmptrap";
const char* const kSnmptrapd = "/usr/sbin/snmptrapd";

int freeUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// snmptrapd in the foreground, its output in a file, stopped and reaped at the end.
class PrivateTrapReceiver {
public:
    PrivateTrapReceiver(const qv::test::TempRoot& root, int port) : output_(root.at("/traps.out"))
    {
        const std::string conf = root.at("/snmptrapd.conf");
        root.writeFile("/snmptrapd.conf", "disableAuthorization yes\n");
        const std::string persistent = root.at("/persist");
        const std::string listen = "udp:127.0.0.1:" + std::to_string(port);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::setenv("SNMP_PERSISTENT_DIR", persistent.c_str(), 1);
            ::setenv("MIBS", "", 1);
            ::execl(kSnmptrapd, "snmptrapd", "-f", "-Lo", "-C", "-c", conf.c_str(),
                    "--disableAuthorization=yes", "-n", listen.c_str(), nullptr);
            ::_exit(127);
        }
    }
    ~PrivateTrapReceiver()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string output() const { return qv::test::readWholeFile(output_); }
    bool waitFor(const std::string& text) const
    {
        for (int i = 0; i < 200; ++i) {
            if (output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

private:
    std::string output_;
    pid_t pid_ = -1;
};

TEST(TrapEndToEnd, TrapReachesAPrivateSnmptrapd)
{
    if (::access(kSnmptrap, X_OK) != 0 || ::access(kSnmptrapd, X_OK) != 0)
        GTEST_SKIP() << "snmptrap or snmptrapd is not installed";
    qv::test::TempRoot root;
    // snmptrap keeps its own state too: below the root, not in /var/lib/snmp.
    qv::test::ScopedEnv persistent("SNMP_PERSISTENT_DIR", root.at("/persist").c_str());
    qv::test::ScopedEnv noMibs("MIBS", "");
    qv::test::makeDirectories(root.at("/usr/bin"));
    ASSERT_EQ(::symlink(kSnmptrap, root.at("/usr/bin/snmptrap").c_str()), 0);
    root.writeFile("/proc/uptime", "4321.09 1.00\n");
    const int port = freeUdpPort();
    root.writeFile("/usr/qvserver/etc/qvtraps.cfg",
                   "127.0.0.1 mantle " + std::to_string(port) + "\n");

    PrivateTrapReceiver receiver(root, port);
    ASSERT_TRUE(receiver.waitFor("NET-SNMP version")) << receiver.output();

    parse_trap_notification_file();
    const std::string text = "Adapter 1 current absolute value is 12 when threshold is 10";
    CAttrValue values[2];
    values[0].setInt32(-21);
    values[1].setStr(static_cast<int>(text.size()),
                     reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())));
    send_trap(".1.3.6.1.4.1.93071.2.23", ".1.3.6.1.4.1.93071.2.23", 6, 16386, 2, values);

    ASSERT_TRUE(receiver.waitFor(text)) << receiver.output();
    const std::string out = receiver.output();
    EXPECT_NE(out.find("iso.3.6.1.4.1.93071.2.23"), std::string::npos) << out;
    EXPECT_NE(out.find("Enterprise Specific Trap (16386)"), std::string::npos) << out;
    EXPECT_NE(out.find("Uptime: 1:12:01.09"), std::string::npos) << out;
    EXPECT_NE(out.find("INTEGER: -21"), std::string::npos) << out;
    EXPECT_NE(out.find("STRING: \"" + text + "\""), std::string::npos) << out;
}

} // namespace
