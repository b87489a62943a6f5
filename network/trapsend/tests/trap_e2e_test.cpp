// A trap through the installed snmptrap reaches a private snmptrapd intact.
#include "trap_sender.h"

#include "private_snmpd.h"
#include "private_snmptrapd.h"
#include "temp_root.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

const char* const kSnmptrap = "/usr/bin/snmptrap";
const char* const kSnmptrapd = "/usr/sbin/snmptrapd";

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
    int port = -1;
    try {
        port = qv::e2e::freeUdpPort(loopback.family);
    } catch (const std::exception&) {
        GTEST_SKIP() << "no loopback address of this family";
    }
    qv::test::TempRoot root;
    // snmptrap keeps its own state too: below the root, not in /var/lib/snmp.
    qv::test::ScopedEnv persistent("SNMP_PERSISTENT_DIR", root.at("/persist").c_str());
    qv::test::ScopedEnv noMibs("MIBS", "");
    qv::test::makeDirectories(root.at("/usr/bin"));
    ASSERT_EQ(::symlink(kSnmptrap, root.at("/usr/bin/snmptrap").c_str()), 0);
    root.writeFile("/proc/uptime", "4321.09 1.00\n");
    root.writeFile("/usr/qvserver/etc/qvtraps.cfg",
                   std::string(loopback.host) + " mantle " + std::to_string(port) + "\n");

    qv::e2e::PrivateSnmptrapd receiver(root, "traps", port, loopback.listenPrefix);
    ASSERT_TRUE(receiver.ready()) << receiver.output();

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
