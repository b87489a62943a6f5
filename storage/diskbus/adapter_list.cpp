#include "adapter_list.h"
#include "library_boundary.h"

#include "ami_adapter.h"
#include "diskbus_clock.h"
#include "linux_adapter.h"
#include "raid_query.h"
#include "scsi_adapter.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

namespace {
struct AdapterList {
    uint32_t nAdapters = 0;
    std::unique_ptr<CScsiAdapter> adapters[kMaxAdapters];
};

AdapterList& adapterList() {
    static AdapterList list;
    return list;
}

std::unique_ptr<CScsiMfg>& mfgObject() {
    static std::unique_ptr<CScsiMfg> mfg;
    return mfg;
}

std::unique_ptr<CGenericDeviceList>& deviceListObject() {
    static std::unique_ptr<CGenericDeviceList> list;
    return list;
}

bool mapsToItself(unsigned adapterClass) {
    return adapterClass == kAdapterClassNone || adapterClass == kAdapterClassScsi || adapterClass == kAdapterClassIdeScsi;
}

std::unique_ptr<CScsiAdapter> createAdapter(unsigned host, uint32_t adapterClass) {
    switch (adapterClass) {
    case kAdapterClassNone:
        return std::unique_ptr<CScsiAdapter>(new (std::nothrow) CScsiAdapter(host, kListTransferSize));
    case kAdapterClassMegaRaid:
        return std::unique_ptr<CScsiAdapter>(new (std::nothrow) CAMIScsiAdapter(host, kListTransferSize));
    default:
        return std::unique_ptr<CScsiAdapter>(new (std::nothrow) CLinuxScsiAdapter(host, kListTransferSize));
    }
}
} // namespace

CScsiMfg& ScsiMfg() {
    auto& mfg = mfgObject();
    if (!mfg)
        mfg = std::make_unique<CScsiMfg>();
    return *mfg;
}

CGenericDeviceList& GenericDeviceList() {
    auto& list = deviceListObject();
    if (!list) {
        list = std::make_unique<CGenericDeviceList>();
        list->now = DiskbusNow;
    }
    return *list;
}

bool GetPhysDiskAddr(unsigned index, unsigned host, SCSIAddressType* address) {
    return qv::catchAtBoundary(false, [&] {
        return GenericDeviceList().GetPhysDiskAddr(index, host, address);
    });
}

uint32_t BuildAdapterList() {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        AdapterList& list = adapterList();
        if (list.nAdapters != 0)
            return 0;
        CScsiMfg& mfg = ScsiMfg();
        if (uint32_t status = mfg.DetermineMfgs(); status != 0)
            return status;
        const unsigned count = std::min<unsigned>(mfg.nAdapters, kMaxAdapters);
        for (unsigned host = 0; host < count; ++host) {
            MfgType type;
            const uint32_t adapterClass = mfg.GetAdapterMfg(host, &type) ? type.id : kAdapterClassNone;
            // An adapter whose construction ran out of memory is one that could not be created.
            auto adapter = qv::catchAtBoundary(nullptr, [&] { return createAdapter(host, adapterClass); });
            if (!adapter) {
                ReleaseAdapterList();
                return ERR_RESOURCE_UNAVAILABLE;
            }
            list.adapters[host] = std::move(adapter);
            list.nAdapters = host + 1;
        }
        return 0;
    });
}

uint32_t ReleaseAdapterList() {
    // The RAID objects point at adapters: they go first, never left pointing at freed ones.
    ReleaseDACList();
    AdapterList& list = adapterList();
    for (auto& adapter : list.adapters)
        adapter.reset();
    list.nAdapters = 0;
    return 0;
}

unsigned GetNumberOfAdapters() { return adapterList().nAdapters; }

bool GetAdapterId(unsigned adapterClass, unsigned number, int* slot) {
    const AdapterList& list = adapterList();
    int found = -1;
    if (mapsToItself(adapterClass)) {
        found = static_cast<int>(number);
    } else {
        unsigned seen = 0;
        for (unsigned i = 0; i < list.nAdapters; ++i)
            if (list.adapters[i] && list.adapters[i]->idMfg == adapterClass && seen++ == number) {
                found = static_cast<int>(i);
                break;
            }
    }
    if (found < 0 || static_cast<unsigned>(found) >= list.nAdapters)
        return false;
    if (slot != nullptr)
        *slot = found;
    return true;
}

bool GetAdapterNo(unsigned adapterClass, unsigned slot, int* number) {
    const AdapterList& list = adapterList();
    if (slot >= list.nAdapters || !list.adapters[slot] || list.adapters[slot]->idMfg != adapterClass)
        return false;
    int n = static_cast<int>(slot);
    if (!mapsToItself(adapterClass)) {
        n = -1;
        for (unsigned i = 0; i <= slot; ++i)
            if (list.adapters[i] && list.adapters[i]->idMfg == adapterClass)
                ++n;
    }
    if (number != nullptr)
        *number = n;
    return true;
}

CScsiAdapter* FindAdapter(unsigned adapterClass, unsigned number) {
    return qv::catchAtBoundary(nullptr, [&]() -> CScsiAdapter* {
        int slot;
        if (!GetAdapterId(adapterClass, number, &slot))
            return nullptr;
        CScsiAdapter* adapter = adapterList().adapters[slot].get();
        if (adapter != nullptr)
            adapter->OpenAdapter();
        return adapter;
    });
}

unsigned CountTargets(uint16_t mask) { return static_cast<unsigned>(__builtin_popcount(mask)); }

unsigned CountAdapterTargets(unsigned number) {
    return qv::catchAtBoundary(0u, [&]() -> unsigned {
        const AdapterList& list = adapterList();
        if (number >= list.nAdapters || !list.adapters[number])
            return 0;
        CScsiAdapter& adapter = *list.adapters[number];
        const bool wasOpen = adapter.adapter.IsOpen();
        if (wasOpen)
            adapter.GetChannelTargets(nullptr);
        else if (adapter.OpenAdapter() != 0)
            return 0;
        unsigned sum = 0;
        for (unsigned i = 0; i < adapter.nChannels; ++i)
            sum += adapter.Channel(i)->nTargets;
        if (!wasOpen)
            adapter.CloseAdapter();
        return sum;
    });
}

uint32_t CountAllSystemTargets(int* sum) {
    if (uint32_t status = BuildAdapterList(); status != 0)
        return status;
    int total = 0;
    for (unsigned i = 0; i < GetNumberOfAdapters(); ++i)
        total += static_cast<int>(CountAdapterTargets(i));
    if (sum != nullptr)
        *sum = total;
    return 0;
}

bool GetAdapterDriver(unsigned number, char* path, unsigned length) {
    return ScsiMfg().GetAdapterDriver(number, path, length);
}

uint32_t AllocLibMem(size_t size, sdType* buffer) {
    if (buffer == nullptr)
        return ERR_INVALID_PARAMETER;
    void* p = std::malloc(size);
    if (p == nullptr)
        return ERR_NO_MEMORY;
    buffer->pb = static_cast<uint8_t*>(p);
    return 0;
}

uint32_t FreeLibMem(void* p) {
    if (p == nullptr)
        return ERR_INVALID_PARAMETER;
    std::free(p);
    return 0;
}

uint32_t AssertLibContext(uint32_t x) { return x; }

void ResetDiskbusStateForTests() {
    ReleaseAdapterList();
    mfgObject().reset();
    deviceListObject().reset();
    CAMIScsiAdapter::ResetFirstAdapterForTests();
}
