#include "driver_list.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <iterator>
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
    // Each module directory is walked once for the names of every kind looked up in it.
    std::vector<std::string> names[std::size(kKinds)];
    std::vector<std::optional<ModuleStruct>> modules[std::size(kKinds)];
    for (size_t k = 0; k < std::size(kKinds); ++k) names[k] = swfiles::swaDriverNames(*swaList, kKinds[k].marker);
    for (size_t k = 0; k < std::size(kKinds); ++k) {
        if (k > 0 && std::strcmp(kKinds[k - 1].directory, kKinds[k].directory) == 0) continue;
        std::vector<std::string> wanted;
        size_t last = k;
        for (size_t j = k; j < std::size(kKinds) && std::strcmp(kKinds[j].directory, kKinds[k].directory) == 0; ++j) {
            wanted.insert(wanted.end(), names[j].begin(), names[j].end());
            last = j;
        }
        std::vector<std::optional<ModuleStruct>> found =
            findModules(moduleDirectory(release, kKinds[k].directory), kWalkRules, wanted);
        auto next = found.begin();
        for (size_t j = k; j <= last; ++j) {
            modules[j].assign(next, next + static_cast<std::ptrdiff_t>(names[j].size()));
            next += static_cast<std::ptrdiff_t>(names[j].size());
        }
    }
    for (size_t k = 0; k < std::size(kKinds); ++k) {
        const DriverKind& kind = kKinds[k];
        for (size_t n = 0; n < names[k].size(); ++n) {
            if (list.nDrivers >= kMaxDrivers) return;
            if (!modules[k][n]) continue;
            const ModuleStruct& module = *modules[k][n];
            const std::string& name = names[k][n];
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
