// The two calls of the SCSI and RAID library that the firmware list needs, behind a seam: the
// list reaches them only through scsiUnits(), so tests put a fake adapter set behind it. The
// storage records stay out of this header: their sdType is not the IPMI cache client's.
#pragma once

#include <string>

struct HBAInfoType;

namespace revinfo {

struct ScsiUnitsApi {
    int (*countAllUnits)(int* adapters, int* drives);
    int (*getAdapterInfo)(int adapter, unsigned level, HBAInfoType* info);
};

// The binding the library is built with (scsi_units_diskbus.cpp: libqvdiskbus).
ScsiUnitsApi productionScsiUnits();

// The calls in use; tests replace them.
ScsiUnitsApi& scsiUnits();

// What the firmware list takes of an adapter's level-2 record, texts terminated.
struct AdapterFirmware {
    int idClass = 0;
    int idBoard = 0;
    std::string szBIOSVersion, szBrand, szProduct;
};

// Level 2 of adapter `adapter` through scsiUnits(); the library's status.
int readAdapterFirmware(int adapter, AdapterFirmware& out);

} // namespace revinfo
