// The asset-tag area as a drive may hold it: the input is the area (cut to 600 bytes) that the
// record editor loads and validates; every record found is then looked up, and a self-test
// record is added and removed again, all within the 600 bytes.
#include "field_packer.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<Byte> area(data, data + std::min<size_t>(size, kTagAreaSize));
    CFieldPacker packer(kTagAreaSize);
    if (!packer.SetInitialFields(sdType{area.data(), static_cast<Index>(area.size())})) return 0;
    for (Index i = 0;; ++i) {
        const sdType record = packer.GetField(i);
        if (!record.pb) break;
        sdType found{};
        if (!packer.FindField(record.pb[1], &found) || found.cb < 2) __builtin_trap();
    }
    Byte start[6] = {6, 'k', 0x40, 0, 0, 0};
    packer.AddField(start, true);
    packer.DeleteField('k');
    const sdType used = packer.GetFieldArea();
    if (used.cb > kTagAreaSize) __builtin_trap();
    return 0;
}
