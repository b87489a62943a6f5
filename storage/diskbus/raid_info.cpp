#include "raid_info.h"

#include "adapter_list.h"
#include "ami_adapter.h"
#include "diskbus_clock.h"
#include "megaraid_requests.h"
#include "scsi_adapter.h"

#include <kernel_release.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
// The two configuration layouts: logical drive records from byte 4, each with its spans.
struct ConfigLayout {
    unsigned maxDrives;
    unsigned recordSize;
    unsigned maxSpans;
    unsigned spanSize;
    unsigned maxDevices;
    bool packedDevice;   // {reserved, target | channel << 4} rather than {channel, target}
};

constexpr time_t kConfigLifetime = 15;
constexpr uint32_t kDataArea22 = 25600;
constexpr ConfigLayout kConfig8{8, 104, 4, 24, 8, false};
constexpr ConfigLayout kConfig40{40, 584, 8, 72, 32, true};
constexpr unsigned kRecordsOffset = 4;
constexpr unsigned kSpansOffset = 8;

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
} // namespace

// ---- helpers ----

LDState MapLDStatus(uint8_t status) {
    static const LDState map[] = {LDOffLine, LDDegraded, LDOnLine, LDOnLine, LDFailed,
                                  LDRebuild, LDStandby,  LDRebuild, LDOnLine};
    return status < std::size(map) ? map[status] : LDUnknown;
}

const char* ProductName8(uint8_t boardId) {
    switch (boardId) {
    case 'C': case 'W': return "QV Stratavol-3si";
    case 'D': return "Integrated Stratavol I";
    case 'E': return "Integrated Stratavol II";
    case 'F': return "QV Stratavol-1si";
    case 'H': return "QV Stratavol-1/2M";
    default: return "QV Stratavol";
    }
}

uint8_t BoardId8(const uint8_t firmware[4]) {
    for (int i = 0; i < 4; ++i)
        if (firmware[i] >= 'A' && firmware[i] <= 'Z')
            return firmware[i];
    return firmware[0];
}

void FormatRaidVersion(const uint8_t bytes[4], char text[16]) {
    std::snprintf(text, 16, "%c%c.%2.2d.%2.2X", bytes[3], bytes[2], bytes[1], bytes[0]);
}

void AdjustLDSize(LDInfoType* info, unsigned nDisks) {
    if (nDisks == 0)
        return;
    switch (info->iRaidLevel) {
    case 1: case 6: info->nBlocks /= 2; break;
    case 3: case 5: info->nBlocks -= info->nBlocks / nDisks; break;
    default: break;
    }
}

// ---- IRaidInfo ----

IRaidInfo::~IRaidInfo() {
    ReleaseLogicalDrives();
    ReleaseBuffer();
}

uint32_t IRaidInfo::SetAdapter(CScsiAdapter* adapter) {
    pHBA = adapter;
    return RefreshConfig();
}

uint32_t IRaidInfo::GetAdapterVer(char** firmware, char** bios) {
    if (uint32_t status = RefreshConfig(); status != 0)
        return status;
    if (firmware != nullptr)
        *firmware = szFWVer;
    if (bios != nullptr)
        *bios = szBiosVer;
    return 0;
}

uint32_t IRaidInfo::GetLDList(unsigned index, void** disks, unsigned* count) {
    if (index >= nLogicalDrives)
        return ERR_LD_NOT_FOUND;
    if (disks != nullptr)
        *disks = prgLDs[index].rgDisks;
    if (count != nullptr)
        *count = prgLDs[index].nDisks;
    return 0;
}

uint32_t IRaidInfo::GetLDList(SCSIAddressType address, void** disks, unsigned* count) {
    unsigned index;
    if (uint32_t status = FindLogicalDrive(address, &index); status != 0)
        return status;
    return GetLDList(index, disks, count);
}

uint32_t IRaidInfo::GetLDInfo(unsigned index, LDInfoType* info) {
    if (index >= nLogicalDrives)
        return ERR_LD_NOT_FOUND;
    if (info != nullptr)
        *info = prgLDs[index].info;
    return 0;
}

uint32_t IRaidInfo::GetLDInfo(SCSIAddressType address, LDInfoType* info) {
    unsigned index;
    if (uint32_t status = FindLogicalDrive(address, &index); status != 0)
        return status;
    return GetLDInfo(index, info);
}

SCSIAddressType IRaidInfo::GetLDAddr(unsigned index) const {
    if (nLogicalDrives == 0)
        return {0, 0, 0};
    return prgLDs[index % nLogicalDrives].addr;
}

uint32_t IRaidInfo::FindLogicalDrive(SCSIAddressType address, unsigned* index) {
    if (uint32_t status = RefreshConfig(); status != 0)
        return status;
    for (unsigned i = 0; i < nLogicalDrives; ++i)
        if (prgLDs[i].addr == address) {
            *index = i;
            return 0;
        }
    return ERR_LD_NOT_FOUND;
}

uint8_t* IRaidInfo::AllocBuffer() {
    if (sdBuffer.pb == nullptr)
        sdBuffer.pb = static_cast<uint8_t*>(std::calloc(1, sdBuffer.cb));
    return sdBuffer.pb;
}

void IRaidInfo::ReleaseBuffer() {
    std::free(sdBuffer.pb);
    sdBuffer.pb = nullptr;
}

uint32_t IRaidInfo::AllocLogicalDrives(unsigned count) {
    ReleaseLogicalDrives();
    if (count == 0)
        return 0;
    prgLDs = new (std::nothrow) LDConfigType[count];
    if (prgLDs == nullptr)
        return ERR_NO_MEMORY;
    for (unsigned i = 0; i < count; ++i)
        prgLDs[i] = LDConfigType{{kNoRaidLevel, LDOnLine, 0}, 0, {0, 0, 0}, {}};
    nLogicalDrives = nDriveSlots = count;
    return 0;
}

void IRaidInfo::ReleaseLogicalDrives() {
    delete[] prgLDs;
    prgLDs = nullptr;
    nLogicalDrives = nDriveSlots = 0;
}

uint32_t IRaidInfo::AddDiskToList(unsigned index, SCSIAddressType disk) {
    if (index >= nLogicalDrives)
        return ERR_LD_NOT_FOUND;
    LDConfigType& ld = prgLDs[index];
    if (std::find(ld.rgDisks, ld.rgDisks + ld.nDisks, disk) != ld.rgDisks + ld.nDisks)
        return 0;
    if (ld.nDisks < kMaxLDDisks)
        ld.rgDisks[ld.nDisks++] = disk;
    return 0;
}

// ---- CRaidInfo ----

uint32_t CRaidInfo::RefreshConfig() {
    if (prgLDs != nullptr)
        return 0;
    return AllocLogicalDrives(1);
}

uint32_t CRaidInfo::FindLogicalDrive(SCSIAddressType, unsigned* index) {
    if (uint32_t status = RefreshConfig(); status != 0)
        return status;
    *index = 0;
    return 0;
}

// ---- CAMIRaidInfo ----

uint32_t CAMIRaidInfo::cbHeader = megaraid::kLongHeader;

CAMIRaidInfo::CAMIRaidInfo() : IRaidInfo(0), fKernel22(qv::isKernel22()) {
    cbHeader = fKernel22 ? megaraid::kShortCommandHeader : megaraid::kLongHeader;
    sdBuffer.cb = cbHeader + (fKernel22 ? kDataArea22 : kIoDataBytes);
}

uint32_t CAMIRaidInfo::Command(uint8_t command, uint8_t parameter, bool hasParameter) {
    if (pHBA == nullptr)
        return ERR_ADAPTER_NOT_FOUND;
    uint8_t* buffer = AllocBuffer();
    if (buffer == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    std::memset(buffer, 0, sdBuffer.cb);
    int32_t result = 0;
    if (!fKernel22) {
        megaraid::LongRequest rq{};
        rq.outLength = 1;
        rq.opcode = megaraid::kOpcodeCommand;
        const auto* controller = dynamic_cast<const CAMIScsiAdapter*>(pHBA);
        rq.adapterCode = static_cast<uint16_t>(megaraid::kIoctlManagement | (controller ? controller->idAdapterNos : 0));
        rq.dataLength = sdBuffer.cb - megaraid::kLongHeader;
        rq.mailbox[0] = command;
        if (hasParameter)
            rq.mailbox[2] = parameter;
        std::memcpy(buffer, &rq, sizeof rq);
        if (uint32_t error = MegaRaidIoctl(pHBA->adapter, buffer, sdBuffer.cb, false, &result); error != 0)
            return error;
        return buffer[offsetof(megaraid::LongRequest, commandStatus)];
    }
    megaraid::ShortCommand rq{};
    rq.inLength = 6;
    rq.outLength = megaraid::shortform::kOutLengthValue;
    rq.opcode = megaraid::kOpcodePassThrough;
    rq.command = command;
    rq.parameter = hasParameter ? parameter : 0;
    std::memcpy(buffer, &rq, sizeof rq);
    if (uint32_t error = MegaRaidIoctl(pHBA->adapter, buffer, sdBuffer.cb, true, &result); error != 0)
        return error;
    return static_cast<uint32_t>(result);
}

uint32_t CAMIRaidInfo::GetCardInfo() {
    uint32_t status = 0;
    uint8_t firmware[4] = {}, bios[4] = {};
    bool known = false;
    if (card != LD8Capable) {
        status = Command(megaraid::kCmdExtended, megaraid::kParamProductInfo, true);
        if (status == 0) {
            const uint8_t* d = Data();
            sDramInMB = le16(d + 128);
            pHBA->idBoard = le16(d + 130);
            char name[81] = {};
            std::memcpy(name, d + 40, 80);
            pHBA->SetProductDesc(name);
            card = LD40Capable;
            std::memcpy(firmware, d + 8, 4);
            std::memcpy(bios, d + 24, 4);
            known = true;
        }
    }
    if (card != LD40Capable) {
        status = Command(megaraid::kCmdEnquiry8, 0, false);
        if (status == 0) {
            const uint8_t* d = Data();
            sDramInMB = d[11];
            std::memcpy(firmware, d + 4, 4);
            pHBA->idBoard = BoardId8(firmware);
            pHBA->SetProductDesc(ProductName8(static_cast<uint8_t>(pHBA->idBoard)));
            card = LD8Capable;
            std::memcpy(bios, d + 13, 4);
            known = true;
        }
    }
    if (known) {
        FormatRaidVersion(bios, szBiosVer);
        FormatRaidVersion(firmware, szFWVer);
    }
    return status;
}

uint32_t CAMIRaidInfo::RefreshConfig() {
    const time_t now = DiskbusNow();
    if (now > kConfigLifetime && now - timeLast <= kConfigLifetime - 1)
        return 0;
    if (pHBA == nullptr)
        return ERR_ADAPTER_NOT_FOUND;
    if (card == unknown)
        if (uint32_t status = GetCardInfo(); status != 0)
            return status;
    const uint32_t status = card == LD40Capable ? Command(megaraid::kCmdExtended, megaraid::kParamConfig40, true)
                                 : Command(megaraid::kCmdConfig8, 0, false);
    if (status != 0)
        return status;
    if (uint32_t failed = ReadConfigReply(); failed != 0)
        return failed;
    timeLast = now;
    return 0;
}

uint32_t CAMIRaidInfo::ReadConfigReply() {
    const uint8_t* data = Data();
    if (data == nullptr || pHBA == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    const ConfigLayout& layout = card == LD40Capable ? kConfig40 : kConfig8;
    // The controller's count indexes records: never past the layout's.
    const unsigned count = std::min<unsigned>(data[0], layout.maxDrives);
    if (uint32_t failed = AllocLogicalDrives(count); failed != 0)
        return failed;
    const uint8_t host = static_cast<uint8_t>(pHBA->idAdapter);
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t* record = data + kRecordsOffset + i * layout.recordSize;
        LDConfigType& ld = prgLDs[i];
        ld.info.iRaidLevel = record[1];
        ld.info.status = MapLDStatus(record[4]);
        ld.info.nBlocks = 0;
        if (!GetPhysDiskAddr(i, host, &ld.addr))
            ld.addr = {static_cast<uint8_t>(i), 0, host};
        const unsigned spans = std::min<unsigned>(record[0], layout.maxSpans);
        const unsigned stripes = std::min<unsigned>(record[7], layout.maxDevices);
        for (unsigned j = 0; j < spans; ++j) {
            const uint8_t* span = record + kSpansOffset + j * layout.spanSize;
            ld.info.nBlocks += le32(span + 4) * stripes;
            for (unsigned k = 0; k < stripes; ++k) {
                const uint8_t* device = span + 8 + 2 * k;
                const SCSIAddressType disk =
                    layout.packedDevice
                        ? SCSIAddressType{static_cast<uint8_t>(device[1] & 0x0F), static_cast<uint8_t>(device[1] >> 4), host}
                        : SCSIAddressType{device[1], device[0], host};
                AddDiskToList(i, disk);
            }
        }
        AdjustLDSize(&ld.info, ld.nDisks);
    }
    return 0;
}
