#include "scsi_adapter.h"

#include "adapter_list.h"
#include "diskbus_clock.h"
#include "transfer_size.h"

#include <scsi_node_codec.h>

#include <cstdlib>
#include <cstring>

namespace {
const qv::devsock::scsi::NodeCodec& sgCodec() {
    static const qv::devsock::scsi::NodeCodec codec;
    return codec;
}

constexpr time_t kScanLifetime = 30;
constexpr uint32_t kInquiryLength = 240;
constexpr uint8_t kDirectAccess = 0;
} // namespace

const uint8_t CScsiAdapter::CDBReadBase[6] = {0x08, 0x00, 0x03, 0x04, 0x01, 0x00};
const uint8_t CScsiAdapter::CDBPing[6] = {0x12, 0x00, 0x00, 0x00, 0xF0, 0x00};
const uint8_t CScsiAdapter::CDBFormat[6] = {0x04, 0x00, 0x00, 0x00, 0x00, 0x00};
const uint8_t CScsiAdapter::CDBTestUnit[6] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const uint8_t CScsiAdapter::CDBModeSense[6] = {0x1A, 0x08, 0x00, 0x00, 0xFF, 0x00};
const uint8_t CScsiAdapter::CDBModeSelect[6] = {0x15, 0x00, 0x00, 0x00, 0x00, 0x00};
const uint8_t CScsiAdapter::CDBRequestSense[6] = {0x03, 0x00, 0x00, 0x00, 0xFF, 0x00};
const uint8_t CScsiAdapter::CDBGetCapacity[10] = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// ---- channel ----

void CScsiChannel::MarkTarget(unsigned id) {
    if (id >= kTargetsPerChannel || IsTargetPresent(id))
        return;
    maskTargets = static_cast<uint16_t>(maskTargets | (1u << id));
    ++nTargets;
}

void CScsiChannel::MarkDisk(unsigned id) {
    if (id < kTargetsPerChannel)
        maskDisks = static_cast<uint16_t>(maskDisks | (1u << id));
}

uint32_t CScsiChannel::DetermineTargets(uint16_t* newTargets) {
    const time_t now = DiskbusNow();
    if (timestamp != 0 && now - timestamp < kScanLifetime)
        return 0;
    maskPrevious = maskTargets;
    maskTargets = maskDisks = 0;
    nTargets = 0;
    for (unsigned id = 0; id < kTargetsPerChannel; ++id) {
        const uint32_t status = InquireTarget(*pAdapter, iChannel, id);
        if (status == ERR_DEVICE_NOT_FOUND)
            return status;
        if (status != 0)
            continue;
        MarkTarget(id);
        const uint8_t* data = pAdapter->GetpDataRet(false);
        if (data != nullptr && (data[0] & 0x1F) == kDirectAccess)
            MarkDisk(id);
    }
    timestamp = now;
    if (newTargets != nullptr)
        *newTargets = static_cast<uint16_t>(maskTargets & ~maskPrevious);
    return 0;
}

// ---- adapter ----

uint32_t InquireTarget(CScsiAdapter& adapter, unsigned channel, unsigned target) {
    uint8_t* data = adapter.GetpDataRet(true);
    if (data == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    std::memset(data, 0, kInquiryLength);
    const uint32_t status = adapter.IssueDriveCmd(channel, target, CScsiAdapter::CDBPing, sizeof CScsiAdapter::CDBPing);
    if (status != 0)
        return status;
    const bool valid = data[0] != 0 || (data[8] != 0 && data[2] != 0 && data[3] != 0);
    return valid ? 0 : ERR_BAD_INQUIRY;
}

CScsiAdapter::CScsiAdapter(unsigned adapterNumber, unsigned transferSize)
    : CScsiAdapter(adapterNumber, transferSize, sgCodec()) {}

CScsiAdapter::CScsiAdapter(unsigned adapterNumber, unsigned transferSize, const qv::devsock::NodeRequestCodec& codec)
    : adapter(codec), idAdapter(adapterNumber) {
    cbTotalIO = transferSize < 512 ? 512 : (transferSize + 511) / 512 * 512;
    MfgType mfg;
    const bool known = ScsiMfg().GetAdapterMfg(adapterNumber, &mfg);
    SetProductDesc(nullptr);
    SetChannelCount(known ? mfg.nChannels : 0);
    idMfg = known ? mfg.id : kAdapterClassNone;
}

CScsiAdapter::~CScsiAdapter() { DestroyAdapter(); }

void CScsiAdapter::SetChannelCount(unsigned count) {
    if (count > kMaxChannels)
        count = kMaxChannels;
    for (unsigned i = count; i < kMaxChannels; ++i) {
        delete rgpChannels[i];
        rgpChannels[i] = nullptr;
    }
    for (unsigned i = 0; i < count; ++i)
        if (rgpChannels[i] == nullptr)
            rgpChannels[i] = new CScsiChannel(this, i);
    nChannels = count;
}

void CScsiAdapter::DestroyAdapter() {
    adapter.Close();
    std::free(sdBuffer.pb);
    sdBuffer.pb = nullptr;
    SetChannelCount(0);
}

uint32_t CScsiAdapter::OpenAdapter() { return ERR_ADAPTER_NOT_FOUND; }
uint32_t CScsiAdapter::CloseAdapter() { return ERR_ADAPTER_NOT_FOUND; }

uint32_t CScsiAdapter::OpenPersistentDrive(unsigned channel, unsigned target) {
    return InquireTarget(*this, channel, target);
}

uint32_t CScsiAdapter::ClosePersistentDrive() { return 0; }

uint8_t* CScsiAdapter::GetpDataRet(bool allocate) { return DataArea(cbSRBMax, allocate); }

bool CScsiAdapter::GetSenseData(sdType*) { return false; }

uint32_t CScsiAdapter::IssueDriveCmd(unsigned, unsigned, const uint8_t*, unsigned) { return ERR_ADAPTER_NOT_FOUND; }
uint32_t CScsiAdapter::SendDriveData(unsigned, unsigned, const uint8_t*, unsigned) { return ERR_ADAPTER_NOT_FOUND; }

uint32_t CScsiAdapter::GetSmartInfo(unsigned, unsigned, int* state) {
    if (state != nullptr)
        *state = 0;
    return 0;
}

uint8_t* CScsiAdapter::DataArea(uint32_t headerSize, bool allocate) {
    if (sdBuffer.pb == nullptr && allocate)
        sdBuffer.pb = static_cast<uint8_t*>(std::calloc(1, cbSRBMax + sdBuffer.cb));
    return sdBuffer.pb == nullptr ? nullptr : sdBuffer.pb + headerSize;
}

uint32_t CScsiAdapter::CheckedTransferLength(const uint8_t* cdb, unsigned cdbLength, uint32_t* length) {
    *length = GetXFerSize(cdb, cdbLength);
    return *length > kIoDataBytes ? ERR_BUFFER_TOO_SMALL : 0;
}

uint32_t CScsiAdapter::GetChannelTargets(int* any) {
    bool found = false;
    for (unsigned i = 0; i < nChannels; ++i) {
        uint16_t added = 0;
        if (rgpChannels[i]->DetermineTargets(&added) == 0 && added != 0)
            found = true;
    }
    if (any != nullptr && found)
        *any |= 1;
    return 0;
}

void CScsiAdapter::GetScsiAddr(SCSIAddressType* address, unsigned channel, unsigned target) const {
    *address = {static_cast<uint8_t>(target), static_cast<uint8_t>(channel), static_cast<uint8_t>(idAdapter)};
}

uint32_t CScsiAdapter::SetProductDesc(const char* text) {
    if (text == nullptr)
        text = ScsiMfg().GetMfgName(idAdapter);
    std::strncpy(szProduct, text, sizeof szProduct - 1);
    szProduct[sizeof szProduct - 1] = '\0';
    return 0;
}

uint32_t CScsiAdapter::GetProductDesc(sdType dest) {
    if (szProduct[0] == '\0')
        SetProductDesc(nullptr);
    if (dest.pb != nullptr && dest.cb > 0)
        std::strncpy(reinterpret_cast<char*>(dest.pb), szProduct, dest.cb);
    return 0;
}
