#include "nic_counters.h"
#include "nic_driver_config.h"
#include "nic_interfaces.h"
#include "nic_row_collections.h"
#include "nic_statistics.h"
#include "temp_root.h"

#include <gtest/gtest.h>

namespace {

const char* const kHeader =
    "Inter-|   Receive                            |  Transmit\n"
    " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
    "drop fifo colls carrier compressed\n";

// lo, eth0 (blank after the colon), ppp0, eth1 (byte count glued to the colon), a second eth0
// line, and eth2 with a counter above 32 bits.
const char* const kDevLines =
    "    lo: 100 2 0 0 0 0 0 0 100 2 0 0 0 0 0 0\n"
    "  eth0: 1000 10 3 0 0 0 0 0 2000 20 4 0 0 0 0 0\n"
    "  ppp0: 5 5 5 0 0 0 0 0 5 5 5 0 0 0 0 0\n"
    "  eth1:7000 70 8 0 0 0 0 0 9000 90 12 0 0 0 0 0\n"
    "  eth0: 1 1 1 0 0 0 0 0 1 1 1 0 0 0 0 0\n"
    "  eth2: 99999999999 1 0 0 0 0 0 0 4294967295 4294967296 0 0 0 0 0 0\n";

class NicRows : public ::testing::Test {
protected:
    void writeDev(const std::string& lines) { root.writeFile("/proc/net/dev", kHeader + lines); }
    qv::test::TempRoot root;
};

TEST_F(NicRows, RowRuleKeepsEthInterfacesInFileOrder)
{
    writeDev(kDevLines);
    NICStatistics stats;
    ASSERT_EQ(stats.getOperationStatus(), 0);
    ASSERT_EQ(stats.getNICStatisticsCount(), 4u);   // the duplicate eth0 line is a row too
    EXPECT_EQ(stats.getInterfaceName(0), "eth0");
    EXPECT_EQ(stats.getInterfaceName(1), "eth1");
    EXPECT_EQ(stats.getInterfaceName(3), "eth2");
    EXPECT_EQ(stats.getStatisticsIndex(0), 1);
    EXPECT_EQ(stats.getStatisticsIndex(4), -1);
    EXPECT_EQ(stats.getOperationStatus(), -1);
}

TEST_F(NicRows, CollectionsBuiltInOneScopeShareOneReadingOfTheInterfaces)
{
    writeDev(kDevLines);
    {
        nic::InterfaceListScope oneReading;
        NICStatistics first;
        writeDev("  eth7: 1 1 1 0 0 0 0 0 1 1 1 0 0 0 0 0\n");
        NICError second;
        EXPECT_EQ(first.getNICStatisticsCount(), 4u);
        EXPECT_EQ(second.getNICErrorCount(), 4u);   // the list read for the first collection
        unsigned value = 0;
        EXPECT_EQ(nic::_getTotalRxPackets("eth7", value), 0);   // counters stay live
        EXPECT_EQ(value, 1u);
    }
    NICStatistics after;
    ASSERT_EQ(after.getNICStatisticsCount(), 1u);
    EXPECT_EQ(after.getInterfaceName(0), "eth7");
}

TEST_F(NicRows, HeaderOnlyOrMissingFileGivesNoRowsAndFailure)
{
    NICStatistics missing;
    EXPECT_EQ(missing.getOperationStatus(), -1);
    writeDev("");
    NICError error;
    NICFrameType frames;
    EXPECT_EQ(error.getNICErrorCount(), 0u);
    EXPECT_EQ(error.getOperationStatus(), -1);
    EXPECT_EQ(frames.getNICFrameTypeCount(), 1u);
    EXPECT_EQ(frames.getOperationStatus(), -1);
    unsigned value = 7;
    EXPECT_EQ(nic::_getTxErrorCount("eth0", value), -1);
    EXPECT_EQ(value, 0u);
}

TEST_F(NicRows, CounterColumnsGluedColonsDuplicatesAndClamping)
{
    writeDev(kDevLines);
    struct Case {
        const char* name;
        nic::CounterReader reader;
        const char* interface;
        unsigned expected;
    } cases[] = {
        {"rx bytes glued", nic::_getRxOkByte, "eth1", 7000},
        {"rx packets", nic::_getTotalRxPackets, "eth1", 70},
        {"rx errors", nic::_getRxErrorCount, "eth1", 8},
        {"rx misc", nic::_getRxMisc, "eth0", 3},
        {"tx bytes", nic::_getTxOkByte, "eth1", 9000},
        {"tx packets", nic::_getTotalTxPackets, "eth0", 20},
        {"tx errors first line counts", nic::_getTxErrorCount, "eth0", 4},
        {"tx misc", nic::_getTxMisc, "eth1", 12},
        {"above 32 bits clamps", nic::_getRxOkByte, "eth2", 4294967295u},
        {"exactly 32 bits", nic::_getTxOkByte, "eth2", 4294967295u},
        {"one above clamps", nic::_getTotalTxPackets, "eth2", 4294967295u},
        {"absent interface", nic::_getTxErrorCount, "eth9", 0},
    };
    for (const Case& c : cases) {
        unsigned value = 1234;
        EXPECT_EQ(c.reader(c.interface, value), 0) << c.name;
        EXPECT_EQ(value, c.expected) << c.name;
    }
}

TEST_F(NicRows, VanishedInterfaceReadsZeroWithSuccess)
{
    writeDev(kDevLines);
    NICStatistics stats;
    NICError errors;
    writeDev("  eth1:7000 70 8 0 0 0 0 0 9000 90 12 0 0 0 0 0\n");
    EXPECT_EQ(stats.getTotalTxPackets(0), 0u);
    EXPECT_EQ(stats.getOperationStatus(), 0);
    EXPECT_EQ(stats.getTotalTxPackets(1), 90u);
    EXPECT_EQ(errors.getTotalTxErrorPacket(1), 12u);
    EXPECT_EQ(errors.getTotalRxErrorPacket(9), 0xFFFFFFFFu);
    EXPECT_EQ(errors.getOperationStatus(), -1);
    writeDev("");
    EXPECT_EQ(stats.getTxOkByte(1), 0xFFFFFFFFu);
    EXPECT_EQ(stats.getOperationStatus(), -1);
}

TEST_F(NicRows, RowOnlyCollectionsAndFrameTypes)
{
    writeDev("    lo: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n"
             "  eth0: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n"
             "  eth1: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n");
    NICPelmoraParameters pelmora;
    NICTokenRingStatistics tokenRing;
    NICMisc misc;
    EXPECT_EQ(pelmora.getNICPelmoraParametersIndex(0), 0);
    EXPECT_EQ(tokenRing.getNICTokenRingStatisticsIndex(0), 1);
    EXPECT_EQ(tokenRing.getNICTokenRingStatisticsIndex(2), -1);
    EXPECT_EQ(tokenRing.getOperationStatus(), -1);
    EXPECT_EQ(misc.getAdapterType(1), 0);
    EXPECT_EQ(misc.getAdapterType(2), -1);
    EXPECT_EQ(misc.getInterfaceName(1), "eth1");

    NICFrameType frames;
    EXPECT_EQ(frames.getNICFrameTypeCount(), 1u);
    EXPECT_EQ(frames.getNICIntoFrameTypeCount(0), 2u);
    EXPECT_EQ(frames.getNICIntoFrameTypeCount(1), 0u);
    EXPECT_EQ(frames.getOperationStatus(), -1);
    EXPECT_EQ(frames.getFrameTypeString(0, 1), "Ethernet 802.3");
    EXPECT_EQ(frames.getOperationStatus(), 0);
    EXPECT_EQ(frames.getFrameTypeString(0, 2), "");
    EXPECT_EQ(frames.getFrameTypeString(1, 0), "");
    EXPECT_EQ(frames.getNICCardIndex(1), 1);
    EXPECT_EQ(frames.getNICFrameTypeIndex(2), -1);

    writeDev("    lo: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n");
    NICZorinParameters none;
    EXPECT_EQ(none.getNICZorinParametersCount(), 0u);
    EXPECT_EQ(none.getOperationStatus(), 0);
    EXPECT_EQ(none.getNICZorinParametersIndex(0), -1);
}

class NicDriverConfig : public NicRows {
protected:
    void SetUp() override
    {
        writeDev("    lo: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n"
                 "  eth0: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n"
                 "  eth1:1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n");
        root.writeFile("/var/qvsim/netif",
                       "eth0 hwaddr=00:60:b0:0a:1b:2c base=0x300 irq=10 dma=3 mem=0xd0000 "
                       "flags=0x1100\n"
                       "eth1 hwaddr=00:00:00:00:00:01 flags=0x1\n");
        root.writeFile("/var/qvsim/uname", "2.2.14-5.0\n");
        root.writeFile("/proc/modules", "tulip 40000 1\n");
    }
};

TEST_F(NicDriverConfig, RowsCarryDriverAddressVersionAndResources)
{
    root.writeFile("/etc/modules.conf", "alias eth0 tulip\nalias eth0\nalias eth1 e100\n");
    NICDriverConfig config;
    ASSERT_EQ(config.getOperationStatus(), 0);
    ASSERT_EQ(config.getNICDriverConfigCount(), 2u);
    EXPECT_EQ(config.getDriverName(0), "tulip");
    EXPECT_EQ(config.getDriverName(1), "embedded in kernel");
    EXPECT_EQ(config.getDriverDescription(1), "eth1");
    EXPECT_EQ(config.getPhysicalAddress(0), "00:60:B0:0A:1B:2C");
    EXPECT_EQ(config.getDriverMajorVersion(0), 2);
    EXPECT_EQ(config.getDriverMinorVersion(0), 2);
    EXPECT_EQ(config.getIOPort(0), 0x300);
    EXPECT_EQ(config.getInterrupt(0), 10);
    EXPECT_EQ(config.getDMA(0), 3);
    EXPECT_EQ(config.getMemory(0), 0xd0000);
    EXPECT_EQ(config.getMulticast(0), 1);
    EXPECT_EQ(config.getPromiscuous(0), 1);
    EXPECT_EQ(config.getMulticast(1), 0);
    EXPECT_EQ(config.getNICDriverConfigIndex(1), 2);
    EXPECT_EQ(config.getNICDriverConfigIndex(2), -1);
    EXPECT_EQ(config.getOperationStatus(), -1);
    EXPECT_EQ(config.getMemory(2), 0);
    EXPECT_EQ(config.getDriverName(2), "");
}

TEST_F(NicDriverConfig, ConfFileWinsAndUnnamedInterfacesHaveNoDriver)
{
    root.writeFile("/etc/conf.modules", "alias eth0 missing\n");
    root.writeFile("/etc/modules.conf", "alias eth1 tulip\n");
    NICDriverConfig config;
    EXPECT_EQ(config.getDriverName(0), "embedded in kernel");
    EXPECT_EQ(config.getDriverName(1), "");
}

TEST_F(NicDriverConfig, VanishedInterfaceEndsTheTable)
{
    root.writeFile("/var/qvsim/netif", "eth0 hwaddr=00:60:b0:0a:1b:2c\n");
    NICDriverConfig config;
    EXPECT_EQ(config.getOperationStatus(), -1);
    EXPECT_EQ(config.getNICDriverConfigCount(), 1u);
}

TEST(NicDriverVersion, ReleaseFirstNumber)
{
    qv::test::TempRoot root;
    for (const char* release : {"2.4.2", "2.2.14-5.0"}) {
        root.writeFile("/var/qvsim/uname", std::string(release) + "\n");
        EXPECT_EQ(nic::_getDriverMajor(), 2) << release;
        EXPECT_EQ(nic::_getDriverMinor(), 2) << release;
    }
}

} // namespace
