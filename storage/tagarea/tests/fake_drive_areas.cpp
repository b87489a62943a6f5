#include "fake_drive_areas.h"
#include "tag_area_transport.h"

#include <algorithm>
#include <cstring>

namespace tagtest {
FakeDrives& drives()
{
    static FakeDrives d;
    return d;
}
} // namespace tagtest

extern "C" uint32_t ScsiReadLogPage32h(unsigned adapter, unsigned channel, unsigned target, void* buffer,
                                       unsigned length)
{
    auto& d = tagtest::drives();
    if (d.readStatus) return d.readStatus;
    const tagtest::Area& area = d.areas[{adapter, channel, target}];
    std::memcpy(buffer, area.data(), std::min<unsigned>(length, kTagAreaSize));
    return 0;
}

extern "C" uint32_t ScsiWriteLogPage32h(unsigned adapter, unsigned channel, unsigned target, const void* data,
                                        unsigned length)
{
    auto& d = tagtest::drives();
    tagtest::Area& area = d.areas[{adapter, channel, target}];
    area.fill(0);
    std::memcpy(area.data(), data, std::min<unsigned>(length, kTagAreaSize));
    ++d.writes;
    return 0;
}
