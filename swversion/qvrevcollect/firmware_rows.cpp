#include "firmware_rows.h"

#include <cstdio>

namespace {

const char* description(const BIOSFirmware& row)
{
    switch (row.nType) {
    case 1: return "System BIOS";
    case 2: return "Video BIOS";
    case 3: return "SCSI BIOS";
    default: return row.szName.c_str();
    }
}

} // namespace

void addFirmwareRow(std::vector<BIOSFirmware>& rows, BIOSFirmware row)
{
    if (rows.size() < static_cast<size_t>(kMaxFirmwareRows)) rows.push_back(std::move(row));
}

std::string formatFirmwareRow(const BIOSFirmware& row)
{
    return row.szName + "," + std::to_string(row.nType) + "," + row.szVersion + "," + description(row);
}

std::string controllerVersionText(unsigned deviceRevision, unsigned major, unsigned minor)
{
    char text[32];
    std::snprintf(text, sizeof text, "%c.%.2d.%.1d%.1d", 'A' + static_cast<int>(deviceRevision & 0x0F),
                  static_cast<int>(major & 0x7F), static_cast<int>((minor >> 4) & 0x0F),
                  static_cast<int>(minor & 0x0F));
    return text;
}
