// A fake SCSI library behind the firmware list's seam.
#pragma once

#include <string>
#include <vector>

struct FakeAdapter {
    int idClass;
    int idBoard;
    std::string bios;
};

// Installs `adapters` (brand "Brand", product "Product") behind scsiUnits(); an empty call
// restores the production binding.
void installFakeAdapters(const std::vector<FakeAdapter>& adapters);
void restoreScsiUnits();
