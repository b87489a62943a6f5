// The loaded kernel modules as the version library reports them: /proc/modules in order, each
// matched with its module file below /lib/modules/<release>/.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "qvrevinfo.h"

namespace revinfo {

// One scanned module (stays inside the process; apart from the version programs' record).
struct DriverStruct {
    std::string szDrvName;
    std::string szDrvVersion;       // running release when the file was found
    std::string szDrvDescription;
    std::string szDrvFileName;      // name + ".o"
    std::string szDrvFilePath;      // full path of the file, empty when not found
    uint32_t dwFileSize = 0;
    time_t DrvTimestamp = 0;
};

inline constexpr int kMaxModules = 50;

// Rows for the first 50 lines of /proc/modules; a tokenizer status when it cannot be read.
int ScanDrivers(std::vector<DriverStruct>& rows);

// Description of a module directory for `release`; "Unknown Driver Module" when none applies.
std::string GetDrvDescription(const std::string& directory, const std::string& release);

// Group name of a description, or null; `type` gets its DRIVER_TYPE (DRIVER_UNKNOWN without).
const char* GetDriverGroupType(const char* description, DRIVER_TYPE* type);

class CDrivers {
public:
    int BuildList();     // once per process
    int LoadList();      // drops and rebuilds
    int GetDriver(unsigned index, const DriverStruct** entry);
    unsigned count() const { return static_cast<unsigned>(drivers_.size()); }

private:
    std::vector<DriverStruct> drivers_;
    bool m_bInitialized = false;
};

CDrivers& driverList();

} // namespace revinfo
