// The exported inventory: the target list and the logical drive list with their 30-second rules,
// adapter records, adapter numbering, and the library's end.
#include "qvdiskbus.h"
#include "library_boundary.h"

#include "adapter_list.h"
#include "diskbus_clock.h"
#include "drive_commands.h"
#include "drive_id.h"
#include "raid_query.h"
#include "scsi_adapter.h"
#include "scsi_lookup.h"
#include "volume_map.h"

#include <kernel_release.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr time_t kListAge = 30;

struct TargetRecord {
    DriveInfoType info{};
    time_t refreshed = 0;
    bool fresh = false;
};

struct LogicalRecord {
    LogDriveInfoType info{};
    time_t refreshed = 0;
    bool fresh = false;
};

struct Lists {
    std::vector<TargetRecord> targets;
    time_t discovered = 0;
    bool discoveredOnce = false;
    std::vector<LogicalRecord> logical;
    time_t logicalDiscovered = 0;
    bool logicalOnce = false;
};

Lists& lists() {
    static Lists l;
    return l;
}

bool old(bool fresh, time_t at) { return !fresh || DiskbusNow() - at >= kListAge; }

// Copies `width` INQUIRY bytes as text: NULs become blanks, a NUL follows.
void inquiryText(char* to, const uint8_t* from, size_t width) {
    for (size_t i = 0; i < width; ++i)
        to[i] = from[i] == 0 ? ' ' : char(from[i]);
    to[width] = '\0';
}

uint32_t refreshTarget(TargetRecord& record) {
    if (!old(record.fresh, record.refreshed))
        return 0;
    const SCSIAddressType addr = record.info.addr;
    CScsiAdapter* adapter = nullptr;
    if (LookupListedAdapter(addr.idAdapter, &adapter) != 0)
        return ERR_ADAPTER_NOT_FOUND;
    DiskInfoType row{};
    const uint32_t status = GetDiskMfgInfo(adapter, addr.idChannel, addr.idTarget, &row);
    if (status != 0 && status != ERR_DISK_UNKNOWN)
        return status;
    uint8_t inquiry[kInquiryBytes];
    std::memcpy(inquiry, adapter->GetpDataRet(false), sizeof inquiry);
    DiskDetailsType& disk = record.info.disk;
    disk = DiskDetailsType{};
    disk.deviceType = inquiry[0] & 0x1F;
    disk.idVendor = row.idMfg;
    std::memcpy(disk.szFWRev, row.pszFW, std::min<size_t>(4, std::strlen(row.pszFW)));
    inquiryText(disk.szProductID, inquiry + 8, 24);
    if (disk.deviceType != 0) {
        if (disk.deviceType == 5)
            disk.maskVolumes = GetDrivesMask(addr);
        disk.iRaidLevel = kNoRaidLevel;
    } else {
        sdType serial{};
        LocateSerialNumber(inquiry, row.idMfg, &serial);
        inquiryText(disk.szSerialNum, serial.pb, serial.cb);
        disk.maskVolumes = GetDrivesMask(addr);
        unsigned long last = 0;
        if (GetDriveCapacity(*adapter, addr.idChannel, addr.idTarget, &last) == 0)
            disk.sDriveInMB = uint32_t(last >> 11);
        int level = kNoRaidLevel;
        disk.iRaidLevel = GetDiskRaidLevel(addr, &level) == 0 ? level : kNoRaidLevel;
        int state = 0;
        disk.iRaidState = GetDiskRaidStatus(addr, &state) == 0 ? state : 0;
    }
    record.refreshed = DiskbusNow();
    record.fresh = true;
    return 0;
}

uint32_t discoverTargets() {
    Lists& l = lists();
    if (l.discoveredOnce && DiskbusNow() - l.discovered < kListAge)
        return 0;
    if (const uint32_t status = BuildAdapterList(); status != 0)
        return status;
    std::vector<TargetRecord> previous = std::move(l.targets);
    l.targets.clear();
    for (unsigned n = 0; n < ScsiMfg().nAdapters && n < kMaxAdapters; ++n) {
        CScsiAdapter* adapter = nullptr;
        if (LookupListedAdapter(n, &adapter) != 0)
            continue;
        for (unsigned c = 0; c < adapter->nChannels; ++c) {
            CScsiChannel* channel = adapter->Channel(c);
            if (channel == nullptr)
                break;
            channel->DetermineTargets(nullptr);
            const uint16_t mask = channel->GetScsiIDs(false);
            for (unsigned t = 0; t < adapter->nTargetsMax; ++t) {
                if (((mask >> t) & 1) == 0)
                    continue;
                TargetRecord record;
                adapter->GetScsiAddr(&record.info.addr, c, t);
                for (const TargetRecord& p : previous)
                    if (p.info.addr == record.info.addr)
                        record = p;
                if (refreshTarget(record) == 0 || record.fresh)
                    l.targets.push_back(record);
            }
        }
    }
    l.discovered = DiskbusNow();
    l.discoveredOnce = true;
    return 0;
}

uint32_t refreshLogical(LogicalRecord& record) {
    if (!old(record.fresh, record.refreshed))
        return 0;
    LogDriveInfoType info = record.info;
    if (const uint32_t status = GetLDInfo(record.info.addr, &info); status != 0)
        return status;
    record.info = info;
    record.refreshed = DiskbusNow();
    record.fresh = true;
    return 0;
}

uint32_t discoverLogicalDrives() {
    Lists& l = lists();
    if (l.logicalOnce && DiskbusNow() - l.logicalDiscovered < kListAge)
        return 0;
    if (const uint32_t status = BuildAdapterList(); status != 0)
        return status;
    for (unsigned n = 0; n < GetNumberOfAdapters(); ++n) {
        CScsiAdapter* adapter = nullptr;
        if (LookupListedAdapter(n, &adapter) != 0)
            continue;
        if (adapter->idMfg == kAdapterClassNone || adapter->idMfg == kAdapterClassScsi ||
            adapter->idMfg == kAdapterClassIdeScsi)
            continue;
        SCSIAddressType address;
        for (unsigned i = 0; GetPhysDiskAddr(i, n, &address); ++i) {
            const bool listed = std::any_of(l.logical.begin(), l.logical.end(),
                                            [&](const LogicalRecord& r) { return r.info.addr == address; });
            if (listed)
                continue;
            LogicalRecord record;
            record.info.addr = address;
            if (refreshLogical(record) == 0)
                l.logical.push_back(record);
        }
    }
    l.logicalDiscovered = DiskbusNow();
    l.logicalOnce = true;
    return 0;
}

void copyName(char* to, const char* from) {
    std::snprintf(to, 20, "%.19s", from);
}

} // namespace

void ResetScsiListsForTests() { lists() = Lists{}; }

extern "C" {

uint32_t ScsiCountAllUnits(int* adapters, int* drives) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&] {
        const uint32_t status = discoverTargets();
        if (adapters != nullptr)
            *adapters = int(GetNumberOfAdapters());
        if (drives != nullptr)
            *drives = int(lists().targets.size());
        return status;
    });
}

uint32_t ScsiGetAllDrives(DriveInfoType* drives, unsigned max) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        if (const uint32_t status = discoverTargets(); status != 0)
            return status;
        auto& targets = lists().targets;
        for (size_t i = 0; i < targets.size() && i < max; ++i) {
            if (refreshTarget(targets[i]) != 0 && !targets[i].fresh)
                return SCSI_NO_DEVICE;
            drives[i] = targets[i].info;
        }
        return 0;
    });
}

uint32_t ScsiGetDriveDetails(unsigned adapter, unsigned channel, unsigned target, DriveInfoType* drive) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        if (const uint32_t status = discoverTargets(); status != 0)
            return status;
        const SCSIAddressType address{uint8_t(target), uint8_t(channel), uint8_t(adapter)};
        for (TargetRecord& r : lists().targets)
            if (r.info.addr == address) {
                refreshTarget(r);
                *drive = r.info;
                return 0;
            }
        return SCSI_NO_DEVICE;
    });
}

uint32_t ScsiGetAdapterInfo(unsigned adapter, unsigned level, HBAInfoType* info) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        if (level != 1 && level != 2)
            return ERR_INVALID_PARAMETER;
        CScsiAdapter* a = nullptr;
        if (const uint32_t status = LookupAdapter(adapter, &a); status != 0)
            return status;
        const unsigned n = adapter & 0xFF;
        MfgSpecType spec{};
        ScsiMfg().GetAdapterInfo(n, &spec);
        info->nChannels = int32_t(a->nChannels);
        info->idAdapter = int32_t(n);
        info->idClass = int32_t(a->idMfg);
        info->idInitiator = int32_t(a->idInitiator);
        copyName(info->szName, spec.szMfg);
        copyName(info->szBrand, spec.szBrand);
        std::string release;
        std::memset(info->szDriverVersion, 0, sizeof info->szDriverVersion);
        if (qv::kernelRelease(release))
            std::strncpy(info->szDriverVersion, release.c_str(), sizeof info->szDriverVersion - 1);
        char firmware[30] = {}, bios[30] = {};
        std::memset(info->szBIOSVersion, 0, sizeof info->szBIOSVersion);
        if (GetRAIDVersions(n, firmware, sizeof firmware, bios, sizeof bios) == 0)
            std::snprintf(info->szBIOSVersion, sizeof info->szBIOSVersion, "%s", firmware[0] != '\0' ? firmware : bios);
        int raid[2] = {0, 0};
        info->sDramInMB = GetRAIDInfo(n, raid) == 0 ? raid[1] : 0;
        if (level == 1)
            return 0;
        info->idBoard = int32_t(a->idBoard);
        std::memset(info->szProduct, 0, sizeof info->szProduct);
        return a->GetProductDesc({reinterpret_cast<uint8_t*>(info->szProduct), sizeof info->szProduct - 1});
    });
}

uint32_t ScsiGetAdapterDetails(unsigned adapter, HBADescType* info) {
    // Level 1 writes only the fields the shorter record has.
    return ScsiGetAdapterInfo(adapter, 1, reinterpret_cast<HBAInfoType*>(info));
}

uint32_t ScsiGetAllAdapters(HBADescType* adapters, unsigned max) {
    if (const uint32_t status = BuildAdapterList(); status != 0)
        return status;
    for (unsigned i = 0; i < max && i < ScsiMfg().nAdapters; ++i)
        if (const uint32_t status = ScsiGetAdapterDetails(i, &adapters[i]); status != 0)
            return status;
    return 0;
}

uint32_t ScsiCloseAdapter(unsigned adapter) {
    if ((adapter & 0xFF) >= GetNumberOfAdapters())
        return ERR_ADAPTER_NOT_FOUND;
    CScsiAdapter* a = nullptr;
    if (const uint32_t status = LookupListedAdapter(adapter, &a); status != 0)
        return status;
    return a->CloseAdapter();
}

uint32_t ScsiCountLogicalDrives(int* count) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&] {
        const uint32_t status = discoverLogicalDrives();
        if (count != nullptr)
            *count = int(lists().logical.size());
        return status;
    });
}

uint32_t ScsiGetLogDriveInfo(unsigned index, LogDriveInfoType* drive) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        if (const uint32_t status = discoverLogicalDrives(); status != 0)
            return status;
        auto& logical = lists().logical;
        if (index >= logical.size())
            return ERR_INDEX_OUT_OF_RANGE;
        refreshLogical(logical[index]);
        *drive = logical[index].info;
        return 0;
    });
}

uint32_t ScsiMapAdapter(unsigned adapterClass, unsigned number, int* result, int direction) {
    if (const uint32_t status = BuildAdapterList(); status != 0)
        return status;
    if (direction != 1 && direction != 2)
        return ERR_ADAPTER_NOT_FOUND;
    if (result == nullptr)
        return 0;
    const bool ok = direction == 1 ? GetAdapterId(adapterClass, number, result)
                                   : GetAdapterNo(adapterClass, number, result);
    return ok ? 0 : ERR_ADAPTER_NOT_FOUND;
}

uint32_t LibraryShutdown(void) {
    StopActivity();
    ReleaseDACList();
    ReleaseAdapterList();
    return 0;
}

} // extern "C"
