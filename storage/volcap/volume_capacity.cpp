#include "drv_info.h"

#include <climits>
#include <cmath>

bool capacityInKilobytes(uint64_t blockSize, uint64_t blocks, uint64_t freeBlocks, int* total,
                         int* available, int* used)
{
    // Blocks of any size count whole: (n / 1024) * size would drop up to half of a small-block
    // file system. 128 bits keep n * size exact for every 64-bit count.
    const auto kilobytes = [blockSize](uint64_t n) {
        return static_cast<unsigned __int128>(n) * blockSize / 1024;
    };
    const unsigned __int128 counts[3] = {kilobytes(blocks), kilobytes(freeBlocks),
                                         blocks >= freeBlocks ? kilobytes(blocks - freeBlocks)
                                                              : ~static_cast<unsigned __int128>(0)};
    for (const unsigned __int128 c : counts)
        if (c > INT_MAX) return false;
    if (total != nullptr) *total = static_cast<int>(counts[0]);
    if (available != nullptr) *available = static_cast<int>(counts[1]);
    if (used != nullptr) *used = static_cast<int>(counts[2]);
    return true;
}

int GetDrvPctUsed(int drvAvailable, int drvUsed)
{
    if (drvUsed == 0) return 0;
    const double whole = static_cast<double>(drvAvailable) + static_cast<double>(drvUsed);
    if (whole <= 0) return 0;
    // nearbyint rounds halves to even in the default rounding mode.
    const double pct = std::nearbyint(static_cast<double>(drvUsed) * 100.0 / whole);
    return pct < 0 ? 0 : pct > 100 ? 100 : static_cast<int>(pct);
}
