// The table library's reader objects. The library owns one driver and one reader facade; a
// program that keeps its own (set up by itself: LoadDriver, InitializeDMIBIOS, InitDriver) hands
// them over with SetDmiObjects instead of defining objects of the library's names.
#pragma once

#include "dmi_bios.h"
#include "dmi_driver.h"

// The objects every SMBAPI call uses.
CQVDMIDriver* GetDmiDriver();
CQVDMIBIOS* GetDmiBios();

// Null for either keeps (or returns to) the library's own object.
void SetDmiObjects(CQVDMIDriver* driver, CQVDMIBIOS* bios);

extern "C" {
void InitializeDll();
void CloseDll();
}
