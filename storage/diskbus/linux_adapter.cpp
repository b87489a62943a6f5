#include "linux_adapter.h"

#include "adapter_list.h"

#include <kernel_release.h>
#include <scsi_payload.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace payload = qv::devsock::scsi;

namespace {
constexpr uint32_t kTimeoutMs = 5000;
constexpr uint32_t kSgFlags = 2;
constexpr uint8_t kGood = 0x00;
constexpr uint8_t kCheckCondition = 0x02;
// A transfer that failed without an errno of its own (status, host or driver error).
constexpr uint32_t kTransferFailed = SCSI_CMD_FAILED;

template <typename T>
void appendRecord(std::vector<uint8_t>& to, const T& value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    to.insert(to.end(), p, p + sizeof value);
}
} // namespace

CLinuxScsiAdapter::CLinuxScsiAdapter(unsigned adapterNumber, unsigned transferSize)
    : CScsiAdapter(adapterNumber, transferSize), fKernel22(qv::isKernel22()) {
    GenericDeviceList().BuildDriveInfo();
}

CLinuxScsiAdapter::~CLinuxScsiAdapter() { CloseAdapter(); }

uint32_t CLinuxScsiAdapter::OpenAdapter() {
    if (fOpen)
        return 0;
    if (idAdapter >= ScsiMfg().nAdapters)
        return ERR_ADAPTER_NOT_FOUND;
    if (Channel(0) != nullptr)
        GetChannelTargets(nullptr);
    fOpen = 1;
    return 0;
}

uint32_t CLinuxScsiAdapter::CloseAdapter() {
    fOpen = 0;
    return adapter.Close();
}

uint32_t CLinuxScsiAdapter::OpenPersistentDrive(unsigned channel, unsigned target) {
    CGenericDeviceList& list = GenericDeviceList();
    list.BuildDriveInfo();
    unsigned index;
    if (!list.FindDrive(idAdapter, SetChannel(channel, 0), target, &index))
        return ERR_DEVICE_NOT_FOUND;
    char path[32];
    std::snprintf(path, sizeof path, "/dev/sg%d", list.At(index).iDisk);
    const uint32_t error = adapter.Open(path, kDriverOpenReadWrite);
    return error == ENOENT ? SCSI_NO_DEVICE : error;
}

uint32_t CLinuxScsiAdapter::ClosePersistentDrive() { return adapter.IsOpen() ? adapter.Close() : 0; }

uint8_t* CLinuxScsiAdapter::GetpDataRet(bool allocate) {
    return DataArea(fKernel22 ? kSg22DataOffset : kSgIoDataOffset, allocate);
}

bool CLinuxScsiAdapter::GetSenseData(sdType* sense) {
    if (sdBuffer.pb == nullptr || sense == nullptr)
        return false;
    if (fKernel22) {
        *sense = {sdBuffer.pb + offsetof(SgHeader22, sense_buffer), sizeof SgHeader22::sense_buffer};
        return true;
    }
    *sense = {static_cast<uint8_t*>(lastIo_.sbp), lastIo_.sb_len_wr};
    return lastIo_.sbp != nullptr;
}

uint32_t CLinuxScsiAdapter::IssueDriveCmd(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength) {
    return Command(channel, target, cdb, cdbLength, false);
}

uint32_t CLinuxScsiAdapter::SendDriveData(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength) {
    return Command(channel, target, cdb, cdbLength, true);
}

uint32_t CLinuxScsiAdapter::Command(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength,
                                    bool toDevice) {
    const bool wasOpen = adapter.IsOpen();
    uint32_t length;
    if (uint32_t refused = CheckedTransferLength(cdb, cdbLength, &length); refused != 0)
        return refused;
    if (GetpDataRet(!toDevice) == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    uint32_t status = wasOpen ? 0 : OpenPersistentDrive(channel, target);
    const PersistentDriveCloser closer{*this, !wasOpen};
    if (status == 0)
        status = fKernel22 ? Transfer22(cdb, cdbLength, length, toDevice)
                           : TransferSgIo(cdb, cdbLength, length, toDevice);
    // CHECK CONDITION is an answer of the target, with its sense readable: passed on as it is.
    if (status != 0 && status != SCSI_CHECK_CONDITION)
        status = GenericDeviceList().FindDrive(idAdapter, SetChannel(channel, 0), target, nullptr) ? SCSI_CMD_FAILED
                                                                                               : SCSI_NO_DEVICE;
    return status;
}

uint32_t CLinuxScsiAdapter::TransferSgIo(const uint8_t* cdb, unsigned cdbLength, uint32_t dataLength, bool toDevice) {
    uint8_t* sense = sdBuffer.pb + kSgIoSenseOffset;
    uint8_t* data = sdBuffer.pb + kSgIoDataOffset;
    lastIo_ = sg_io_hdr_t{};
    lastIo_.interface_id = 'S';
    lastIo_.dxfer_direction = dataLength == 0 ? SG_DXFER_NONE : toDevice ? SG_DXFER_TO_DEV : SG_DXFER_FROM_DEV;
    lastIo_.cmd_len = static_cast<unsigned char>(cdbLength);
    lastIo_.mx_sb_len = kSgIoSenseLength;
    lastIo_.dxfer_len = dataLength;
    lastIo_.dxferp = data;
    lastIo_.cmdp = const_cast<unsigned char*>(cdb);
    lastIo_.sbp = sense;
    lastIo_.timeout = kTimeoutMs;
    lastIo_.flags = kSgFlags;

    payload::SgIoRequestFields fields{};
    fields.direction = lastIo_.dxfer_direction;
    fields.cmdLength = lastIo_.cmd_len;
    fields.senseCapacity = lastIo_.mx_sb_len;
    fields.dataLength = dataLength;
    fields.timeoutMs = kTimeoutMs;
    fields.flags = kSgFlags;
    qv::devsock::ChannelRequest request;
    request.code = payload::kSgIo;
    appendRecord(request.dataOut, fields);
    request.dataOut.insert(request.dataOut.end(), cdb, cdb + cdbLength);
    const bool fromDevice = fields.direction == payload::kFromDevice;
    if (fields.direction == payload::kToDevice)
        request.dataOut.insert(request.dataOut.end(), data, data + dataLength);
    request.dataInCapacity = fromDevice ? dataLength : 0;
    request.statusLength = sizeof(payload::SgIoStatusFields) + kSgIoSenseLength;
    qv::devsock::ChannelReply reply;
    if (uint32_t error = adapter.Exchange(request, reply); error != 0)
        return error;

    payload::SgIoStatusFields status;
    if (reply.status.size() != request.statusLength)
        return EIO;
    std::memcpy(&status, reply.status.data(), sizeof status);
    lastIo_.status = status.status;
    lastIo_.masked_status = status.maskedStatus;
    lastIo_.host_status = status.hostStatus;
    lastIo_.driver_status = status.driverStatus;
    lastIo_.sb_len_wr = std::min<uint8_t>(status.senseWritten, kSgIoSenseLength);
    lastIo_.resid = status.residual;
    std::memcpy(sense, reply.status.data() + sizeof status, kSgIoSenseLength);
    if (fromDevice && !reply.dataIn.empty())
        std::memcpy(data, reply.dataIn.data(), std::min<size_t>(reply.dataIn.size(), dataLength));

    const bool transportFault = status.hostStatus != 0 || (status.driverStatus & ~payload::kDriverSense) != 0;
    if (transportFault)
        return kTransferFailed;
    if (status.status == kCheckCondition)
        return SCSI_CHECK_CONDITION;
    return status.status == kGood ? 0 : kTransferFailed;
}

uint32_t CLinuxScsiAdapter::Transfer22(const uint8_t* cdb, unsigned cdbLength, uint32_t dataLength, bool toDevice) {
    uint8_t* buffer = sdBuffer.pb;
    if (toDevice)
        std::memmove(buffer + kSg22DataOffset + cdbLength, buffer + kSg22DataOffset, dataLength);
    SgHeader22 header{};
    // The reply of a data-out command is the header alone; announcing header + data would have
    // the driver expect data back from a command that only sends.
    header.reply_len = static_cast<int32_t>(kSg22DataOffset + (toDevice ? 0 : dataLength));
    std::memcpy(buffer, &header, sizeof header);
    std::memcpy(buffer + kSg22DataOffset, cdb, cdbLength);
    const uint32_t inLength = kSg22DataOffset + cdbLength + (toDevice ? dataLength : 0);
    const uint32_t outLength = kSg22DataOffset + (toDevice ? 0 : dataLength);
    const uint32_t result = adapter.WriteRead(buffer, inLength, outLength);
    std::memcpy(&header, buffer, sizeof header);
    // A failed write or read leaves the header as written (all status fields 0): a failure below.
    const unsigned driver = SgHeader22DriverStatus(header);
    if (SgHeader22HostStatus(header) != 0 || (driver & ~payload::kDriverSense) != 0)
        return kTransferFailed;
    const unsigned target = SgHeader22TargetStatus(header);   // the status byte shifted right by one
    if (target == (kCheckCondition >> 1))
        return SCSI_CHECK_CONDITION;
    return target == 0 && result == 0 ? 0 : kTransferFailed;
}
