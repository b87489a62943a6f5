// The system group through the real snmpd: a walk of every object against the rendered
// inventory, and the locator LED of the simulated controller set over SNMP.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "bios_fixture.h"
#include "controller_simulator.h"
#include "host_inventory.h"
#include "model_code.h"
#include "private_snmpd.h"
#include "temp_root.h"

namespace {

constexpr char kRoot[] = ".1.3.6.1.4.1.93071.2.23.7";
constexpr char kKernel[] = "Linux version 2.2.14 (gcc 2.91) #1 SMP ";

std::string line(const std::string& suffix, const std::string& value) { return kRoot + suffix + " = " + value + "\n"; }
std::string integer(const std::string& suffix, int v) { return line(suffix, "INTEGER: " + std::to_string(v)); }
// net-snmp prints an empty string without its type.
std::string text(const std::string& suffix, const std::string& v)
{
    return line(suffix, v.empty() ? "\"\"" : "STRING: \"" + v + "\"");
}

class HostAgentE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root = new qv::test::TempRoot;
        ASSERT_TRUE(qv::test::storeModelCode(66));
        qv::test::writeBinary(root->at("/dev/mem"),
                              qv::sim::renderBiosImage(qv::test::hostInventory(), qv::sim::DmiFormat::Smbios21));
        root->writeFile("/proc/version", "Linux version  2.2.14\t(gcc 2.91)\n#1 SMP\n");
        root->writeFile("/bin/dmesg", "#!/bin/sh\necho 'Floppy drive(s): fd0 is 1.44M'\n");
        chmod(root->at("/bin/dmesg").c_str(), 0755);
        std::string nvram(50, '\0');
        nvram[0x10 - 14] = 0x40;
        root->writeFile("/dev/nvram", nvram);
        controller = new qv::sim::ControllerSimulator;
        controller->start();
        snmpd = new qv::e2e::PrivateSnmpd(root->path() + "/snmpd",
                                          {{kRoot, qv::test::installedPath("inventory/qvhostagent/qvhostagent")}});
    }
    static void TearDownTestSuite()
    {
        delete snmpd;
        delete controller;
        delete root;
    }
    static uint8_t ledState()
    {
        const auto frame = controller->handleMessage({0x06 << 2, 0xDD});
        return frame.size() >= 4 ? frame[3] : 0xFF;
    }

    static qv::test::TempRoot* root;
    static qv::sim::ControllerSimulator* controller;
    static qv::e2e::PrivateSnmpd* snmpd;
};

qv::test::TempRoot* HostAgentE2E::root = nullptr;
qv::sim::ControllerSimulator* HostAgentE2E::controller = nullptr;
qv::e2e::PrivateSnmpd* HostAgentE2E::snmpd = nullptr;

TEST_F(HostAgentE2E, WalkAnswersEveryObjectInOrderFromTheInventory)
{
    char host[64] = {};
    gethostname(host, sizeof host - 1);
    const std::string expected =
        integer(".1.1.0", 1) + integer(".1.2.0", 0) +
        integer(".2.1.1.1.0", 0) + text(".2.1.1.2.0", "") + text(".2.1.1.3.0", "") +
        line(".2.1.1.4.0", "Hex-STRING: 00 00 00 00 00 00 ") +
        integer(".3.1.0", 66) + text(".3.2.0", qv::sim::BiosInfo{}.version) + text(".3.3.0", "VIDEO 3.10") +
        text(".3.4.0", "SCSI 2.01") + integer(".3.5.0", 0) + integer(".3.6.0", 2) + integer(".3.7.0", 2) +
        integer(".3.8.1.1.0", 0) + integer(".3.8.1.1.1", 1) +
        integer(".3.8.1.2.0", 23) + integer(".3.8.1.2.1", 20) +
        integer(".3.8.1.3.0", 550) + integer(".3.8.1.3.1", 300) +
        text(".3.9.0", "Linux") + text(".3.10.0", kKernel) + text(".3.11.0", host) + text(".3.12.0", "") +
        text(".3.13.0", "U.S. Standard 101") + text(".3.14.0", "PS/2") + text(".3.15.0", "VGA") +
        integer(".3.16.0", 2) + text(".3.17.0", "Velkarn 1") +
        integer(".4.1.0", 2) + integer(".4.2.0", 2) + integer(".4.3.0", 2) + integer(".4.4.0", 1) +
        integer(".4.5.0", 1) + integer(".4.6.0", 1) + integer(".4.7.0", 1) +
        integer(".5.1.1.1.1", 1) + integer(".5.1.1.1.2", 2) + integer(".5.1.1.1.3", 3) +
        integer(".5.1.1.2.1", 1) + integer(".5.1.1.2.2", 1) + integer(".5.1.1.2.3", 2) +
        integer(".5.1.1.3.1", 1016) + integer(".5.1.1.3.2", 760) + integer(".5.1.1.3.3", 888) +
        integer(".5.1.1.4.1", 1023) + integer(".5.1.1.4.2", 767) + integer(".5.1.1.4.3", 895) +
        integer(".5.1.1.5.1", 4) + integer(".5.1.1.5.2", 3) + integer(".5.1.1.5.3", 7) +
        integer(".6.1.0", 640) + integer(".6.2.0", 130048) + integer(".6.3.0", 4) + integer(".6.4.0", 60) +
        integer(".8.1.1.1.0", 0) + integer(".8.2.1.2.0", 4) +
        integer(".9.1.0", 1) + integer(".9.2.0", 0);
    const qv::test::ProgramResult r = snmpd->walk(kRoot);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);
}

TEST_F(HostAgentE2E, SetOfTheLocatorLedReachesTheController)
{
    const std::string set = std::string(kRoot) + ".9.3.0";
    qv::test::ProgramResult r = snmpd->set(set, "i", "1");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ledState(), 1);
    // snmpd caches identical command lines, so read the state through another OID form.
    EXPECT_EQ(snmpd->get({std::string(kRoot) + ".9.2.0"}).out, integer(".9.2.0", 1));
    r = snmpd->set(set, "i", "2");   // bit 0 clear: off
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ledState(), 0);
}

TEST_F(HostAgentE2E, WithoutLedSupportTheLedObjectsFail)
{
    controller->injectCompletionCode(0x06, 0xDD, 0xC1, 10);
    EXPECT_EQ(snmpd->get({std::string(kRoot) + ".9.1.0"}).out, integer(".9.1.0", 0));
    const qv::test::ProgramResult r = snmpd->set(std::string(kRoot) + ".9.3.0", "i", "1");
    EXPECT_NE(r.exitCode, 0) << r.out;
    controller->clearFaults();
    EXPECT_EQ(ledState(), 0);
}

} // namespace
