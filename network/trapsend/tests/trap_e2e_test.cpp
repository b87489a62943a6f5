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

// A UDP port free on the loopback address of the family.
int freeUdpPort(int family)
{
    const int fd = ::socket(family, SOCK_DGRAM, 0);
    sockaddr_storage storage{};
    socklen_t len = sizeof storage;
    if (family == AF_INET6) {
        auto* addr = reinterpret_cast<sockaddr_in6*>(&storage);
        addr->sin6_family = AF_INET6;
        addr->sin6_addr = in6addr_loopback;
        len = sizeof *addr;
    } else {
        auto* addr = reinterpret_cast<sockaddr_in*>(&storage);
        addr->sin_family = AF_INET;
        addr->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        len = sizeof *addr;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), len) != 0) {
        ::close(fd);
        return -1;
    }
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &len);
    ::close(fd);
    return ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                                    : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
}

// snmptrapd in the foreground, its output in a file, stopped and reaped at the end.
class PrivateTrapReceiver {
public:
    PrivateTrapReceiver(const qv::test::TempRoot& root, const std::string& listen)
        : output_(root.at("/traps.out"))
    {
        const std::string conf = root.at("/snmptrapd.conf");
        root.writeFile("/snmptrapd.conf", "disableAuthorization yes\n");
        const std::string persistent = root.at("/persist");
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

// How snmptrapd listens and how the destination file names the same address.
struct Loopback {
    int family;
    const char* listenPrefix;
    const char* host;
};

class TrapEndToEnd : public ::testing::TestWithParam<Loopback> {};

TEST_P(TrapEndToEnd, TrapReachesAPrivateSnmptrapd)
{
    if (::access(kSnmptrap, X_OK) != 0 || ::access(kSnmptrapd, X_OK) != 0)
        GTEST_SKIP() << "snmptrap or snmptrapd is not installed";
    const Loopback& loopback = GetParam();
    const int port = freeUdpPort(loopback.family);
    if (port < 0) GTEST_SKIP() << "no loopback address of this family";
    qv::test::TempRoot root;
    // snmptrap keeps its own state too: below the root, not in /var/lib/snmp.
    qv::test::ScopedEnv persistent("SNMP_PERSISTENT_DIR", root.at("/persist").c_str());
    qv::test::ScopedEnv noMibs("MIBS", "");
    qv::test::makeDirectories(root.at("/usr/bin"));
    ASSERT_EQ(::symlink(kSnmptrap, root.at("/usr/bin/snmptrap").c_str()), 0);
    root.writeFile("/proc/uptime", "4321.09 1.00\n");
    root.writeFile("/usr/qvserver/etc/qvtraps.cfg",
                   std::string(loopback.host) + " mantle " + std::to_string(port) + "\n");

    PrivateTrapReceiver receiver(root, loopback.listenPrefix + std::to_string(port));
    ASSERT_TRUE(receiver.waitFor("NET-SNMP version")) << receiver.output();

    parse_trap_notification_file();
    ASSERT_EQ(notifies.size(), 1u);
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

INSTANTIATE_TEST_SUITE_P(Loopbacks, TrapEndToEnd,
                         ::testing::Values(Loopback{AF_INET, "udp:127.0.0.1:", "127.0.0.1"},
                                           Loopback{AF_INET6, "udp6:[::1]:", "::1"}),
                         [](const ::testing::TestParamInfo<Loopback>& info) {
                             return info.param.family == AF_INET6 ? "Ipv6" : "Ipv4";
                         });

} // namespace
