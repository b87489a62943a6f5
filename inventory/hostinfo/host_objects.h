// The library's process-wide objects. They are reached through these accessors only: exported
// objects would be replaced by a program's own globals of the same names (and then built and
// destroyed twice). A program that keeps its own reader hands it over with SetHostDmiObjects.
#pragma once

#include "dmi_bios.h"
#include "dmi_driver.h"
#include "floppy_info.h"
#include "nos_info.h"

// The library's own objects are set up on first use (QV_ROOT is read lazily, so a program may
// choose its root before the first call): LoadDriver, InitializeDMIBIOS, InitDriver.
CQVDMIDriver* HostDmiDriver();
CQVDMIBIOS* HostDmiBios();
NosInfo* HostNosInfo();
CLinuxFloppyInfo* HostFloppyInfo();

// Null for either keeps (or returns to) the library's own object. The caller's objects must be
// set up already and outlive their use.
void SetHostDmiObjects(CQVDMIDriver* driver, CQVDMIBIOS* bios);
void SetHostFloppyInfo(CLinuxFloppyInfo* floppy);
