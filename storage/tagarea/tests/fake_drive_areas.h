// In-memory drives for the asset-tag area's transport: each address holds 600 bytes; reads can be
// made to fail and writes are counted. The transport calls are defined in fake_drive_areas.cpp.
#pragma once

#include "field_packer.h"

#include <array>
#include <map>
#include <tuple>
#include <vector>

namespace tagtest {

using Area = std::array<Byte, kTagAreaSize>;
using Address = std::tuple<unsigned, unsigned, unsigned>;

struct FakeDrives {
    std::map<Address, Area> areas;
    uint32_t readStatus = 0;   // non-zero: every read fails with it
    int writes = 0;
};

FakeDrives& drives();

// An area holding `bytes` from offset 0, zeros after them.
inline Area areaOf(const std::vector<Byte>& bytes)
{
    Area a{};
    for (size_t i = 0; i < bytes.size() && i < a.size(); ++i) a[i] = bytes[i];
    return a;
}

} // namespace tagtest
