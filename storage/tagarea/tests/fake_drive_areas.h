// In-memory drives for the SCSI and RAID library calls of the asset-tag area and the self-test
// monitor: each address holds 600 bytes and a self-test script. Reads can be made to fail,
// writes and self-test commands are counted. Thread-safe: the monitor's thread calls it too.
// The calls themselves are defined in fake_drive_areas.cpp.
#pragma once

#include "field_packer.h"

#include <array>
#include <deque>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace tagtest {

using Area = std::array<Byte, kTagAreaSize>;
using Address = std::tuple<unsigned, unsigned, unsigned>;

// One answer of a self-test query: the call's status and the value it writes.
struct Answer {
    uint32_t status = 0;
    int value = 0;
};

// How one drive answers the self-test commands. A query whose queue is empty repeats the
// queue's last answer (or the default when it never had one).
struct DstScript {
    uint32_t availStatus = 0;            // ScsiIsDstAvail
    Answer completion{0, 600};           // ScsiGetCompletionTime
    uint32_t startStatus = 0;            // ScsiStartDST
    std::deque<Answer> progress;         // ScsiCheckDSTsense, one per call
    Answer lastProgress{0, 0};
    std::deque<Answer> results;          // ScsiGetDstResults, one per call
    Answer lastResult{0, 0};
    std::vector<unsigned> starts;        // codes ScsiStartDST was sent
    int progressQueries = 0;
    int resultQueries = 0;
};

struct FakeDrives {
    std::mutex lock;                     // held by every fake call
    std::map<Address, Area> areas;
    std::map<Address, DstScript> dst;
    uint32_t readStatus = 0;   // non-zero: every read fails with it
    int writes = 0;
    int activeCalls = 0;       // calls running now: more than 1 means callers overlap
    int overlaps = 0;
};

FakeDrives& drives();
// Forgets every area, script and count.
void resetDrives();

// An area holding `bytes` from offset 0, zeros after them.
inline Area areaOf(const std::vector<Byte>& bytes)
{
    Area a{};
    for (size_t i = 0; i < bytes.size() && i < a.size(); ++i) a[i] = bytes[i];
    return a;
}

} // namespace tagtest
