// Interim binding while libqvdiskbus is not built: the system has no SCSI adapters to report.
// Replaced by scsi_units_diskbus.cpp as soon as the SCSI library is part of the build.
#include "scsi_units.h"

#include "diskbus_types.h"

namespace revinfo {

namespace {

int noAdapters(int* adapters, int* drives)
{
    if (adapters != nullptr) *adapters = 0;
    if (drives != nullptr) *drives = 0;
    return 0;
}

int noAdapterInfo(int, unsigned, HBAInfoType*) { return 1; }

} // namespace

ScsiUnitsApi productionScsiUnits() { return {noAdapters, noAdapterInfo}; }

} // namespace revinfo
