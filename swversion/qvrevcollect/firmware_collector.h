// The firmware collector's pass: collect the rows, log what changed since the previous file in
// the revision history, write the file.
#pragma once

#include <ctime>
#include <optional>
#include <vector>

#include "firmware_rows.h"

// The BIOS rows and the controllers' rows; nothing when the controller library is missing or
// incomplete or there is no DMI BIOS data.
std::optional<std::vector<BIOSFirmware>> collectFirmwareRows();

// Appends a history entry for every row of the previous qvswabios.dat whose text names the row
// now at its position and differs from it; marks those rows updated. `now` dates the entries.
void logFirmwareChanges(std::vector<BIOSFirmware>& rows, time_t now);

// Writes [BIOSInfo] "Count" and the rows in one replacement of qvswabios.dat.
bool writeFirmwareFile(const std::vector<BIOSFirmware>& rows);

// identify, detach (unless QV_FOREGROUND=1), collect, compare, write; the exit status.
int runFirmwareCollector();
