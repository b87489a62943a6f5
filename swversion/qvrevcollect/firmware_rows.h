// The rows the firmware collector records in qvswabios.dat: three BIOS rows, then the
// management controllers that qvswarh.cfg lists.
#pragma once

#include <string>
#include <vector>

struct BIOSFirmware {
    std::string szName;
    int nType = 0;            // 1 system BIOS, 2 video BIOS, 3 SCSI BIOS, 0 controller firmware
    std::string szVersion;
    int nUpdated = 0;         // set when a change of the row was logged
};

inline constexpr int kMaxFirmwareRows = 15;

// Appends `row` unless the row array is full.
void addFirmwareRow(std::vector<BIOSFirmware>& rows, BIOSFirmware row);

// "name,type,version,description" as the file keeps a row.
std::string formatFirmwareRow(const BIOSFirmware& row);

// "%c.%.2d.%.1d%.1d" of a Get Device ID answer: 'A' + the device revision's low nibble, the
// major revision without its top bit, the two BCD digits of the minor revision.
std::string controllerVersionText(unsigned deviceRevision, unsigned major, unsigned minor);
