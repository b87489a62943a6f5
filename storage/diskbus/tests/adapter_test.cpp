#include "diskbus_machine.h"

#include "ami_adapter.h"
#include "linux_adapter.h"
#include "scsi_adapter.h"

#include <scsi_payload.h>

#include <cerrno>
#include <cstring>

namespace diskbus_test {
namespace {

const uint8_t kTestUnitReady[6] = {0x00, 0, 0, 0, 0, 0};
const uint8_t kReadCapacity[10] = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};

class AdapterTest : public DiskbusMachine {
protected:
    CLinuxScsiAdapter& linuxAdapter() {
        EXPECT_EQ(BuildAdapterList(), 0u);
        auto* adapter = dynamic_cast<CLinuxScsiAdapter*>(FindAdapter(kAdapterClassNone, 0));
        EXPECT_NE(adapter, nullptr);
        return *adapter;
    }
};

TEST_F(AdapterTest, NumberingBothWaysByClass) {
    json scsi = machineScenario();
    scsi["adapters"] = {{{"host", 0}, {"driver", "aic7xxx"}}, {{"host", 1}, {"driver", "megaraid"}},
                        {{"host", 2}, {"driver", "ide-scsi"}}, {{"host", 3}, {"driver", "MEGARAID"}}};
    serve(scsi);
    ASSERT_EQ(BuildAdapterList(), 0u);
    ASSERT_EQ(GetNumberOfAdapters(), 4u);
    EXPECT_NE(dynamic_cast<CAMIScsiAdapter*>(FindAdapter(kAdapterClassNone, 3)), nullptr);
    EXPECT_NE(dynamic_cast<CLinuxScsiAdapter*>(FindAdapter(kAdapterClassNone, 2)), nullptr);

    struct Case { unsigned adapterClass, number; bool found; int slot; };
    for (const Case& c : {Case{1, 0, true, 1}, Case{1, 1, true, 3}, Case{1, 2, false, 0}, Case{4, 2, true, 2},
                          Case{0, 3, true, 3}, Case{5, 4, false, 0}}) {
        int slot = -1;
        EXPECT_EQ(GetAdapterId(c.adapterClass, c.number, &slot), c.found) << c.adapterClass << "/" << c.number;
        if (c.found) {
            EXPECT_EQ(slot, c.slot) << c.adapterClass << "/" << c.number;
        }
    }
    for (const Case& c : {Case{1, 1, true, 0}, Case{1, 3, true, 1}, Case{4, 0, true, 0}, Case{5, 2, true, 2},
                          Case{1, 0, false, 0}, Case{4, 9, false, 0}}) {
        int number = -1;
        EXPECT_EQ(GetAdapterNo(c.adapterClass, c.number, &number), c.found) << c.adapterClass << "/" << c.number;
        if (c.found) {
            EXPECT_EQ(number, c.slot) << c.adapterClass << "/" << c.number;
        }
    }
    ReleaseAdapterList();
    EXPECT_EQ(GetNumberOfAdapters(), 0u);
    EXPECT_EQ(FindAdapter(kAdapterClassNone, 0), nullptr);
}

TEST_F(AdapterTest, ChannelScanCountsEveryAnswerKeepsItThirtySecondsAndNamesNewTargets) {
    serve(machineScenario());
    CScsiChannel& channel = *linuxAdapter().Channel(0);   // opening scans
    EXPECT_EQ(channel.nTargets, 4u);                       // the CD-ROM and the enclosure count too
    EXPECT_EQ(channel.maskTargets, 0x0053);
    EXPECT_EQ(channel.maskDisks, 0x0003);                   // but only the two disks are disks
    EXPECT_EQ(CountAdapterTargets(0), 4u);

    simulator.bus().clearJournal();
    uint16_t added = 0xBEEF;
    clock += 29;
    EXPECT_EQ(channel.DetermineTargets(&added), 0u);
    EXPECT_EQ(added, 0xBEEF);
    EXPECT_TRUE(journal().empty());

    control({{"op", "scsiNodeFaults"}, {"sg", 1}, {"hostStatus", 1}});   // target 1 stops answering
    clock += 1;
    EXPECT_EQ(channel.DetermineTargets(&added), 0u);
    EXPECT_EQ(channel.maskTargets, 0x0051);
    EXPECT_EQ(added, 0);
    control({{"op", "scsiNodeFaults"}, {"sg", 1}});
    clock += 30;
    EXPECT_EQ(channel.DetermineTargets(&added), 0u);
    EXPECT_EQ(added, 0x0002);
    EXPECT_TRUE(channel.IsTargetAdded(1));
    EXPECT_FALSE(channel.IsTargetAdded(0));
}

// An adapter whose target 2 has no device node at all.
class NodelessAdapter : public CScsiAdapter {
public:
    NodelessAdapter() : CScsiAdapter(0, 512) {}
    uint32_t IssueDriveCmd(unsigned, unsigned target, const uint8_t*, unsigned) override {
        if (target == 2)
            return ERR_DEVICE_NOT_FOUND;
        uint8_t* data = GetpDataRet(true);
        data[0] = 0x00;
        data[2] = data[3] = data[8] = 1;
        return 0;
    }
};

TEST_F(AdapterTest, ChannelScanStopsWhereNoDeviceNodeExistsAndKeepsNoTime) {
    NodelessAdapter adapter;
    CScsiChannel channel(&adapter, 0);
    uint16_t added = 0xBEEF;
    EXPECT_EQ(channel.DetermineTargets(&added), ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(channel.nTargets, 2u);
    EXPECT_EQ(channel.timestamp, 0);
    EXPECT_EQ(added, 0xBEEF);
}

class LinuxTransferTest : public AdapterTest, public ::testing::WithParamInterface<const char*> {
protected:
    bool kernel22() const { return std::string(GetParam()).rfind("2.2", 0) == 0; }
};

TEST_P(LinuxTransferTest, EveryCommandOpensItsNodeAndFailuresMapByTheDeviceList) {
    serve(machineScenario(), GetParam());
    CLinuxScsiAdapter& adapter = linuxAdapter();
    EXPECT_EQ(adapter.IssueDriveCmd(0, 0, kTestUnitReady, 6), 0u);
    EXPECT_FALSE(adapter.adapter.IsOpen());

    struct Case { const char* what; json faults; unsigned target; uint32_t status; };
    const Case cases[] = {
        {"open refused", {{"openErrno", EBUSY}}, 0, SCSI_CMD_FAILED},
        {"node vanished", {{"openErrno", ENOENT}}, 0, SCSI_CMD_FAILED},
        {"transport errno", {{"transportErrno", EIO}}, 0, SCSI_CMD_FAILED},
        {"host status", {{"hostStatus", 1}}, 0, SCSI_CMD_FAILED},
        {"driver timeout", {{"driverStatus", 6}}, 0, SCSI_CMD_FAILED},
        {"not in the device list", json::object(), 9, SCSI_NO_DEVICE},
    };
    for (const Case& c : cases) {
        json request = c.faults;
        request["op"] = "scsiNodeFaults";
        request["sg"] = 0;
        control(request);
        EXPECT_EQ(adapter.IssueDriveCmd(0, c.target, kTestUnitReady, 6), c.status) << c.what;
        EXPECT_FALSE(adapter.adapter.IsOpen()) << c.what;
        control({{"op", "scsiNodeFaults"}, {"sg", 0}});
    }

    control({{"op", "scsiCheckCondition"}, {"sg", 1}, {"key", 2}, {"asc", 0x04}, {"ascq", 0x02}});
    EXPECT_EQ(adapter.IssueDriveCmd(0, 1, kTestUnitReady, 6), SCSI_CHECK_CONDITION);
    sdType sense{};
    ASSERT_TRUE(adapter.GetSenseData(&sense));
    ASSERT_GE(sense.cb, 14u);
    EXPECT_EQ(sense.pb[2] & 0x0F, 2);
    EXPECT_EQ(sense.pb[12], 0x04);
    EXPECT_EQ(sense.pb[13], 0x02);
}

TEST_P(LinuxTransferTest, BytesOfBothDirectionsAsTheTargetSeesThem) {
    serve(machineScenario(), GetParam());
    CLinuxScsiAdapter& adapter = linuxAdapter();
    simulator.bus().clearJournal();
    uint8_t* data = adapter.GetpDataRet(true);
    EXPECT_EQ(data - adapter.sdBuffer.pb, kernel22() ? 36 : 96);
    ASSERT_EQ(adapter.IssueDriveCmd(0, 1, kReadCapacity, 10), 0u);
    EXPECT_EQ(Bytes(data, data + 8), (Bytes{0, 0, 0x07, 0xCF, 0, 0, 0x02, 0}));   // block 1999 of 512 bytes

    for (unsigned i = 0; i < 512; ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    const uint8_t write6[6] = {0x0A, 0, 0, 5, 1, 0};
    EXPECT_EQ(adapter.SendDriveData(0, 0, write6, 6), SCSI_CHECK_CONDITION);   // the target does not write

    const auto records = journal();
    ASSERT_EQ(records.size(), 2u);
    const char* form = kernel22() ? "sg2" : "sg3";
    EXPECT_EQ(records[0].form, form);
    EXPECT_EQ(records[0].sgNumber, 1);
    EXPECT_EQ(records[0].cdb, Bytes(kReadCapacity, kReadCapacity + 10));
    EXPECT_EQ(records[0].direction, qv::devsock::scsi::kFromDevice);
    EXPECT_EQ(records[1].form, form);
    EXPECT_EQ(records[1].cdb, Bytes(write6, write6 + 6));
    EXPECT_EQ(records[1].direction, qv::devsock::scsi::kToDevice);
    ASSERT_EQ(records[1].dataOut.size(), 512u);
    for (unsigned i = 0; i < 512; ++i)
        ASSERT_EQ(records[1].dataOut[i], static_cast<uint8_t>(i * 7)) << i;
}

INSTANTIATE_TEST_SUITE_P(Kernels, LinuxTransferTest, ::testing::Values("2.4.20", "2.2.14-5.0"));

TEST_F(AdapterTest, CommandsImplyingMoreThanTheIoBufferAreRefusedBeforeAnyTransfer) {
    serve(machineScenario());
    ASSERT_EQ(BuildAdapterList(), 0u);
    CScsiAdapter* adapters[] = {FindAdapter(kAdapterClassNone, 0), FindAdapter(kAdapterClassNone, 1)};
    simulator.bus().clearJournal();
    const uint8_t read10[10] = {0x28, 0, 0, 0, 0, 0, 0, 0x00, 0x80, 0};        // 128 blocks: 64 KiB
    const uint8_t writeBuffer[10] = {0x3B, 0x05, 0, 0, 0, 0, 0x00, 0xC0, 0x00, 0};   // 48 KiB
    const uint8_t largestBuffer[10] = {0x3C, 0x02, 0, 0, 0, 0, 0x00, 0x80, 0x00, 0}; // 32 KiB fits
    for (CScsiAdapter* adapter : adapters) {
        ASSERT_NE(adapter, nullptr);
        ASSERT_NE(adapter->GetpDataRet(true), nullptr);
        EXPECT_EQ(adapter->IssueDriveCmd(0, 0, read10, 10), ERR_BUFFER_TOO_SMALL);
        EXPECT_EQ(adapter->SendDriveData(0, 0, writeBuffer, 10), ERR_BUFFER_TOO_SMALL);
        EXPECT_NE(adapter->IssueDriveCmd(0, 0, largestBuffer, 10), ERR_BUFFER_TOO_SMALL);
    }
    for (const auto& record : journal())
        EXPECT_EQ(record.cdb[0], 0x3C);
}

TEST_F(AdapterTest, SendWithoutBufferAndTheBaseClassOperations) {
    serve(machineScenario());
    CLinuxScsiAdapter adapter(0, 100);
    EXPECT_EQ(adapter.cbTotalIO, 512u);
    EXPECT_EQ(adapter.SendDriveData(0, 0, kTestUnitReady, 6), ERR_RESOURCE_UNAVAILABLE);
    CScsiAdapter base(5, 49153);
    EXPECT_EQ(base.cbTotalIO, 49664u);
    EXPECT_EQ(base.nChannels, 0u);
    EXPECT_EQ(base.OpenAdapter(), ERR_ADAPTER_NOT_FOUND);
    EXPECT_EQ(base.IssueDriveCmd(0, 0, kTestUnitReady, 6), ERR_ADAPTER_NOT_FOUND);
    EXPECT_EQ(base.GetpDataRet(true) - base.sdBuffer.pb, 160);
    int state = 9;
    EXPECT_EQ(base.GetSmartInfo(0, 0, &state), 0u);
    EXPECT_EQ(state, 0);
    sdType buffer{};
    EXPECT_EQ(AllocLibMem(16, nullptr), ERR_INVALID_PARAMETER);
    EXPECT_EQ(AllocLibMem(16, &buffer), 0u);
    EXPECT_EQ(FreeLibMem(buffer.pb), 0u);
    EXPECT_EQ(FreeLibMem(nullptr), ERR_INVALID_PARAMETER);
}

TEST_F(AdapterTest, DriverModulePathFollowsTheKernelRelease) {
    serve(machineScenario(), "2.2.14-5.0");
    ASSERT_EQ(BuildAdapterList(), 0u);
    char path[128];
    EXPECT_FALSE(GetAdapterDriver(0, path, sizeof path));
    root.writeFile("/lib/modules/2.2.14-5.0/scsi/aic7xxx.o", "");
    ASSERT_TRUE(GetAdapterDriver(0, path, sizeof path));
    EXPECT_STREQ(path, "/lib/modules/2.2.14-5.0/scsi/aic7xxx.o");
    char small[8];
    ASSERT_TRUE(GetAdapterDriver(0, small, sizeof small));
    EXPECT_STREQ(small, "/lib/mo");
}

} // namespace
} // namespace diskbus_test
