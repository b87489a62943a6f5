#include "device_list.h"
#include "driver_iface.h"

#include <scsi_node_codec.h>
#include <scsi_simulator.h>
#include <temp_root.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>

namespace {

using nlohmann::json;

json target(int host, int channel, int id, int lun, int sg) {
    return {{"host", host}, {"channel", channel}, {"id", id}, {"lun", lun}, {"sg", sg}, {"blocks", 100}};
}

class DeviceListTest : public ::testing::Test {
protected:
    void serve(const json& targets) {
        simulator.loadScenario({{"scsi", {{"adapters", json::array()}, {"targets", targets}}}});
        simulator.start();
        list.now = [this] { return clock; };
    }
    void TearDown() override { simulator.stop(); }

    qv::test::TempRoot root;
    qv::sim::scsi::ScsiSimulator simulator;
    CGenericDeviceList list;
    time_t clock = 1000;
};

TEST_F(DeviceListTest, NodesInOrderUntilTheFirstGapWithChannelAndLunPacked) {
    serve({target(0, 0, 3, 0, 0), target(1, 1, 5, 2, 1), target(0, 0, 4, 0, 2), target(2, 0, 0, 0, 4)});
    ASSERT_EQ(list.BuildDriveInfo(), 0u);
    ASSERT_EQ(list.nDrives, 3u);   // /dev/sg3 is missing: /dev/sg4 is hidden behind it
    EXPECT_EQ(list.At(1).iDisk, 1);
    EXPECT_EQ(list.At(1).addr, (SCSIAddressType{5, SetChannel(1, 2), 1}));
    EXPECT_EQ(GetChannel(list.At(1).addr.idChannel), 1u);
    EXPECT_EQ(GetLUN(list.At(1).addr.idChannel), 2u);

    unsigned index = 99;
    EXPECT_TRUE(list.FindDrive(0, 0, 4, &index));
    EXPECT_EQ(index, 2u);
    EXPECT_TRUE(list.FindDrive(kAnyKey, kAnyKey, 5, &index));
    EXPECT_EQ(index, 1u);
    EXPECT_FALSE(list.FindDrive(1, 1, 5, &index));   // the LUN is part of the channel byte

    SCSIAddressType address{};
    EXPECT_TRUE(list.GetPhysDiskAddr(1, 0, &address));   // second device on host 0
    EXPECT_EQ(address, (SCSIAddressType{4, 0, 0}));
    EXPECT_FALSE(list.GetPhysDiskAddr(2, 0, &address));
    EXPECT_TRUE(list.GetPhysDiskAddr(4, kAnyKey, &address));   // probed and added
    EXPECT_EQ(address, (SCSIAddressType{0, 0, 2}));
    EXPECT_EQ(list.nDrives, 4u);
    EXPECT_FALSE(list.GetPhysDiskAddr(7, kAnyKey, &address));
}

TEST_F(DeviceListTest, AtMostFortyDevicesAndRebuiltAfterFortySeconds) {
    json targets = json::array();
    for (int sg = 0; sg < 42; ++sg)
        targets.push_back(target(0, 0, sg % 16, sg / 16, sg));
    serve(targets);
    list.BuildDriveInfo();
    EXPECT_EQ(list.nDrives, 40u);

    ASSERT_TRUE(simulator.bus().setFaults(0, {ENOENT, 0, 0, 0}));
    clock += 39;
    list.BuildDriveInfo();
    EXPECT_EQ(list.nDrives, 40u);
    clock += 1;
    list.BuildDriveInfo();
    EXPECT_EQ(list.nDrives, 0u);
}

TEST(DriverIFace, OpenCloseAndRequestsOnAClosedHandle) {
    qv::test::TempRoot root;
    qv::devsock::scsi::NodeCodec codec;
    CDriverIFace device(codec);
    qv::devsock::ChannelRequest request;
    qv::devsock::ChannelReply reply;
    EXPECT_EQ(device.Exchange(request, reply), ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(device.Open("/dev/sg0", 0), static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_STREQ(device.szDriver, "/dev/sg0");
    root.writeFile("/dev/sg1", "");   // a plain file is no device
    EXPECT_EQ(device.Open("/dev/sg1", 0), static_cast<uint32_t>(ENODEV));
    EXPECT_EQ(device.Close(), 0u);
}

} // namespace
