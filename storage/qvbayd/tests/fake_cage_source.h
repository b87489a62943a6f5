// A scripted cage list for the drive-cage service's tests: descriptors, statuses and adapter
// classes set by the test, and a count of the calls the service made.
#pragma once

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "cage_source.h"

namespace baydtest {

struct FakeCageSource final : CageSource {
    ErrorType Discover(unsigned* pnCages) override
    {
        std::lock_guard<std::mutex> g(lock);
        ++discoverCalls;
        if (discoverStatus == 0) *pnCages = static_cast<unsigned>(cages.size());
        return discoverStatus;
    }
    ErrorType GetDesc(unsigned iCage, CageDescType* pDesc) override
    {
        std::lock_guard<std::mutex> g(lock);
        ++descCalls;
        if (auto it = descStatus.find(iCage); it != descStatus.end()) return it->second;
        if (iCage >= cages.size()) return 0x100801;
        *pDesc = cages[iCage];
        return 0;
    }
    ErrorType GetAdapterClass(unsigned idAdapter, int* pidClass) override
    {
        std::lock_guard<std::mutex> g(lock);
        auto it = adapterClass.find(idAdapter);
        if (it == adapterClass.end()) return 0x10001D;
        *pidClass = it->second;
        return 0;
    }

    // A cage of the given type and address; each bay is {target, present}.
    static CageDescType cage(uint16_t addr, uint8_t adapter, uint8_t channel, uint8_t type,
                             std::initializer_list<std::pair<int, int>> bays)
    {
        CageDescType c{};
        std::memset(&c, 0xEE, sizeof c);   // bytes the library leaves undefined
        c.cageAddr = addr;
        c.idAdapter = adapter;
        c.idChannel = channel;
        c.bType = type;
        c.reserved = 0;
        c.nBays = 0;
        for (auto [target, present] : bays) {
            const uint16_t location = c.nBays++;
            c.rgBays[location] = {static_cast<uint8_t>(target), static_cast<uint8_t>(present), location};
        }
        return c;
    }

    std::mutex lock;
    std::vector<CageDescType> cages;
    std::map<unsigned, int> adapterClass;
    std::map<unsigned, ErrorType> descStatus;
    ErrorType discoverStatus = 0;
    std::atomic<int> discoverCalls{0};
    std::atomic<int> descCalls{0};
};

} // namespace baydtest
