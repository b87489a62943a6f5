// The road of a volume event on the standalone simulator: the real qvspacealertd writes one SEL
// record that ipmitool reads on its own, and its soft-log line; qveventalertd then sends it to a
// private snmptrapd with the shipped event descriptions.
#include "private_snmpd.h"
#include "private_snmptrapd.h"
#include "qveventlog.h"
#include "service_process.h"
#include "volcap_test_root.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace {

using qv::test::ChildProcess;
using volcaptest::VolcapRoot;

std::string shippedDescriptions()
{
    std::ifstream in(QV_SHIPPED_EVTSPEC);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(SpaceAlertRoad, WarningReachesTheSelTheSoftLogAndATrapReceiver)
{
    for (const char* tool : {"/usr/sbin/snmptrapd", "/usr/bin/snmptrap", qv::test::kIpmitool})
        if (::access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is not installed";
    VolcapRoot v;
    nlohmann::json scenario = qv::test::defaultScenario();
    scenario["bmc"]["sel"] = nlohmann::json::array();
    ChildProcess sim;
    ASSERT_TRUE(qv::test::startSimulator(sim, v.root, scenario));

    qv::test::ScopedEnv persistent("SNMP_PERSISTENT_DIR", v.root.at("/persist").c_str());
    qv::test::ScopedEnv noMibs("MIBS", "");
    const int port = qv::e2e::freeUdpPort();
    qv::e2e::PrivateSnmptrapd receiver(v.root, "traps", port);
    ASSERT_TRUE(receiver.ready()) << receiver.output();
    v.root.writeFile("/usr/qvserver/etc/evtspec.cfg", shippedDescriptions());
    v.root.writeFile("/usr/qvserver/etc/qvtraps.cfg", "127.0.0.1 public " + std::to_string(port) + "\n");
    qv::test::makeDirectories(v.root.at("/usr/bin"));
    ASSERT_EQ(::symlink("/usr/bin/snmptrap", v.root.at("/usr/bin/snmptrap").c_str()), 0);
    ChildProcess alert;
    alert.start(qv::test::installedPath("health/qveventalertd/qveventalertd"), {},
                {{"QV_FOREGROUND", "1"}, {"QV_EVENTALERTD_PERIOD_MS", "100"}});

    v.setRootPercent(91);   // past the default warning threshold of 85
    ChildProcess space;
    space.start(qv::test::installedPath("storage/qvspacealertd/qvspacealertd"), {},
                {{"QV_FOREGROUND", "1"}, {"QV_SPACEALERTD_PAUSE_MS", "100"}});
    ASSERT_TRUE(receiver.waitFor("passed its warning threshold", 20000)) << receiver.output() << v.log();
    EXPECT_EQ(space.stop(), 0);
    EXPECT_EQ(alert.stop(), 0);

    // The Part's bytes: generator 0x21, event version 2, sensor type 0xD2, sensor 0, trigger 7,
    // offset 1 (warning), percentage in use and the threshold passed.
    const std::string sel = qv::test::runIpmitool(v.root, {"sel", "get", "1"}).out;
    EXPECT_NE(sel.find("Generator ID          : 0021"), std::string::npos) << sel;
    EXPECT_NE(sel.find("EvM Revision          : 02"), std::string::npos) << sel;
    EXPECT_NE(sel.find("Sensor Type           : Unknown"), std::string::npos) << sel;   // OEM 0xD2
    EXPECT_NE(sel.find("Sensor Number         : 00"), std::string::npos) << sel;
    EXPECT_NE(sel.find("Event Type            : Generic Discrete"), std::string::npos) << sel;
    EXPECT_NE(sel.find("Event Data            : 215b55"), std::string::npos) << sel;
    const std::string softLog = qv::test::readWholeFile(GetSoftLogFile());
    EXPECT_NE(softLog.find(" /\n"), std::string::npos) << softLog;

    const std::string out = receiver.output();
    EXPECT_NE(out.find("Enterprise Specific Trap (4097)"), std::string::npos) << out;
    EXPECT_NE(out.find("STRING: \"/\""), std::string::npos) << out;
}

} // namespace
