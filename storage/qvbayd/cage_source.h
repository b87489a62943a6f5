// Where the drive-cage service gets its cages: the hot-swap cage library's list and the SCSI
// library's adapter class. The service talks only to this interface; the program binds it to the
// libraries (cage_source_bayswap.cpp), tests to a scripted list.
#pragma once

#include <cstdint>

#include "cage_types.h"

class CageSource {
public:
    virtual ~CageSource() = default;
    // Discovers the cages once per process; their number. 0 for success.
    virtual ErrorType Discover(unsigned* pnCages) = 0;
    // Descriptor of cage iCage (below the discovered number). 0 for success.
    virtual ErrorType GetDesc(unsigned iCage, CageDescType* pDesc) = 0;
    // The class of SCSI adapter idAdapter (level 1 of its information). 0 for success.
    virtual ErrorType GetAdapterClass(unsigned idAdapter, int* pidClass) = 0;
};

// The libraries' cage list; only in programs linked with them.
CageSource& bayswapCageSource();
