#include "safte.h"

#include "bayswap_clock.h"
#include "cage_address.h"

#include <qvdiskbus.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr uint8_t kReadBuffer = 0x3C, kWriteBuffer = 0x3B, kInquiry = 0x12;
constexpr uint8_t kModeSafte = 0x01;
constexpr uint8_t kBufferConfiguration = 0, kBufferEnclosureStatus = 1, kBufferSlotStatus = 4;
constexpr uint8_t kActionWriteSlotStatus = 0x10;
constexpr uint64_t kFreshMs = 300, kCurrentMs = 15000;

// A 10-byte CDB: command, options in the low five bits of byte 1 (LUN 0), parameter, 32-bit block
// address big-endian in bytes 3-6, 16-bit transfer length big-endian in bytes 7-8, control.
std::array<uint8_t, 10> CCdb10Buffer(uint8_t command, uint8_t options, uint8_t parameter, uint32_t lba,
                                     uint16_t length)
{
    return {command,           uint8_t(options & 0x1F), parameter, uint8_t(lba >> 24), uint8_t(lba >> 16),
            uint8_t(lba >> 8), uint8_t(lba),            uint8_t(length >> 8), uint8_t(length), 0};
}

} // namespace

extern "C" ErrorType DeviceInquiry(unsigned idAdapter, unsigned idChannel, unsigned idTarget,
                                   SAFteInquiryType* pInquiry)
{
    const uint8_t cdb[6] = {kInquiry, 0, 0, 0, sizeof(SAFteInquiryType), 0};
    std::memset(pInquiry, 0, sizeof *pInquiry);
    return ScsiIssueDeviceCmd(idAdapter, idChannel, idTarget, cdb, sizeof cdb, pInquiry, sizeof *pInquiry);
}

CSAFteController::CSAFteController(SCSIAddressType addr, uint8_t bSAFteType) : bType(bSAFteType)
{
    std::fill(std::begin(rgIdTargets), std::end(rgIdTargets), kSlotIdUnread);
    SetSCSIAddress(addr);
}

CSAFteController::CSAFteController(unsigned idAdapter, unsigned idTarget, uint8_t bSAFteType) : bType(bSAFteType)
{
    std::fill(std::begin(rgIdTargets), std::end(rgIdTargets), kSlotIdUnread);
    if (idTarget != 0) SetSCSIAddress(SCSIAddressType{uint8_t(idTarget), 0, uint8_t(idAdapter)});
}

CSAFteController::~CSAFteController()
{
    if (fAdapterKnown) ScsiCloseAdapter(Addr.idAdapter);
}

void CSAFteController::SetSCSIAddress(SCSIAddressType addr)
{
    Addr = addr;
    fAdapterKnown = 1;
}

bool CSAFteController::FIsSameAddr(SCSIAddressType addr) const { return fAdapterKnown && Addr == addr; }

bool CSAFteController::FIsSameChannel(SCSIAddressType addr) const
{
    return fAdapterKnown && Addr.idAdapter == addr.idAdapter && Addr.idChannel == addr.idChannel;
}

bool CSAFteController::FFindSlot(unsigned idTarget, unsigned* piSlotRet) const
{
    for (unsigned i = 0; i < nSlots; ++i)
        if (rgIdTargets[i] == idTarget) {
            if (piSlotRet) *piSlotRet = i;
            return true;
        }
    return false;
}

bool CSAFteController::FIsTargetPresent(unsigned idTarget)
{
    DeviceStatusType status{};
    return GetDriveStatus(idTarget, &status) == 0 && (status.bInsert & 0x01) != 0;
}

ErrorType CSAFteController::AccessSAFte()
{
    if (!fAdapterKnown) return ERR_ADAPTER_NOT_FOUND;
    ErrorType status = InitSAFte();
    if (status == 0) status = AllocateDataArea();
    if (status != 0) ReleaseSAFte();
    return status;
}

void CSAFteController::ReleaseSAFte()
{
    ReleaseData();
    fAdapterKnown = 0;
}

ErrorType CSAFteController::InitSAFte()
{
    SAFteTestUnitReady();   // absorbs a pending unit attention
    return SAFteTestUnitReady();
}

ErrorType CSAFteController::SAFteTestUnitReady()
{
    const uint8_t cdb[6] = {};
    return ScsiIssueDeviceCmd(Addr.idAdapter, Addr.idChannel, Addr.idTarget, cdb, sizeof cdb, nullptr, 0);
}

ErrorType CSAFteController::AllocateDataArea()
{
    if (const ErrorType status = SAFteReadOperation(kBufferConfiguration, sizeof(EnclosureConfigType)); status != 0)
        return status;
    EnclosureConfigType config{};
    std::memcpy(&config, sdData.data(), sizeof config);
    nSlots = SAFteSlotCount(config);
    nSlotsReported = config.nSlots;
    const size_t statusLength = SAFteStatusLength(config);
    if (const ErrorType status = SAFteReadOperation(kBufferEnclosureStatus, statusLength); status != 0)
        return status;
    SAFteSlotIds(config, sdData.data(), statusLength, rgIdTargets);
    // The slot status of every slot the enclosure reports is read and written back whole.
    const size_t needed = sizeof(DeviceStatusType) * std::max(nSlots, nSlotsReported);
    if (sdData.size() < needed) sdData.assign(needed, 0);
    return 0;
}

ErrorType CSAFteController::SAFteReadOperation(uint8_t bufferId, size_t length)
{
    if (!fAdapterKnown) return ERR_ADAPTER_NOT_FOUND;
    if (length > 0xFFFF) return ERR_INVALID_PARAMETER;
    if (sdData.size() < length) sdData.assign(length, 0);
    const auto cdb = CCdb10Buffer(kReadBuffer, kModeSafte, bufferId, 0, uint16_t(length));
    dataAge.reset();
    return ScsiIssueDeviceCmd(Addr.idAdapter, Addr.idChannel, Addr.idTarget, cdb.data(), cdb.size(), sdData.data(),
                              unsigned(length));
}

ErrorType CSAFteController::SAFteSendOperation(uint8_t action, std::vector<uint8_t>& buffer)
{
    if (!fAdapterKnown) return ERR_ADAPTER_NOT_FOUND;
    buffer[0] = action;
    const auto cdb = CCdb10Buffer(kWriteBuffer, kModeSafte, 0, 0, uint16_t(buffer.size()));
    return ScsiSendDeviceData(Addr.idAdapter, Addr.idChannel, Addr.idTarget, cdb.data(), cdb.size(), buffer.data(),
                              unsigned(buffer.size()));
}

ErrorType CSAFteController::RefreshData(bool fMustBeFresh)
{
    const uint64_t now = BayswapMilliseconds();
    if (dataAge && now - *dataAge < (fMustBeFresh ? kFreshMs : kCurrentMs)) return 0;
    const ErrorType status = SAFteReadOperation(kBufferSlotStatus, sdData.size());
    if (status == 0) dataAge = now;
    return status;
}

ErrorType CSAFteController::GetSlotStatus(unsigned iSlot, DeviceStatusType* pStatusRet)
{
    if (iSlot >= nSlots) return ERR_INDEX_OUT_OF_RANGE;
    if (const ErrorType status = RefreshData(false); status != 0) return status;
    SAFteSlotStatus(sdData.data(), sdData.size(), iSlot, pStatusRet);
    return 0;
}

ErrorType CSAFteController::SetSlotStatus(unsigned iSlot, const DeviceStateType& state)
{
    if (iSlot >= nSlots) return ERR_INDEX_OUT_OF_RANGE;
    if (const ErrorType status = RefreshData(true); status != 0) return status;
    std::memcpy(sdData.data() + iSlot * sizeof(DeviceStatusType), &state, sizeof state);
    return CommitNewStatus();
}

ErrorType CSAFteController::GetDriveStatus(unsigned idTarget, DeviceStatusType* pStatusRet)
{
    unsigned slot = 0;
    if (!FFindSlot(idTarget, &slot)) return ERR_SLOT_NOT_FOUND;
    return GetSlotStatus(slot, pStatusRet);
}

ErrorType CSAFteController::SetDriveStatus(unsigned idTarget, const DeviceStateType& state)
{
    unsigned slot = 0;
    if (!FFindSlot(idTarget, &slot)) return ERR_SLOT_NOT_FOUND;
    return SetSlotStatus(slot, state);
}

ErrorType CSAFteController::CommitNewStatus()
{
    if (!fAdapterKnown) return ERR_ADAPTER_NOT_FOUND;
    const unsigned slots = std::max(nSlots, nSlotsReported);
    std::vector<uint8_t> block(1 + 3 * size_t(slots));
    for (unsigned i = 0; i < slots; ++i)
        std::memcpy(&block[1 + 3 * i], sdData.data() + i * sizeof(DeviceStatusType), sizeof(DeviceStateType));
    const ErrorType status = SAFteSendOperation(kActionWriteSlotStatus, block);
    // A state that did not reach the enclosure must not be read back as its state.
    if (status != 0) dataAge.reset();
    return status;
}

ErrorType CSAFteController::ResetAllDrives(uint8_t bNewStatus)
{
    if (const ErrorType status = RefreshData(true); status != 0) return status;
    const unsigned slots = std::max(nSlots, nSlotsReported);
    for (unsigned i = 0; i < slots; ++i) {
        uint8_t& bStatus = sdData[i * sizeof(DeviceStatusType)];
        if (bNewStatus & (kSlotFaulty | kSlotPredictedFault))
            bStatus &= uint8_t(~kSlotOperational);
        else
            bStatus &= uint8_t(~(kSlotFaulty | kSlotPredictedFault));
        bStatus |= bNewStatus;
    }
    return CommitNewStatus();
}

ErrorType CSAFteController::GetEnclosureInfo(CageDescType* pDesc)
{
    if (const ErrorType status = RefreshData(false); status != 0) return status;
    CageDescType desc{};
    desc.cageAddr = MakeCageAddr(Addr);
    desc.nBays = uint16_t(std::min(nSlots, kCageBaysMax));
    desc.idAdapter = Addr.idAdapter;
    desc.idChannel = Addr.idChannel;
    desc.bType = bType;
    for (unsigned i = 0; i < desc.nBays; ++i) {
        DeviceStatusType status{};
        SAFteSlotStatus(sdData.data(), sdData.size(), i, &status);
        desc.rgBays[i] = BayInfoType{rgIdTargets[i], uint8_t(status.bInsert & 0x01), uint16_t(i)};
    }
    if (pDesc) *pDesc = desc;
    return 0;
}

void CSAFteController::ReleaseData()
{
    std::vector<uint8_t>().swap(sdData);
    dataAge.reset();
}
