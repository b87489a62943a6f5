#include "scsi_units.h"

#include <cstring>

#include "diskbus_types.h"

namespace revinfo {

namespace {

template <size_t N>
std::string terminated(const char (&text)[N])
{
    return std::string(text, ::strnlen(text, N));
}

} // namespace

ScsiUnitsApi& scsiUnits()
{
    static ScsiUnitsApi api = productionScsiUnits();
    return api;
}

int readAdapterFirmware(int adapter, AdapterFirmware& out)
{
    HBAInfoType hba {};
    const int status = scsiUnits().getAdapterInfo(adapter, 2, &hba);
    if (status != 0) return status;
    out.idClass = hba.idClass;
    out.idBoard = hba.idBoard;
    out.szBIOSVersion = terminated(hba.szBIOSVersion);
    out.szBrand = terminated(hba.szBrand);
    out.szProduct = terminated(hba.szProduct);
    return 0;
}

} // namespace revinfo
