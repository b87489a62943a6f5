// Production binding to libqvdiskbus.
#include "scsi_units.h"

#include "qvdiskbus.h"

namespace revinfo {

ScsiUnitsApi productionScsiUnits()
{
    return {[](int* adapters, int* drives) { return static_cast<int>(ScsiCountAllUnits(adapters, drives)); },
            [](int adapter, unsigned level, HBAInfoType* info) {
                return static_cast<int>(ScsiGetAdapterInfo(static_cast<unsigned>(adapter), level, info));
            }};
}

} // namespace revinfo
