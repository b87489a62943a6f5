#include "drv_info.h"

#include <climits>

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

namespace {

// Rounds to the nearest whole number, halves to even, as the default rounding mode does. Done
// here because the one library call would make every agent request load the maths library.
double roundHalfEven(double x)
{
    if (!(x > -1e15 && x < 1e15)) return x;
    const long long whole = static_cast<long long>(x);   // toward zero
    const double fraction = x - static_cast<double>(whole);
    const bool odd = (whole & 1) != 0;
    if (fraction > 0.5 || (fraction == 0.5 && odd)) return static_cast<double>(whole + 1);
    if (fraction < -0.5 || (fraction == -0.5 && odd)) return static_cast<double>(whole - 1);
    return static_cast<double>(whole);
}

} // namespace

int GetDrvPctUsed(int drvAvailable, int drvUsed)
{
    if (drvUsed == 0) return 0;
    const double whole = static_cast<double>(drvAvailable) + static_cast<double>(drvUsed);
    if (whole <= 0) return 0;
    const double pct = roundHalfEven(static_cast<double>(drvUsed) * 100.0 / whole);
    return pct < 0 ? 0 : pct > 100 ? 100 : static_cast<int>(pct);
}
