#include "driver_list.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "module_tree.h"
#include "sandbox_path.h"
#include "sw_files.h"
#include "swa_list.h"

namespace {

struct DriverKind {
    const char* marker;      // list in qvswa.cfg
    const char* directory;   // module directory kind
    int type;
    const char* description;
};

// DAC drivers live among the SCSI modules.
constexpr DriverKind kKinds[] = {
    {"SCSI", "scsi", 2, "SCSI Driver"},
    {"DAC", "scsi", 3, "DAC Driver"},
    {"NIC", "net", 1, "Network Interface Card Driver"},
};

// A failed status of a listed entry ends the listing of its directory, as it always has here.
constexpr ModuleWalkRules kWalkRules{true};

void copyText(char* dst, size_t size, const std::string& src)
{
    std::strncpy(dst, src.c_str(), size - 1);
    dst[size - 1] = '\0';
}

} // namespace

std::string kernelRelease()
{
    std::string release;
    if (auto text = swfiles::readFixedFile("/proc/sys/kernel/osrelease"))
        swfiles::forEachLineWords(*text, [&](const std::vector<std::string>& words,
                                             const std::string&) {
            if (release.empty() && !words.empty()) release = words[0].substr(0, 63);
        });
    return release;
}

std::string moduleDirectory(const std::string& release, const char* kind)
{
    const double number = std::strtod(release.substr(0, 3).c_str(), nullptr);
    return "/lib/modules/" + release + "/" + (number > 2.2 ? "kernel/drivers/" : "") + kind + "/";
}

int GetState(const char* szDrvName)
{
    const std::string base = std::string(szDrvName).substr(0, std::strcspn(szDrvName, ".")).substr(0, 64);
    int state = 1;
    if (auto text = swfiles::readFixedFile("/proc/modules"))
        swfiles::forEachLineWords(*text, [&](const std::vector<std::string>& words,
                                             const std::string&) {
            if (!words.empty() && words[0].substr(0, 64) == base) state = 4;
        });
    return state;
}

void CollectDriversInfo(DriverList& list)
{
    list.nDrivers = 0;
    const std::string release = kernelRelease();
    const std::optional<std::string> swaList = swfiles::readFixedFile(swfiles::kListFile);
    if (!swaList) return;
    const char* indexedKind = nullptr;
    std::vector<ModuleStruct> index;
    for (const DriverKind& kind : kKinds) {
        if (indexedKind == nullptr || std::strcmp(indexedKind, kind.directory) != 0) {
            index = buildModuleIndex(moduleDirectory(release, kind.directory), kWalkRules);
            indexedKind = kind.directory;
        }
        for (const std::string& name : swfiles::swaDriverNames(*swaList, kind.marker)) {
            if (list.nDrivers >= kMaxDrivers) return;
            const int found = BinarySearch(index, 0, static_cast<int>(index.size()) - 1, name.c_str());
            if (found < 0) continue;
            const ModuleStruct& module = index[found];
            DriverStruct& driver = list.drivers[list.nDrivers];
            driver = DriverStruct{};
            copyText(driver.szDrvName, sizeof driver.szDrvName, name);
            driver.State = GetState(driver.szDrvName);
            copyText(driver.szDrvDescription, sizeof driver.szDrvDescription, kind.description);
            copyText(driver.szDrvFilePath, sizeof driver.szDrvFilePath, module.strPath);
            copyText(driver.szDrvVersion, sizeof driver.szDrvVersion, release);
            // The status comes from the untruncated path: a deep directory must not make it fail.
            struct stat status {};
            if (::stat(qv::sandboxPath(module.strPath + name).c_str(), &status) == 0) {
                driver.ByteSize = static_cast<long>(status.st_size);
                driver.DrvDateAndTime = status.st_mtime;
            }
            driver.iType = kind.type;
            ++list.nDrivers;
        }
    }
}
