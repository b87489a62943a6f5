#include "drive_commands.h"
#include "library_boundary.h"

#include "diskbus_clock.h"
#include "drive_id.h"
#include "scsi_adapter.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

constexpr unsigned kLogPageBytes = 511;
constexpr uint32_t kFirmwareChunk = 32768;
constexpr unsigned kReadyTries = 41;
constexpr uint32_t kQuietFailure = 244;

std::function<void(std::chrono::milliseconds)>& sleeper() {
    static std::function<void(std::chrono::milliseconds)> sleep;
    return sleep;
}

uint32_t issue(CScsiAdapter& adapter, unsigned channel, unsigned target, const uint8_t* cdb, unsigned length) {
    return adapter.IssueDriveCmd(channel, target, cdb, length);
}

} // namespace

void DiskbusSleep(std::chrono::milliseconds duration) {
    if (sleeper())
        sleeper()(duration);
    else
        std::this_thread::sleep_for(duration);
}

void SetDiskbusSleepForTests(std::function<void(std::chrono::milliseconds)> sleep) { sleeper() = std::move(sleep); }

std::atomic<int>& ExerciseFlag() {
    static std::atomic<int> flag{0};
    return flag;
}

uint32_t PingDrive(CScsiAdapter& adapter, unsigned channel, unsigned target) {
    return InquireTarget(adapter, channel, target);
}

uint32_t TestUnitReady(CScsiAdapter& adapter, unsigned channel, unsigned target) {
    uint32_t status = issue(adapter, channel, target, CScsiAdapter::CDBTestUnit, 6);
    if (status == SCSI_CHECK_CONDITION)
        status = issue(adapter, channel, target, CScsiAdapter::CDBTestUnit, 6);
    return status;
}

uint32_t RequestSenseData(CScsiAdapter& adapter, unsigned channel, unsigned target) {
    return issue(adapter, channel, target, CScsiAdapter::CDBRequestSense, 6);
}

uint32_t GetDriveCapacity(CScsiAdapter& adapter, unsigned channel, unsigned target, unsigned long* lastBlock) {
    if (adapter.GetpDataRet(true) == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    const uint32_t status = issue(adapter, channel, target, CScsiAdapter::CDBGetCapacity, 10);
    if (status != 0)
        return status;
    const uint8_t* d = adapter.GetpDataRet(false);
    *lastBlock = (uint32_t(d[0]) << 24) | (uint32_t(d[1]) << 16) | (uint32_t(d[2]) << 8) | d[3];
    return 0;
}

uint32_t ReadLogPage(CScsiAdapter& adapter, unsigned channel, unsigned target, unsigned page) {
    uint8_t* data = adapter.GetpDataRet(true);
    if (data == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    std::memset(data, 0, kLogPageBytes);
    const uint8_t cdb[10] = {0x4D, 0x00, uint8_t(0x40 | (page & 0x3F)), 0, 0, 0, 0, kLogPageBytes >> 8,
                             kLogPageBytes & 0xFF, 0};
    return issue(adapter, channel, target, cdb, sizeof cdb);
}

bool LogPageListed(const uint8_t* data, unsigned page) {
    // The page length comes from the drive: never search beyond the bytes fetched.
    const size_t end = std::min<size_t>(((size_t(data[2]) << 8) | data[3]) + 4, kLogPageBytes);
    for (size_t i = 5; i < end; ++i)
        if (data[i] == page)
            return true;
    return false;
}

uint32_t MakeDriveActivity(CScsiAdapter& adapter, unsigned channel, unsigned target) {
    const uint32_t total = adapter.cbTotalIO / 512;
    const uint32_t perCommand = std::min<uint32_t>(total, 4);
    if (adapter.GetpDataRet(true) == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    uint32_t done = 0;
    for (uint8_t nn = 2; done < total && perCommand > 0; ++nn) {
        const uint8_t count = uint8_t(std::min(perCommand, total - done));
        const uint8_t cdb[6] = {0x08, 0x00, nn, 0x04, count, 0x00};
        const uint32_t status = issue(adapter, channel, target, cdb, sizeof cdb);
        if (status != 0)
            return status;
        done += count;
    }
    return 0;
}

uint32_t EnableDriveFormat(CScsiAdapter& adapter, unsigned channel, unsigned target) {
    if (issue(adapter, channel, target, CScsiAdapter::CDBModeSense, 6) != 0)
        return 0;
    uint8_t* d = adapter.GetpDataRet(false);
    if (d == nullptr || d[5] <= 13 || ((d[18] & 0x08) == 0 && (d[19] & 0x04) == 0))
        return 0;
    const uint8_t length = uint8_t(d[0] + 1);
    d[4] &= 0x7F;
    d[18] &= uint8_t(~0x08);
    d[19] &= uint8_t(~0x04);
    d[0] = 0;
    uint8_t cdb[6];
    std::memcpy(cdb, CScsiAdapter::CDBModeSelect, 6);
    cdb[4] = length;
    return adapter.SendDriveData(channel, target, cdb, 6);
}

uint32_t FormatDrive(CScsiAdapter& adapter, unsigned channel, unsigned target) {
    uint32_t status = adapter.OpenPersistentDrive(channel, target);
    const PersistentDriveCloser closer{adapter};
    if (status == 0)
        status = TestUnitReady(adapter, channel, target);
    if (status == 0)
        status = issue(adapter, channel, target, CScsiAdapter::CDBReadBase, 6);
    if (status == 0)
        status = EnableDriveFormat(adapter, channel, target);
    if (status == 0)
        status = issue(adapter, channel, target, CScsiAdapter::CDBFormat, 6);
    return status;
}

uint32_t ExerciseAllTargets(CScsiAdapter& adapter, unsigned channel, uint16_t targets) {
    uint32_t last = 0;
    bool any = false;
    for (unsigned id = 0; id < kTargetsPerChannel; ++id) {
        if (((targets >> id) & 1) == 0 || id == adapter.idInitiator)
            continue;
        const uint32_t status = MakeDriveActivity(adapter, channel, id);
        if (status == 0)
            any = true;
        else
            last = status;
    }
    return any ? 0 : last;
}

uint32_t SendFirmware(CScsiAdapter& adapter, unsigned channel, unsigned target, sdType image, unsigned idMfg) {
    if (adapter.idMfg == kAdapterClassIdeScsi)
        return ERR_DISK_UNKNOWN;
    DiskInfoType row{};
    if (idMfg != 0) {
        GetDfltMfgInfo(int(idMfg), &row);
    } else {
        const uint32_t status = GetDiskMfgInfo(&adapter, channel, target, &row);
        if (status != 0)
            return status;
    }
    if ((row.features & kFwDownload) == 0)
        return ERR_DISK_UNKNOWN;
    const bool chunked = (row.features & (kFwChunkById | kFwChunkByOffset)) != 0;
    const uint32_t chunk = chunked ? kFirmwareChunk : image.cb;
    if (chunk > kIoDataBytes)
        return ERR_DISK_UNKNOWN;
    uint8_t* data = adapter.GetpDataRet(true);
    if (data == nullptr)
        return ERR_RESOURCE_UNAVAILABLE;
    uint32_t sent = 0;
    for (uint32_t n = 0; sent < image.cb; ++n) {
        const uint32_t length = std::min(chunk, image.cb - sent);
        std::memcpy(data, image.pb + sent, length);
        const uint32_t offset = (row.features & kFwChunkByOffset) ? sent : 0;
        const uint8_t cdb[10] = {0x3B,
                                 uint8_t((row.features & kFwMode7) ? 7 : 5),
                                 uint8_t((row.features & kFwChunkById) ? n : 0),
                                 uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset),
                                 uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0};
        const uint32_t status = adapter.SendDriveData(channel, target, cdb, sizeof cdb);
        if (status != 0)
            return status;
        sent += length;
    }
    return 0;
}

uint32_t DownloadFirmware(CScsiAdapter& adapter, unsigned channel, unsigned target, sdType image, unsigned idMfg) {
    uint32_t status = adapter.OpenPersistentDrive(channel, target);
    const PersistentDriveCloser closer{adapter};
    if (status == 0)
        status = TestUnitReady(adapter, channel, target);
    if (status == 0) {
        status = SendFirmware(adapter, channel, target, image, idMfg);
        if (status == 0) {
            DiskbusSleep(std::chrono::seconds(5));
            for (unsigned i = 0; i < kReadyTries; ++i) {
                status = TestUnitReady(adapter, channel, target);
                if (status == 0)
                    break;
                if (i + 1 < kReadyTries)
                    DiskbusSleep(std::chrono::milliseconds(500));
            }
        }
    }
    return status == kQuietFailure ? 0 : status;
}

extern "C" {

uint32_t FormatScsiDrive(CScsiAdapter* adapter, unsigned channel, unsigned target) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        return FormatDrive(*adapter, channel, target);
    });
}

uint32_t FWScsiDownload(CScsiAdapter* adapter, unsigned channel, unsigned target, sdType image, unsigned idMfg) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        return DownloadFirmware(*adapter, channel, target, image, idMfg);
    });
}

uint32_t ExerciseTargets(CScsiAdapter* adapter, unsigned channel, unsigned target, unsigned period) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        CScsiChannel* bus = adapter->Channel(channel);
        if (bus == nullptr)
            return ERR_DEVICE_NOT_FOUND;
        uint16_t disks = bus->GetScsiIDs(true);
        if (target != 255)
            disks = target < kTargetsPerChannel ? uint16_t(disks & (1u << target)) : 0;
        if (disks == 0)
            return 0;
        ExerciseFlag() = 1;
        const time_t end = DiskbusNow() + time_t(period) * 30;
        uint32_t status = 0;
        while (ExerciseFlag() != 0 && DiskbusNow() < end) {
            status = ExerciseAllTargets(*adapter, channel, disks);
            if (status != 0)
                break;
            DiskbusSleep(std::chrono::milliseconds(target == 255 ? 20 : 100));
        }
        ExerciseFlag() = 0;
        return status;
    });
}

void StopActivity() {
    ExerciseFlag() = 0;
    DiskbusSleep(std::chrono::milliseconds(1));
}

} // extern "C"
