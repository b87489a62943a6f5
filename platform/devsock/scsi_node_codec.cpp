#include "scsi_node_codec.h"

#include "scsi_payload.h"

#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv::devsock::scsi {
namespace {

constexpr size_t kLargestCommand = 16;
constexpr uint32_t kLargestTransfer = 1 << 20;   // no reply may exceed the socket's frame either

int failedIoctl() { return errno != 0 ? errno : EIO; }

template <typename T>
void appendRecord(std::vector<uint8_t>& to, const T& value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    to.insert(to.end(), p, p + sizeof value);
}

int sgIo(const ChannelRequest& request, ChannelReply& reply, const NodeRequestCodec::Ioctl& ioctl) {
    SgIoRequestFields fields;
    if (request.dataOut.size() < sizeof fields)
        return EINVAL;
    std::memcpy(&fields, request.dataOut.data(), sizeof fields);
    const size_t cdbEnd = sizeof fields + fields.cmdLength;
    const bool toDevice = fields.direction == kToDevice;
    const bool fromDevice = fields.direction == kFromDevice;
    if (fields.cmdLength == 0 || fields.cmdLength > kLargestCommand || fields.dataLength > kLargestTransfer ||
        request.dataOut.size() != cdbEnd + (toDevice ? fields.dataLength : 0) ||
        request.statusLength != sizeof(SgIoStatusFields) + fields.senseCapacity)
        return EINVAL;

    std::vector<uint8_t> cdb(request.dataOut.begin() + sizeof fields, request.dataOut.begin() + cdbEnd);
    std::vector<uint8_t> data;
    if (toDevice)
        data.assign(request.dataOut.begin() + cdbEnd, request.dataOut.end());
    else if (fromDevice)
        data.assign(fields.dataLength, 0);
    std::vector<uint8_t> sense(fields.senseCapacity, 0);

    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.dxfer_direction = fields.direction;
    header.cmd_len = fields.cmdLength;
    header.mx_sb_len = fields.senseCapacity;
    header.dxfer_len = static_cast<unsigned>(data.size());
    header.dxferp = data.empty() ? nullptr : data.data();
    header.cmdp = cdb.data();
    header.sbp = sense.empty() ? nullptr : sense.data();
    header.timeout = fields.timeoutMs;
    header.flags = fields.flags;
    if (ioctl(SG_IO, &header) < 0)
        return failedIoctl();

    SgIoStatusFields status{};
    status.status = header.status;
    status.maskedStatus = header.masked_status;
    status.msgStatus = header.msg_status;
    status.senseWritten = std::min(header.sb_len_wr, fields.senseCapacity);
    status.hostStatus = header.host_status;
    status.driverStatus = header.driver_status;
    status.residual = header.resid;
    status.durationMs = header.duration;
    status.info = header.info;
    reply.status.clear();
    appendRecord(reply.status, status);
    reply.status.insert(reply.status.end(), sense.begin(), sense.end());
    reply.dataIn.clear();
    if (fromDevice) {
        // The driver's residual is untrusted: never more than was offered.
        size_t moved = data.size();
        if (header.resid > 0)
            moved -= std::min<size_t>(moved, static_cast<size_t>(header.resid));
        reply.dataIn.assign(data.begin(), data.begin() + moved);
    }
    return 0;
}

int scsiId(const ChannelRequest& request, ChannelReply& reply, const NodeRequestCodec::Ioctl& ioctl) {
    if (request.statusLength != 0 || !request.dataOut.empty())
        return EINVAL;
    sg_scsi_id id{};
    if (ioctl(SG_GET_SCSI_ID, &id) < 0)
        return failedIoctl();
    ScsiIdReply out{};
    out.hostNumber = id.host_no;
    out.channel = id.channel;
    out.scsiId = id.scsi_id;
    out.lun = id.lun;
    out.scsiType = id.scsi_type;
    out.commandsPerLun = id.h_cmd_per_lun;
    out.queueDepth = id.d_queue_depth;
    reply.status.clear();
    reply.dataIn.clear();
    appendRecord(reply.dataIn, out);
    return 0;
}

// The block driver's two address requests: a fixed record filled in place.
int blockAddress(const ChannelRequest& request, ChannelReply& reply, const NodeRequestCodec::Ioctl& ioctl) {
    if (request.statusLength != 0 || !request.dataOut.empty())
        return EINVAL;
    IdLunReply record{};
    if (ioctl(request.code, &record) < 0)
        return failedIoctl();
    reply.status.clear();
    reply.dataIn.clear();
    if (request.code == kGetIdLun)
        appendRecord(reply.dataIn, record);
    else
        appendRecord(reply.dataIn, record.devId);
    return 0;
}

} // namespace

int NodeCodec::issue(const ChannelRequest& request, ChannelReply& reply, const Ioctl& ioctl) const {
    static_assert(SG_IO == kSgIo && SG_GET_SCSI_ID == kSgGetScsiId);
    static_assert(SG_DXFER_NONE == kNoData && SG_DXFER_TO_DEV == kToDevice && SG_DXFER_FROM_DEV == kFromDevice);
    switch (request.code) {
    case kSgIo:
        return sgIo(request, reply, ioctl);
    case kSgGetScsiId:
        return scsiId(request, reply, ioctl);
    case kGetIdLun:
    case kGetBusNumber:
        return blockAddress(request, reply, ioctl);
    default:
        return EINVAL;
    }
}

} // namespace qv::devsock::scsi
