#include "firmware_collector.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

#include "agent_identification.h"
#include "bios_versions.h"
#include "controller_firmware.h"
#include "profile.h"
#include "sandbox_path.h"
#include "service_daemon.h"
#include "sw_files.h"

namespace {

constexpr char kSection[] = "BIOSInfo";

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

// Runs one reader on the shared buffer, which may come back larger.
bool readBiosVersion(char* (*reader)(char*, int), std::unique_ptr<char, FreeDeleter>& buffer,
                     int len, std::string& version)
{
    char* text = reader(buffer.get(), len);
    if (text == nullptr) return false;
    (void)buffer.release();
    buffer.reset(text);
    version = text;
    return true;
}

std::string changeDate(time_t now)
{
    tm local {};
    ::localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d/%d %02d:%02d:%02d.%d", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, local.tm_isdst);
    return text;
}

} // namespace

std::optional<std::vector<BIOSFirmware>> collectFirmwareRows()
{
    ControllerLibrary library;
    if (!library.loaded()) return std::nullopt;
    constexpr int kBufferSize = 60;
    std::unique_ptr<char, FreeDeleter> buffer(static_cast<char*>(std::malloc(kBufferSize)));
    std::vector<BIOSFirmware> rows;
    std::string version;
    if (!readBiosVersion(DLL_GetSystemBIOSVersion, buffer, kBufferSize, version)) return std::nullopt;
    addFirmwareRow(rows, {"System BIOS", 1, version, 0});
    if (readBiosVersion(DLL_GetSCSIBIOSVersion, buffer, kBufferSize, version))
        addFirmwareRow(rows, {"SCSI BIOS", 3, version, 0});
    if (readBiosVersion(DLL_GetVideoBIOSVersion, buffer, kBufferSize, version))
        addFirmwareRow(rows, {"Video BIOS", 2, version, 0});
    library.addControllerRows(rows);
    return rows;
}

void logFirmwareChanges(std::vector<BIOSFirmware>& rows, time_t now)
{
    const std::string file = qv::sandboxPath(swfiles::kBiosFile);
    const int previousCount = GetPrivateProfileInt(kSection, "Count", 0, file.c_str());
    const swfiles::CLockedProfile profile(nullptr);
    // A row that is gone (the previous file was longer) is not logged: it has no name to log.
    const int compared = std::min(previousCount, static_cast<int>(rows.size()));
    for (int i = 0; i < compared; ++i) {
        char previous[256] = "";
        GetPrivateProfileString(kSection, std::to_string(i).c_str(), "", previous, sizeof previous,
                                file.c_str());
        BIOSFirmware& row = rows[static_cast<size_t>(i)];
        const std::string current = formatFirmwareRow(row);
        if (std::string(previous).find(row.szName) == std::string::npos || current == previous) continue;
        const std::string entry = row.szName + ",,,4," + std::to_string(row.nType) + "," +
                                  row.szVersion + "," + changeDate(now) + ",4";
        if (swfiles::appendRevisionHistory(profile, entry, swfiles::CountOrder::CountFirst) >= 0)
            row.nUpdated = 1;
    }
}

bool writeFirmwareFile(const std::vector<BIOSFirmware>& rows)
{
    std::vector<ProfileEntry> entries{{"Count", std::to_string(rows.size())}};
    for (size_t i = 0; i < rows.size(); ++i) entries.emplace_back(std::to_string(i), formatFirmwareRow(rows[i]));
    return WritePrivateProfileEntries(kSection, entries, qv::sandboxPath(swfiles::kBiosFile).c_str()) != 0;
}

int runFirmwareCollector()
{
    if (!identifySupportedPlatform()) return 1;
    if (!foregroundRequested()) {
        const pid_t child = ::fork();
        if (child < 0) return 1;
        if (child > 0) return 0;
    }
    std::optional<std::vector<BIOSFirmware>> rows = collectFirmwareRows();
    if (!rows) return 1;
    if (::access(qv::sandboxPath(swfiles::kBiosFile).c_str(), F_OK) == 0)
        logFirmwareChanges(*rows, std::time(nullptr));
    return writeFirmwareFile(*rows) ? 0 : 1;
}
