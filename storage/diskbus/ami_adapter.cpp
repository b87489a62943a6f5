#include "ami_adapter.h"

#include "megaraid_requests.h"

#include <kernel_release.h>
#include <megaraid_node_codec.h>
#include <megaraid_payload.h>
#include <sandbox_path.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
int firstMegaRaid = -1;

const qv::devsock::megaraid::NodeCodec& megaraidCodec() {
    static const qv::devsock::megaraid::NodeCodec codec;
    return codec;
}

constexpr unsigned kProcLine = 128;
constexpr unsigned kLargestCdb = 16;
constexpr uint8_t kFormatUnit = 0x04;
constexpr uint8_t kWriteBuffer = 0x3B;

// The generic node of the RAID controller on a 2.2 kernel: counting the "host" lines of
// /proc/scsi/scsi from -1 up to the first line naming the controller.
bool controllerNode22(char* path, size_t size) {
    FILE* f = std::fopen(qv::sandboxPath("/proc/scsi/scsi").c_str(), "r");
    if (f == nullptr)
        return false;
    char line[kProcLine + 1];
    int count = -1;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        if (strncasecmp(line, "host", 4) == 0)
            ++count;
        found = std::strstr(line, "MegaRAID") != nullptr;
    }
    std::fclose(f);
    if (!found || count < 0)
        return false;
    std::snprintf(path, size, "/dev/sg%d", count);
    return true;
}

uint8_t timeoutClass(uint8_t opcode, bool toDevice) {
    if (!toDevice && opcode == kFormatUnit)
        return 3;
    if (toDevice && opcode == kWriteBuffer)
        return 2;
    return 0;
}
} // namespace

uint32_t CAMIScsiAdapter::cbSRB = megaraid::kLongHeader;

uint32_t MegaRaidIoctl(CDriverIFace& device, uint8_t* buffer, uint32_t size, bool shortForm, int32_t* result) {
    namespace payload = qv::devsock::megaraid;
    qv::devsock::ChannelRequest request;
    request.code = shortForm ? payload::kShortForm : payload::kManagement;
    request.dataOut.assign(buffer, buffer + size);
    request.dataInCapacity = size;
    request.statusLength = payload::kStatusBytes;
    qv::devsock::ChannelReply reply;
    if (uint32_t error = device.Exchange(request, reply); error != 0)
        return error;
    if (reply.status.size() != payload::kStatusBytes)
        return EIO;
    std::memcpy(result, reply.status.data(), sizeof *result);
    if (!reply.dataIn.empty())
        std::memcpy(buffer, reply.dataIn.data(), std::min<size_t>(reply.dataIn.size(), size));
    return 0;
}

CAMIScsiAdapter::CAMIScsiAdapter(unsigned adapterNumber, unsigned transferSize)
    : CScsiAdapter(adapterNumber, transferSize, megaraidCodec()), fKernel22(qv::isKernel22()) {
    nTargetsMax = kTargetsPerChannel;
    cbSRB = fKernel22 ? megaraid::kShortCommandHeader : megaraid::kLongHeader;
    if (firstMegaRaid < 0)
        firstMegaRaid = static_cast<int>(adapterNumber);
    idAdapterNos = adapterNumber - static_cast<unsigned>(firstMegaRaid);
}

CAMIScsiAdapter::~CAMIScsiAdapter() { CloseAdapter(); }

void CAMIScsiAdapter::ResetFirstAdapterForTests() { firstMegaRaid = -1; }

uint32_t CAMIScsiAdapter::OpenAdapter() {
    if (adapter.IsOpen())
        return 0;
    char path[32];
    if (fKernel22) {
        if (!controllerNode22(path, sizeof path))
            return ERR_ADAPTER_NOT_FOUND;
    } else {
        std::snprintf(path, sizeof path, "%s", qv::devsock::megaraid::kDevicePath);
    }
    if (uint32_t error = adapter.Open(path, kDriverOpenReadWrite); error != 0)
        return error;
    GetChannelTargets(nullptr);
    return 0;
}

uint32_t CAMIScsiAdapter::CloseAdapter() { return adapter.Close(); }

uint8_t* CAMIScsiAdapter::GetpDataRet(bool allocate) { return DataArea(cbSRB, allocate); }

bool CAMIScsiAdapter::GetSenseData(sdType* sense) {
    if (fKernel22 || sdBuffer.pb == nullptr || sense == nullptr)
        return false;
    *sense = {sdBuffer.pb + offsetof(megaraid::LongRequest, sense),
              sdBuffer.pb[offsetof(megaraid::LongRequest, senseLength)]};
    return true;
}

uint32_t CAMIScsiAdapter::IssueDriveCmd(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength) {
    return PassThrough(channel, target, cdb, cdbLength, false);
}

uint32_t CAMIScsiAdapter::SendDriveData(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength) {
    return PassThrough(channel, target, cdb, cdbLength, true);
}

uint32_t CAMIScsiAdapter::PassThrough(unsigned channel, unsigned target, const uint8_t* cdb, unsigned cdbLength,
                                      bool toDevice) {
    uint32_t length;
    if (uint32_t refused = CheckedTransferLength(cdb, cdbLength, &length); refused != 0)
        return refused;
    uint8_t* data = GetpDataRet(!toDevice);
    if (data == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    uint8_t* buffer = sdBuffer.pb;
    const uint8_t flags = static_cast<uint8_t>(timeoutClass(cdb[0], toDevice) | megaraid::kAutoSenseFlag);
    uint32_t result;
    if (!fKernel22) {
        // The request's CDB field holds 10 bytes: a longer command cannot be described.
        if (cdbLength == 0 || cdbLength > sizeof megaraid::LongRequest::cdb)
            return ERR_INVALID_PARAMETER;
        megaraid::LongRequest rq{};
        rq.inLength = toDevice ? cdbLength + length : 0;
        rq.outLength = toDevice ? 4095 : length;
        rq.opcode = megaraid::kOpcodePassThrough;
        rq.adapterCode = static_cast<uint16_t>(megaraid::kIoctlManagement | idAdapterNos);
        rq.mailbox[0] = megaraid::kMailboxPassThrough;
        rq.mailbox[1] = megaraid::kPassThroughMarker;
        rq.timeoutFlags = flags;
        rq.channel = static_cast<uint8_t>(channel);
        rq.target = static_cast<uint8_t>(target);
        std::memcpy(rq.cdb, cdb, cdbLength);
        rq.cdbLength = static_cast<uint8_t>(cdbLength);
        rq.senseLength = megaraid::kSenseLength;
        rq.passDataLength = length;
        std::memcpy(buffer, &rq, sizeof rq);
        int32_t ignored;
        result = MegaRaidIoctl(adapter, buffer, megaraid::kLongHeader + sdBuffer.cb, false, &ignored);
        if (result == 0)
            result = buffer[offsetof(megaraid::LongRequest, scsiStatus)];
    } else {
        namespace sf = megaraid::shortform;
        if (cdbLength == 0 || cdbLength > kLargestCdb)
            return ERR_INVALID_PARAMETER;
        const unsigned tail = sf::kCdb + cdbLength;   // flags, LUN, channel, target
        if (toDevice)
            std::memmove(buffer + tail + 4, data, length);
        std::memset(buffer, 0, tail + 4);
        const uint32_t inLength = cdbLength + 7 + (toDevice ? length : 0);
        std::memcpy(buffer + sf::kInLength, &inLength, 4);
        std::memcpy(buffer + sf::kOutLength, &sf::kOutLengthValue, 4);
        buffer[sf::kOpcode] = megaraid::kOpcodePassThrough;
        buffer[sf::kMailbox0] = megaraid::kMailboxPassThrough;
        buffer[sf::kMailbox1] = megaraid::kPassThroughMarker;
        buffer[sf::kCdbLength] = static_cast<uint8_t>(cdbLength);
        std::memcpy(buffer + sf::kCdb, cdb, cdbLength);
        buffer[tail] = flags;
        buffer[tail + 1] = 0;
        buffer[tail + 2] = static_cast<uint8_t>(channel);
        buffer[tail + 3] = static_cast<uint8_t>(target);
        int32_t answer = 0;
        result = MegaRaidIoctl(adapter, buffer, cbSRBMax + sdBuffer.cb, true, &answer);
        if (result == 0)
            result = static_cast<uint32_t>(answer);
    }
    return result == megaraid::kStatusNoDevice ? SCSI_NO_DEVICE : result;
}
