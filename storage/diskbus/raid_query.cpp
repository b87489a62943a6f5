#include "raid_query.h"
#include "library_boundary.h"

#include "adapter_list.h"
#include "raid_info.h"
#include "scsi_adapter.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {
struct DacList {
    uint32_t nDACs = 0;
    std::unique_ptr<IRaidInfo> dacs[kMaxDACs];
};

DacList& dacList() {
    static DacList list;
    return list;
}

uint32_t BuildDACList() {
    DacList& list = dacList();
    if (list.nDACs != 0)
        return 0;
    CScsiMfg& mfg = ScsiMfg();
    if (uint32_t status = mfg.DetermineMfgs(); status != 0)
        return status;
    const unsigned count = std::min<unsigned>(mfg.nAdapters, kMaxDACs);
    for (unsigned n = 0; n < count; ++n) {
        MfgType type;
        const bool raid = mfg.GetAdapterMfg(n, &type) && type.id == kAdapterClassMegaRaid;
        // A RAID object whose construction ran out of memory is one that could not be created.
        IRaidInfo* info = qv::catchAtBoundary(nullptr, [&]() -> IRaidInfo* {
            return raid ? static_cast<IRaidInfo*>(new (std::nothrow) CAMIRaidInfo)
                        : static_cast<IRaidInfo*>(new (std::nothrow) CRaidInfo);
        });
        if (info == nullptr) {
            ReleaseDACList();
            return ERR_RESOURCE_UNAVAILABLE;
        }
        list.dacs[n].reset(info);
        list.nDACs = n + 1;
    }
    return 0;
}

void copyText(char* to, unsigned length, const char* from) {
    if (to == nullptr || length == 0)
        return;
    std::strncpy(to, from, length - 1);
    to[length - 1] = '\0';
}

// The logical drives that list `disk`; `apply` sees each with its member count.
template <typename Visit>
uint32_t forEachDrive(SCSIAddressType disk, Visit visit) {
    uint32_t status;
    IRaidInfo* raid = EstablishRaidAdapter(disk.idAdapter, &status);
    if (raid == nullptr)
        return status;
    if (status = raid->RefreshConfig(); status != 0)
        return status;
    for (unsigned i = 0; i < raid->nLogicalDrives; ++i) {
        const LDConfigType& ld = raid->prgLDs[i];
        const bool listed = std::find(ld.rgDisks, ld.rgDisks + ld.nDisks, disk) != ld.rgDisks + ld.nDisks;
        visit(ld, listed);
    }
    return 0;
}
} // namespace

IRaidInfo* EstablishRaidAdapter(unsigned adapter, uint32_t* status) {
    *status = BuildDACList();
    if (*status != 0)
        return nullptr;
    DacList& list = dacList();
    if (adapter >= list.nDACs || !list.dacs[adapter]) {
        *status = ERR_ADAPTER_NOT_FOUND;
        return nullptr;
    }
    IRaidInfo* raid = list.dacs[adapter].get();
    if (raid->GetAdapter() == nullptr) {
        if (*status = BuildAdapterList(); *status != 0)
            return nullptr;
        CScsiAdapter* hba = FindAdapter(kAdapterClassNone, adapter);
        if (hba == nullptr) {
            *status = ERR_ADAPTER_NOT_FOUND;
            return nullptr;
        }
        if (*status = raid->SetAdapter(hba); *status != 0)
            return nullptr;
    }
    if (*status = raid->GetAdapter()->OpenAdapter(); *status != 0)
        return nullptr;
    return raid;
}

uint32_t ReleaseDACList() {
    DacList& list = dacList();
    for (auto& dac : list.dacs)
        dac.reset();
    list.nDACs = 0;
    return 0;
}

uint32_t GetLDInfo(SCSIAddressType address, LogDriveInfoType* drive) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        uint32_t status;
        IRaidInfo* raid = EstablishRaidAdapter(address.idAdapter, &status);
        if (raid == nullptr)
            return status;
        unsigned index;
        if (status = raid->FindLogicalDrive(address, &index); status != 0)
            return status;
        const LDConfigType& ld = raid->prgLDs[index];
        drive->info = ld.info;
        drive->map.nDisks = std::min<uint8_t>(ld.nDisks, kMaxMapDisks);
        std::copy(ld.rgDisks, ld.rgDisks + drive->map.nDisks, drive->map.rgDisk);
        if (drive->map.nDisks == 0) {
            drive->map.nDisks = 1;
            drive->map.rgDisk[0] = address;
        }
        return 0;
    });
}

uint32_t GetLDDiskList(SCSIAddressType address, unsigned* count, SCSIAddressType* disks) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        uint32_t status;
        unsigned listed = 0;
        void* list = nullptr;
        if (IRaidInfo* raid = EstablishRaidAdapter(address.idAdapter, &status); raid != nullptr)
            status = raid->GetLDList(address, &list, &listed);
        if (status != 0 || listed == 0) {
            *count = 1;
            disks[0] = address;
            return status;
        }
        const auto* members = static_cast<const SCSIAddressType*>(list);
        std::copy(members, members + listed, disks);
        *count = listed;
        return 0;
    });
}

uint32_t GetLDRaidInfo(SCSIAddressType address, int* level) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        uint32_t status;
        LDInfoType info;
        IRaidInfo* raid = EstablishRaidAdapter(address.idAdapter, &status);
        *level = raid != nullptr && raid->GetLDInfo(address, &info) == 0 ? info.iRaidLevel : kNoRaidLevel;
        return 0;
    });
}

uint32_t GetDiskRaidLevel(SCSIAddressType disk, int* level) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        int lowest = kNoRaidLevel;
        const uint32_t status = forEachDrive(disk, [&](const LDConfigType& ld, bool listed) {
            if (listed)
                lowest = std::min(lowest, static_cast<int>(ld.info.iRaidLevel));
        });
        *level = lowest;
        return status;
    });
}

uint32_t GetDiskRaidStatus(SCSIAddressType disk, int* state) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        int highest = LDUnknown;
        const uint32_t status = forEachDrive(disk, [&](const LDConfigType& ld, bool listed) {
            if (ld.info.status != LDUnknown && (listed || ld.nDisks == 0))
                highest = std::max(highest, static_cast<int>(ld.info.status));
        });
        *state = highest;
        return status;
    });
}

uint32_t GetRAIDVersions(unsigned adapter, char* firmware, unsigned firmwareLength, char* bios, unsigned biosLength) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        uint32_t status;
        IRaidInfo* raid = EstablishRaidAdapter(adapter, &status);
        if (raid == nullptr)
            return status;
        char* fw = nullptr;
        char* biosText = nullptr;
        if (status = raid->GetAdapterVer(&fw, &biosText); status != 0)
            return status;
        copyText(firmware, firmwareLength, fw);
        copyText(bios, biosLength, biosText);
        return 0;
    });
}

uint32_t GetRAIDInfo(unsigned adapter, int* info) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        uint32_t status;
        IRaidInfo* raid = EstablishRaidAdapter(adapter, &status);
        if (raid == nullptr)
            return status;
        if (status = raid->RefreshConfig(); status != 0)
            return status;
        info[0] = static_cast<int>(raid->nLogicalDrives);
        info[1] = static_cast<int>(raid->sDramInMB);
        return 0;
    });
}
