// FRU inventory data as a controller returns it: split into areas, checksums, formatted texts.
#include "fru.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly sized, so a read past the data the controller returned is caught.
    const std::vector<UINT8> bytes(data, data + size);
    FruDataStruct structured;
    std::memset(&structured, 0, sizeof structured);
    if (qv::bmc::structureFruData(bytes.data(), bytes.size(), &structured) == 0) {
        (void)qv::bmc::checkFruSums(bytes.data(), bytes.size(), structured);
        FormattedFruDataStruct formatted;
        std::memset(&formatted, 0, sizeof formatted);
        qv::bmc::formatFruData(structured, &formatted);
        qv::bmc::freeFormattedFruData(&formatted);
    }
    qv::bmc::freeFruData(&structured);

    if (size >= 2) (void)qv::bmc::fieldText(data[0], UINT8(size - 2 > 255 ? 255 : size - 2), bytes.data() + 2);
    if (size >= 4) {
        UINT32 minutes;
        std::memcpy(&minutes, data, 4);
        (void)qv::bmc::manufacturingTime(minutes);
        (void)qv::bmc::chassisTypeText(data[0]);
    }
    return 0;
}
