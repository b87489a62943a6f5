#include "dst_records.h"

#include "diskbus_calls.h"

#include <array>
#include <optional>
#include <vector>

namespace {

using Area = std::array<Byte, kTagAreaSize>;

// The drive's area, or nothing when it cannot be read.
std::optional<Area> readArea(int adapter, int channel, int target)
{
    Area area{};
    if (ScsiReadLogPage32h(adapter & 0xFF, channel & 0xFF, target & 0xFF, area.data(), kTagAreaSize) != 0)
        return std::nullopt;
    return area;
}

// Loads the area for an edit. An area whose list was discarded as invalid was written by a tool
// this program does not understand: it is not ours to overwrite, so no edit is made. An empty
// list (its first record ends the list) is edited as empty.
bool loadForEdit(CFieldPacker& packer, Area& area)
{
    if (packer.SetInitialFields(sdType{area.data(), kTagAreaSize})) return true;
    return area[0] == 0 || (area[1] & 0x1F) == 0;
}

void writeArea(int adapter, int channel, int target, CFieldPacker& packer)
{
    const sdType used = packer.GetFieldArea();
    (void)ScsiWriteLogPage32h(adapter & 0xFF, channel & 0xFF, target & 0xFF, used.pb, used.cb);
}

// Times are 32-bit on the drive: the low 32 bits, most significant byte first.
std::array<Byte, 6> timeRecord(Byte id, time_t t)
{
    const auto v = static_cast<uint32_t>(t);
    return {6, id, Byte(v >> 24), Byte(v >> 16), Byte(v >> 8), Byte(v)};
}

} // namespace

time_t TattooDstTime(int iAdapter, int iChannel, int iTarget, Byte bTattooFlag)
{
    const time_t now = std::time(nullptr);
    std::optional<Area> area = readArea(iAdapter, iChannel, iTarget);
    if (!area) return now;
    CFieldPacker packer(kTagAreaSize);
    if (!loadForEdit(packer, *area)) return now;
    if (bTattooFlag == kDstEndRecord && packer.FindField(kDstEndRecord, nullptr)) return now;
    auto flagRecord = timeRecord(bTattooFlag, now);
    auto lastRecord = timeRecord(kDstLastTimeRecord, now);
    packer.AddField(flagRecord.data(), true);
    packer.AddField(lastRecord.data(), true);
    if (bTattooFlag == kDstStartRecord) {
        packer.DeleteField(kDstEndRecord);
        packer.DeleteField(kDstResultRecord);
    }
    writeArea(iAdapter, iChannel, iTarget, packer);
    return now;
}

void TattooDstResult(int iAdapter, int iChannel, int iTarget, Byte bDstResult)
{
    std::optional<Area> area = readArea(iAdapter, iChannel, iTarget);
    if (!area) return;
    CFieldPacker packer(kTagAreaSize);
    if (!loadForEdit(packer, *area) || packer.FindField(kDstResultRecord, nullptr)) return;
    Byte record[3] = {3, kDstResultRecord, bDstResult};
    packer.AddField(record, true);
    writeArea(iAdapter, iChannel, iTarget, packer);
}

// The data of the drive's record `id` when it holds at least `length` bytes.
static std::optional<std::vector<Byte>> readRecord(int adapter, int channel, int target, Byte id, Index length)
{
    std::optional<Area> area = readArea(adapter, channel, target);
    if (!area) return std::nullopt;
    CFieldPacker packer(kTagAreaSize);
    packer.SetInitialFields(sdType{area->data(), kTagAreaSize});
    sdType found{};
    if (!packer.FindField(id, &found) || found.cb < 2 + length) return std::nullopt;
    return std::vector<Byte>(found.pb + 2, found.pb + found.cb);
}

time_t ReadDstTattooTime(int iAdapter, int iChannel, int iTarget, Byte flag)
{
    const auto d = readRecord(iAdapter, iChannel, iTarget, flag, 4);
    if (!d) return 0;
    // Zero-extended: a drive's time is an unsigned count of seconds.
    const uint32_t t = (uint32_t{(*d)[0]} << 24) | (uint32_t{(*d)[1]} << 16) | (uint32_t{(*d)[2]} << 8) | (*d)[3];
    return static_cast<time_t>(t);
}

Byte ReadDstTattooResult(int iAdapter, int iChannel, int iTarget)
{
    const auto d = readRecord(iAdapter, iChannel, iTarget, kDstResultRecord, 1);
    return d ? (*d)[0] : Byte{255};
}

time_t ReadDstStartTime(int a, int c, int t) { return ReadDstTattooTime(a, c, t, kDstStartRecord); }
time_t ReadDstEndTime(int a, int c, int t) { return ReadDstTattooTime(a, c, t, kDstEndRecord); }
time_t TattooDstStartTime(int a, int c, int t) { return TattooDstTime(a, c, t, kDstStartRecord); }
time_t TattooDstEndTime(int a, int c, int t) { return TattooDstTime(a, c, t, kDstEndRecord); }
