// Production binding to libqvdiskbus. Not compiled yet: it replaces scsi_units_none.cpp in the
// library's source list (and qvdiskbus joins its link libraries) once libqvdiskbus exists.
#include "scsi_units.h"

#include "diskbus_types.h"

namespace revinfo {

ScsiUnitsApi productionScsiUnits() { return {ScsiCountAllUnits, ScsiGetAdapterInfo}; }

} // namespace revinfo
