#include "fake_adapters.h"

#include <algorithm>
#include <cstring>

#include "diskbus_types.h"
#include "scsi_units.h"

namespace {

std::vector<FakeAdapter> g_adapters;

int fakeCount(int* adapters, int*)
{
    *adapters = static_cast<int>(g_adapters.size());
    return 0;
}

int fakeAdapter(int i, unsigned level, HBAInfoType* info)
{
    if (level != 2) return 1;
    const FakeAdapter& fake = g_adapters.at(static_cast<size_t>(i));
    *info = HBAInfoType{};
    info->idClass = fake.idClass;
    info->idBoard = fake.idBoard;
    std::strcpy(info->szBrand, "Brand");
    std::strcpy(info->szProduct, "Product");
    std::memcpy(info->szBIOSVersion, fake.bios.data(), std::min(fake.bios.size(), sizeof info->szBIOSVersion));
    return 0;
}

} // namespace

void installFakeAdapters(const std::vector<FakeAdapter>& adapters)
{
    g_adapters = adapters;
    revinfo::scsiUnits() = {fakeCount, fakeAdapter};
}

void restoreScsiUnits() { revinfo::scsiUnits() = revinfo::productionScsiUnits(); }
