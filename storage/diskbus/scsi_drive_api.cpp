// The exported per-drive functions: raw commands, drive state, changes to drives, the asset-tag
// area transport and drive self-test.
#include "qvdiskbus.h"
#include "library_boundary.h"

#include "adapter_list.h"
#include "drive_commands.h"
#include "drive_id.h"
#include "drive_readiness.h"
#include "raid_query.h"
#include "scsi_adapter.h"
#include "scsi_lookup.h"
#include "transfer_size.h"
#include "volume_map.h"

#include <kernel_release.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kMaxUserTransfer = 49152;
constexpr unsigned kAreaBytes = 600, kAreaParameter = 200, kAreaReply = 208;
constexpr uint8_t kAreaPage = 0x32, kSelfTestPage = 0x10, kSmartPage = 0x2F, kPredictedFailure = 0x5D;

uint32_t issue(CScsiAdapter& a, unsigned c, unsigned t, const uint8_t* cdb, unsigned n) {
    return a.IssueDriveCmd(c, t, cdb, n);
}

// One command whose reply lands in a data area zeroed over `zeroBytes` first; *data is that area.
uint32_t zeroedCommand(CScsiAdapter& a, unsigned c, unsigned t, const uint8_t* cdb, unsigned n, size_t zeroBytes,
                       uint8_t** data) {
    *data = a.GetpDataRet(true);
    if (*data == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    std::memset(*data, 0, zeroBytes);
    return issue(a, c, t, cdb, n);
}

// Whether the drive's row or its log page 0 offers `page`: 0, PAGE_NOT_SUPPORTED or a status.
uint32_t findPage(CScsiAdapter& a, unsigned c, unsigned t, uint8_t page, uint32_t has, uint32_t hasNot) {
    DiskInfoType row{};
    const uint32_t status = GetDiskMfgInfo(&a, c, t, &row);
    if (status != 0 && status != ERR_DISK_UNKNOWN)
        return status;
    if (row.features & has)
        return 0;
    if (row.features & hasNot)
        return PAGE_NOT_SUPPORTED;
    if (const uint32_t read = ReadLogPage(a, c, t, 0); read != 0)
        return read;
    return LogPageListed(a.GetpDataRet(false), page) ? 0 : PAGE_NOT_SUPPORTED;
}

uint32_t findPage32(CScsiAdapter& a, unsigned c, unsigned t) { return findPage(a, c, t, kAreaPage, kHasPage32, kNoPage32); }
uint32_t findPage10(CScsiAdapter& a, unsigned c, unsigned t) {
    return findPage(a, c, t, kSelfTestPage, kHasSelfTestPage, kNoSelfTestPage);
}

// The whole body of most exported per-drive functions: nothing thrown inside leaves the library.
template <typename F>
uint32_t withAdapter(unsigned number, F&& body, bool build = true) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        CScsiAdapter* adapter = nullptr;
        const uint32_t status = build ? LookupAdapter(number, &adapter) : LookupListedAdapter(number, &adapter);
        return status != 0 ? status : body(*adapter);
    });
}

} // namespace

uint32_t LookupAdapter(unsigned number, CScsiAdapter** adapter) {
    if (const uint32_t status = BuildAdapterList(); status != 0)
        return status;
    return LookupListedAdapter(number, adapter);
}

uint32_t LookupListedAdapter(unsigned number, CScsiAdapter** adapter) {
    number &= 0xFF;
    *adapter = number < GetNumberOfAdapters() ? FindAdapter(kAdapterClassNone, number) : nullptr;
    return *adapter != nullptr ? 0 : ERR_ADAPTER_NOT_FOUND;
}

extern "C" {

uint32_t ReadTattooInfo(CScsiAdapter* a, unsigned c, unsigned t, void* buffer, unsigned length) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        if (const uint32_t status = findPage32(*a, c, t); status != 0)
            return status;
        uint8_t area[kAreaBytes];
        for (uint8_t n = 0; n < kAreaBytes / kAreaParameter; ++n) {
            const uint8_t cdb[10] = {0x4D, 0x00, 0x40 | kAreaPage, 0, 0, 0, n, 0x00, kAreaReply, 0};
            uint8_t* data = nullptr;
            if (const uint32_t status = zeroedCommand(*a, c, t, cdb, sizeof cdb, kAreaReply, &data))
                return status;
            std::memcpy(area + n * kAreaParameter, data + 8, kAreaParameter);
        }
        std::memcpy(buffer, area, std::min(length, kAreaBytes));
        return 0;
    });
}

uint32_t WriteTattooInfo(CScsiAdapter* a, unsigned c, unsigned t, const void* data, unsigned length, unsigned check) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        if (check == 2)
            return PAGE_NOT_SUPPORTED;
        if (check == 0)
            if (const uint32_t status = findPage32(*a, c, t); status != 0)
                return status;
        const auto* bytes = static_cast<const uint8_t*>(data);
        for (uint8_t n = 0; n < kAreaBytes / kAreaParameter; ++n) {
            uint8_t* list = a->GetpDataRet(true);
            if (list == nullptr)
                return ERR_RESOURCE_UNAVAILABLE;
            std::memset(list, 0, kAreaReply);
            const uint8_t header[8] = {kAreaPage, 0x00, 0x00, 0xCC, 0x00, n, 0x01, 0xC8};
            std::memcpy(list, header, sizeof header);
            const unsigned from = n * kAreaParameter;
            if (length > from)
                std::memcpy(list + 8, bytes + from, std::min(length - from, kAreaParameter));
            const uint8_t cdb[10] = {0x4C, 0x01, 0x40, 0, 0, 0, 0, 0x00, kAreaReply, 0};
            if (const uint32_t status = a->SendDriveData(c, t, cdb, sizeof cdb); status != 0)
                return status;
        }
        return 0;
    });
}

bool IsASafeKernelForDST(void) {
    return qv::catchAtBoundary(false, [&] {
        std::string release;
        int major = 0, minor = 0;
        if (!qv::kernelRelease(release) || std::sscanf(release.c_str(), "%d.%d", &major, &minor) != 2)
            return false;
        return major == 2 && minor > 3;
    });
}

uint32_t ScsiIssueDeviceCmd(unsigned adapter, unsigned channel, unsigned target, const void* cdb, unsigned cdbLength,
                            void* reply, unsigned replyLength) {
    return withAdapter(adapter, [&](CScsiAdapter& a) {
        const auto* command = static_cast<const uint8_t*>(cdb);
        const uint32_t status = a.IssueDriveCmd(channel & 0xFF, target & 0xFF, command, cdbLength);
        if (status != 0)
            return status;
        const uint32_t implied = GetXFerSize(command, cdbLength);
        const uint32_t n = std::min({replyLength, implied, kMaxUserTransfer, kIoDataBytes});
        if (n > 0 && reply != nullptr)
            std::memcpy(reply, a.GetpDataRet(false), n);
        return uint32_t(0);
    });
}

uint32_t ScsiSendDeviceData(unsigned adapter, unsigned channel, unsigned target, const void* cdb, unsigned cdbLength,
                            const void* data, unsigned dataLength) {
    return withAdapter(adapter, [&](CScsiAdapter& a) -> uint32_t {
        const auto* command = static_cast<const uint8_t*>(cdb);
        const uint32_t n = std::min(dataLength, GetXFerSize(command, cdbLength));
        if (n > kMaxUserTransfer || n > kIoDataBytes)
            return ERR_BUFFER_TOO_SMALL;
        uint8_t* area = a.GetpDataRet(true);
        if (area == nullptr)
            return ERR_RESOURCE_UNAVAILABLE;
        if (n > 0)
            std::memcpy(area, data, n);
        return a.SendDriveData(channel & 0xFF, target & 0xFF, command, cdbLength);
    });
}

uint32_t ScsiDriveReadiness(unsigned adapter, unsigned channel, unsigned target, int* stage) {
    if (stage != nullptr)
        *stage = 0;
    CScsiAdapter* a = nullptr;
    if (const uint32_t status = LookupListedAdapter(adapter, &a); status != 0)
        return status;
    return GetDriveStatus(adapter & 0xFF, channel & 0xFF, target & 0xFF, stage);
}

uint32_t ScsiGetRaidLevel(unsigned adapter, unsigned channel, unsigned target, int* level) {
    return withAdapter(adapter, [&](CScsiAdapter& a) {
        SCSIAddressType address;
        a.GetScsiAddr(&address, channel & 0xFF, target & 0xFF);
        return GetDiskRaidLevel(address, level);
    });
}

uint32_t ScsiGetDrivesMask(unsigned adapter, unsigned channel, unsigned target) {
    return GetDrivesMask({uint8_t(target), uint8_t(channel), uint8_t(adapter)});
}

uint32_t ScsiDecodeDriveMask(unsigned mask, char* text, unsigned length) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        if (text == nullptr || length == 0)
            return 0;
        BuildDriveList();
        // Always terminated within `length`.
        std::string out;
        for (unsigned i = 0; i < kMaxVolumes; ++i)
            if ((mask >> i) & 1)
                if (const char* mount = VolumeMountPoint(i))
                    out.append(mount).append(" ");
        if (!out.empty())
            out.pop_back();
        const size_t n = std::min<size_t>(out.size(), length - 1);
        std::memcpy(text, out.data(), n);
        text[n] = '\0';
        return 0;
    });
}

uint32_t ScsiEncodeDriveLabel(const char* mountPoint) {
    if (mountPoint == nullptr || *mountPoint == '\0')
        return 0;
    const uint32_t index = GetLabelInstance(mountPoint);
    return index < kMaxVolumes ? 1u << index : 0;
}

uint32_t ScsiGetSmartState(unsigned adapter, unsigned channel, unsigned target, int* state) {
    return withAdapter(adapter, [&](CScsiAdapter& a) -> uint32_t {
        const unsigned c = channel & 0xFF, t = target & 0xFF;
        if (const uint32_t status = ReadLogPage(a, c, t, 0); status != 0)
            return status;
        const uint8_t* data = a.GetpDataRet(false);
        const size_t end = std::min<size_t>(((size_t(data[2]) << 8) | data[3]) + 4, 511);
        bool listed = false;
        for (size_t i = 4; i < end && !listed; ++i)
            listed = data[i] == kSmartPage;
        uint8_t asc = 0xFF, ascq = 0xFF;
        if (listed) {
            const uint32_t status = ReadLogPage(a, c, t, kSmartPage);
            data = a.GetpDataRet(false);
            if (status == 0 && ((unsigned(data[2]) << 8) | data[3]) > 5) {
                asc = data[8];
                ascq = data[9];
            } else if (status == SCSI_CHECK_CONDITION) {
                sdType sense{};
                if (a.GetSenseData(&sense) && sense.pb != nullptr && sense.cb > 13 && sense.pb[12] == kPredictedFailure) {
                    asc = kPredictedFailure;
                    ascq = sense.pb[13];
                }
            }
        }
        (void)ascq;
        if (asc == kPredictedFailure)
            *state = 2;
        else if (asc != 0xFF)
            *state = 1;
        else
            a.GetSmartInfo(c, t, state);
        return 0;
    });
}

uint32_t ScsiExerciseTargets(unsigned adapter, unsigned channel, unsigned target, unsigned period) {
    if (period == 0) {
        StopActivity();
        return 0;
    }
    return withAdapter(adapter, [&](CScsiAdapter& a) { return ExerciseTargets(&a, channel & 0xFF, target & 0xFF, period); });
}

uint32_t ScsiFormatDrive(unsigned adapter, unsigned channel, unsigned target) {
    return withAdapter(adapter, [&](CScsiAdapter& a) { return FormatDrive(a, channel & 0xFF, target & 0xFF); });
}

uint32_t ScsiFWDownload(unsigned adapter, unsigned channel, unsigned target, const void* image, unsigned imageLength,
                        unsigned vendor) {
    return withAdapter(adapter, [&](CScsiAdapter& a) {
        const sdType sd{const_cast<uint8_t*>(static_cast<const uint8_t*>(image)), imageLength};
        return DownloadFirmware(a, channel & 0xFF, target & 0xFF, sd, vendor);
    });
}

uint32_t ScsiReadLogPage32h(unsigned adapter, unsigned channel, unsigned target, void* buffer, unsigned length) {
    return withAdapter(adapter, [&](CScsiAdapter& a) { return ReadTattooInfo(&a, channel & 0xFF, target & 0xFF, buffer, length); });
}

uint32_t ScsiWriteLogPage32h(unsigned adapter, unsigned channel, unsigned target, const void* data, unsigned length) {
    return withAdapter(adapter, [&](CScsiAdapter& a) { return WriteTattooInfo(&a, channel & 0xFF, target & 0xFF, data, length, 0); });
}

uint32_t ScsiFindPage32(unsigned adapter, unsigned channel, unsigned target) {
    return withAdapter(adapter, [&](CScsiAdapter& a) { return findPage32(a, channel & 0xFF, target & 0xFF); }, false);
}

uint32_t ScsiFindPage10(unsigned adapter, unsigned channel, unsigned target) {
    return withAdapter(adapter, [&](CScsiAdapter& a) { return findPage10(a, channel & 0xFF, target & 0xFF); }, false);
}

uint32_t ScsiIsDstAvail(unsigned adapter, unsigned channel, unsigned target) {
    return ScsiFindPage10(adapter, channel, target);
}

uint32_t ScsiStartDST(unsigned adapter, unsigned channel, unsigned target, unsigned code) {
    if (!IsASafeKernelForDST())
        return ERR_NOT_SUPPORTED;
    return withAdapter(adapter, [&](CScsiAdapter& a) -> uint32_t {
        if (a.GetpDataRet(true) == nullptr)
            return ERR_RESOURCE_UNAVAILABLE;
        const uint8_t cdb[6] = {0x1D, uint8_t(code << 5), 0, 0, 0, 0};
        return issue(a, channel & 0xFF, target & 0xFF, cdb, sizeof cdb) & ~1u;
    });
}

uint32_t ScsiCheckDSTsense(unsigned adapter, unsigned channel, unsigned target, int* percent) {
    return withAdapter(adapter, [&](CScsiAdapter& a) -> uint32_t {
        uint8_t* data = a.GetpDataRet(true);
        if (data == nullptr)
            return ERR_RESOURCE_UNAVAILABLE;
        std::memset(data, 0, 255);
        const uint32_t status = RequestSenseData(a, channel & 0xFF, target & 0xFF);
        const unsigned progress = (unsigned(data[16]) << 8) | data[17];
        *percent = int(progress * 100 >> 16);
        return status;
    });
}

uint32_t ScsiGetDstResults(unsigned adapter, unsigned channel, unsigned target, unsigned entry, int* result) {
    if (!IsASafeKernelForDST())
        return ERR_NOT_SUPPORTED;
    return withAdapter(adapter, [&](CScsiAdapter& a) -> uint32_t {
        const uint8_t cdb[10] = {0x4D, 0x00, 0x50, 0, 0, 0, 0, 0x01, 0x94, 0};
        uint8_t* data = nullptr;
        if (const uint32_t status = zeroedCommand(a, channel & 0xFF, target & 0xFF, cdb, sizeof cdb, 511, &data))
            return status;
        if (data[0] != 0x10 || data[1] != 0x00 || data[2] != 0x01 || data[3] != 0x90)
            return 0;
        if (entry > 19) {
            *result = 8;
            return 0;
        }
        const uint8_t* e = data + 4 + 20 * entry;
        const unsigned stamp = (unsigned(e[6]) << 8) | e[7];
        if (entry == 0 && stamp == 0 && e[4] == 0)
            *result = 6;
        else if (entry > 0 && stamp == 0)
            *result = 7;
        else
            *result = e[4] & 0x0F;
        return 0;
    });
}

uint32_t ScsiGetCompletionTime(unsigned adapter, unsigned channel, unsigned target, int* seconds) {
    if (!IsASafeKernelForDST())
        return ERR_NOT_SUPPORTED;
    return withAdapter(adapter, [&](CScsiAdapter& a) -> uint32_t {
        const uint8_t cdb[6] = {0x1A, 0x08, 0x8A, 0x00, 0xFF, 0x00};
        uint8_t* data = nullptr;
        if (const uint32_t status = zeroedCommand(a, channel & 0xFF, target & 0xFF, cdb, sizeof cdb, 32, &data))
            return status;
        *seconds = int((unsigned(data[14]) << 8) | data[15]);
        return 0;
    });
}

} // extern "C"
