#include "fake_drive_areas.h"
#include "diskbus_calls.h"

#include <algorithm>
#include <cstring>

namespace tagtest {
FakeDrives& drives()
{
    static FakeDrives d;
    return d;
}

void resetDrives()
{
    FakeDrives& d = drives();
    std::lock_guard<std::mutex> g(d.lock);
    d.areas.clear();
    d.dst.clear();
    d.readStatus = 0;
    d.writes = 0;
    d.activeCalls = 0;
    d.overlaps = 0;
}
} // namespace tagtest

namespace {

// Holds the fake's lock for one call and notes callers that overlap (the library underneath is
// not thread-safe, so its users must never overlap).
struct Call {
    explicit Call(tagtest::FakeDrives& d) : drives(d)
    {
        std::lock_guard<std::mutex> g(d.lock);
        if (++d.activeCalls > 1) ++d.overlaps;
    }
    ~Call()
    {
        std::lock_guard<std::mutex> g(drives.lock);
        --drives.activeCalls;
    }
    tagtest::FakeDrives& drives;
};

tagtest::Answer next(std::deque<tagtest::Answer>& queue, tagtest::Answer& last)
{
    if (!queue.empty()) {
        last = queue.front();
        queue.pop_front();
    }
    return last;
}

} // namespace

extern "C" uint32_t ScsiReadLogPage32h(unsigned adapter, unsigned channel, unsigned target, void* buffer,
                                       unsigned length)
{
    auto& d = tagtest::drives();
    Call call(d);
    std::lock_guard<std::mutex> g(d.lock);
    if (d.readStatus) return d.readStatus;
    const tagtest::Area& area = d.areas[{adapter, channel, target}];
    std::memcpy(buffer, area.data(), std::min<unsigned>(length, kTagAreaSize));
    return 0;
}

extern "C" uint32_t ScsiWriteLogPage32h(unsigned adapter, unsigned channel, unsigned target, const void* data,
                                        unsigned length)
{
    auto& d = tagtest::drives();
    Call call(d);
    std::lock_guard<std::mutex> g(d.lock);
    tagtest::Area& area = d.areas[{adapter, channel, target}];
    area.fill(0);
    std::memcpy(area.data(), data, std::min<unsigned>(length, kTagAreaSize));
    ++d.writes;
    return 0;
}

extern "C" uint32_t ScsiIsDstAvail(unsigned adapter, unsigned channel, unsigned target)
{
    auto& d = tagtest::drives();
    Call call(d);
    std::lock_guard<std::mutex> g(d.lock);
    return d.dst[{adapter, channel, target}].availStatus;
}

extern "C" uint32_t ScsiStartDST(unsigned adapter, unsigned channel, unsigned target, unsigned code)
{
    auto& d = tagtest::drives();
    Call call(d);
    std::lock_guard<std::mutex> g(d.lock);
    tagtest::DstScript& s = d.dst[{adapter, channel, target}];
    s.starts.push_back(code);
    return s.startStatus;
}

extern "C" uint32_t ScsiCheckDSTsense(unsigned adapter, unsigned channel, unsigned target, int* percent)
{
    auto& d = tagtest::drives();
    Call call(d);
    std::lock_guard<std::mutex> g(d.lock);
    tagtest::DstScript& s = d.dst[{adapter, channel, target}];
    ++s.progressQueries;
    const tagtest::Answer a = next(s.progress, s.lastProgress);
    *percent = a.value;
    return a.status;
}

extern "C" uint32_t ScsiGetDstResults(unsigned adapter, unsigned channel, unsigned target, unsigned,
                                      int* result)
{
    auto& d = tagtest::drives();
    Call call(d);
    std::lock_guard<std::mutex> g(d.lock);
    tagtest::DstScript& s = d.dst[{adapter, channel, target}];
    ++s.resultQueries;
    const tagtest::Answer a = next(s.results, s.lastResult);
    if (a.status == 0) *result = a.value;
    return a.status;
}

extern "C" uint32_t ScsiGetCompletionTime(unsigned adapter, unsigned channel, unsigned target, int* seconds)
{
    auto& d = tagtest::drives();
    Call call(d);
    std::lock_guard<std::mutex> g(d.lock);
    const tagtest::Answer a = d.dst[{adapter, channel, target}].completion;
    if (a.status == 0) *seconds = a.value;
    return a.status;
}
