#include "scsi_node_codec.h"
#include "scsi_payload.h"

#include <scsi/sg.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace qv::devsock::scsi {
namespace {

ChannelRequest sgIoRequest(int32_t direction, std::vector<uint8_t> cdb, uint32_t dataLength,
                           std::vector<uint8_t> dataOut = {}) {
    SgIoRequestFields fields{};
    fields.direction = direction;
    fields.cmdLength = static_cast<uint8_t>(cdb.size());
    fields.senseCapacity = 32;
    fields.dataLength = dataLength;
    fields.timeoutMs = 5000;
    fields.flags = 2;
    ChannelRequest request;
    request.code = kSgIo;
    const auto* p = reinterpret_cast<const uint8_t*>(&fields);
    request.dataOut.assign(p, p + sizeof fields);
    request.dataOut.insert(request.dataOut.end(), cdb.begin(), cdb.end());
    request.dataOut.insert(request.dataOut.end(), dataOut.begin(), dataOut.end());
    request.dataInCapacity = direction == kFromDevice ? dataLength : 0;
    request.statusLength = sizeof(SgIoStatusFields) + 32;
    return request;
}

TEST(ScsiNodeCodec, SgIoHeaderCarriesTheRequestAndItsAnswerComesBack) {
    NodeCodec codec;
    ChannelReply reply;
    int calls = 0;
    auto driver = [&](unsigned long code, void* block) {
        ++calls;
        EXPECT_EQ(code, static_cast<unsigned long>(SG_IO));
        auto* h = static_cast<sg_io_hdr_t*>(block);
        EXPECT_EQ(h->interface_id, 'S');
        EXPECT_EQ(h->dxfer_direction, SG_DXFER_FROM_DEV);
        EXPECT_EQ(h->cmd_len, 6);
        EXPECT_EQ(h->cmdp[0], 0x12);
        EXPECT_EQ(h->dxfer_len, 240u);
        EXPECT_EQ(h->mx_sb_len, 32);
        EXPECT_EQ(h->timeout, 5000u);
        EXPECT_EQ(h->flags, 2u);
        std::memset(h->dxferp, 0xAB, 36);
        h->resid = 240 - 36;
        h->status = 0x02;
        h->driver_status = 0x08;
        h->sb_len_wr = 18;
        static_cast<uint8_t*>(h->sbp)[0] = 0x70;
        return 0;
    };
    ASSERT_EQ(codec.issue(sgIoRequest(kFromDevice, {0x12, 0, 0, 0, 0xF0, 0}, 240), reply, driver), 0);
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(reply.status.size(), sizeof(SgIoStatusFields) + 32);
    SgIoStatusFields status;
    std::memcpy(&status, reply.status.data(), sizeof status);
    EXPECT_EQ(status.status, 2);
    EXPECT_EQ(status.driverStatus, 8);
    EXPECT_EQ(status.senseWritten, 18);
    EXPECT_EQ(reply.status[sizeof status], 0x70);
    EXPECT_EQ(reply.dataIn, std::vector<uint8_t>(36, 0xAB));

    // A residual the driver gets wrong never lets more than the offered bytes through.
    auto lying = [](unsigned long, void* block) {
        static_cast<sg_io_hdr_t*>(block)->resid = -1000;
        return 0;
    };
    ASSERT_EQ(codec.issue(sgIoRequest(kFromDevice, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8), reply, lying), 0);
    EXPECT_EQ(reply.dataIn.size(), 8u);
}

TEST(ScsiNodeCodec, DataOutReachesTheDriverAndMalformedRequestsDoNot) {
    NodeCodec codec;
    ChannelReply reply;
    auto driver = [](unsigned long, void* block) {
        auto* h = static_cast<sg_io_hdr_t*>(block);
        EXPECT_EQ(h->dxfer_direction, SG_DXFER_TO_DEV);
        EXPECT_EQ(h->dxfer_len, 4u);
        EXPECT_EQ(static_cast<uint8_t*>(h->dxferp)[3], 4);
        return 0;
    };
    EXPECT_EQ(codec.issue(sgIoRequest(kToDevice, {0x4C, 1, 0x40, 0, 0, 0, 0, 0, 4, 0}, 4, {1, 2, 3, 4}), reply, driver), 0);
    EXPECT_TRUE(reply.dataIn.empty());

    auto untouched = [](unsigned long, void*) -> int {
        ADD_FAILURE() << "the driver was called";
        return 0;
    };
    ChannelRequest badOut = sgIoRequest(kToDevice, {0x4C, 1, 0x40, 0, 0, 0, 0, 0, 4, 0}, 4, {1, 2});
    ChannelRequest noCdb = sgIoRequest(kFromDevice, {}, 8);
    ChannelRequest longCdb = sgIoRequest(kFromDevice, std::vector<uint8_t>(17, 0), 8);
    ChannelRequest badStatus = sgIoRequest(kFromDevice, {0x12, 0, 0, 0, 36, 0}, 36);
    badStatus.statusLength = 16;
    ChannelRequest truncated = sgIoRequest(kFromDevice, {0x12, 0, 0, 0, 36, 0}, 36);
    truncated.dataOut.resize(10);
    ChannelRequest unknown;
    unknown.code = 0x1234;
    for (const auto* request : {&badOut, &noCdb, &longCdb, &badStatus, &truncated, &unknown})
        EXPECT_EQ(codec.issue(*request, reply, untouched), EINVAL);

    auto failing = [](unsigned long, void*) {
        errno = EIO;
        return -1;
    };
    EXPECT_EQ(codec.issue(sgIoRequest(kNoData, {0, 0, 0, 0, 0, 0}, 0), reply, failing), EIO);
}

TEST(ScsiNodeCodec, ScsiIdIsCopiedIntoTheFixedRecord) {
    NodeCodec codec;
    ChannelRequest request;
    request.code = kSgGetScsiId;
    ChannelReply reply;
    auto driver = [](unsigned long code, void* block) {
        EXPECT_EQ(code, static_cast<unsigned long>(SG_GET_SCSI_ID));
        auto* id = static_cast<sg_scsi_id*>(block);
        id->host_no = 2;
        id->channel = 1;
        id->scsi_id = 6;
        id->lun = 3;
        id->scsi_type = 5;
        return 0;
    };
    ASSERT_EQ(codec.issue(request, reply, driver), 0);
    ASSERT_EQ(reply.dataIn.size(), sizeof(ScsiIdReply));
    ScsiIdReply id;
    std::memcpy(&id, reply.dataIn.data(), sizeof id);
    EXPECT_EQ(id.hostNumber, 2);
    EXPECT_EQ(id.channel, 1);
    EXPECT_EQ(id.scsiId, 6);
    EXPECT_EQ(id.lun, 3);
    EXPECT_EQ(id.scsiType, 5);
}

TEST(ScsiNodeCodec, BlockNodeAddressRequestsFillTheirRecords) {
    NodeCodec codec;
    auto driver = [](unsigned long code, void* block) {
        auto* words = static_cast<int32_t*>(block);
        words[0] = code == kGetIdLun ? 0x01020304 : 3;
        return 0;
    };
    ChannelReply reply;
    ASSERT_EQ(codec.issue({kGetIdLun, {}, 8, 0}, reply, driver), 0);
    EXPECT_EQ(reply.dataIn, (std::vector<uint8_t>{4, 3, 2, 1, 0, 0, 0, 0}));
    ASSERT_EQ(codec.issue({kGetBusNumber, {}, 4, 0}, reply, driver), 0);
    EXPECT_EQ(reply.dataIn, (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(codec.issue({kGetBusNumber, {1}, 4, 0}, reply, driver), EINVAL);
}

} // namespace
} // namespace qv::devsock::scsi
