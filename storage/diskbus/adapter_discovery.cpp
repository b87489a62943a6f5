#include "adapter_discovery.h"

#include <kernel_release.h>
#include <owned_handles.h>
#include <sandbox_path.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>

const MfgData vMfgData[] = {
    {"megaraid", "AMI", kAdapterClassMegaRaid, 2},
    {"aic7xxx", "Adaptec", kAdapterClassScsi, 1},
    {"sym53c8xx", "LSI/Symbios", kAdapterClassScsi, 1},
    {"ncr53c8xx", "LSI/Symbios", kAdapterClassScsi, 1},
    {"ide-scsi", nullptr, kAdapterClassIdeScsi, 1},
    {"", nullptr, kAdapterClassScsi, 1},   // any other driver
};
const unsigned kMfgDataRows = sizeof vMfgData / sizeof vMfgData[0];

namespace {
constexpr size_t kCompared = 16;
constexpr const char* kUnknownDriver = "Unknown";
constexpr const char* kUnknownText = "???";

// A host directory entry: its whole name a decimal number below the table size.
int hostNumber(const char* name) {
    if (name[0] < '0' || name[0] > '9' || name[1] != '\0')
        return -1;
    return name[0] - '0';
}

void copyText(char* to, size_t size, const char* from) {
    std::strncpy(to, from, size - 1);
    to[size - 1] = '\0';
}
} // namespace

bool MatchDriverName(const char* rowName, const char* driverName) {
    for (size_t i = 0; i < kCompared; ++i) {
        const char r = rowName[i], d = driverName[i];
        if (r == '\0' || d == '\0')
            return r == d;
        if (r != '?' && std::tolower(static_cast<unsigned char>(r)) != std::tolower(static_cast<unsigned char>(d)))
            return false;
    }
    return true;
}

const MfgData& FindMfgData(const char* driverName) {
    for (unsigned i = 0; i + 1 < kMfgDataRows; ++i)
        if (MatchDriverName(vMfgData[i].name, driverName))
            return vMfgData[i];
    return vMfgData[kMfgDataRows - 1];
}

uint32_t CScsiMfg::DetermineMfgs() {
    if (nAdapters != 0)
        return 0;
    // A scan cut short by a failed allocation closes what it opened and counts nothing.
    unsigned found = 0;
    const std::string proc = qv::sandboxPath("/proc/scsi");
    const qv::OwnedDirectory top(::opendir(proc.c_str()));
    if (top == nullptr)
        return 0;
    while (const dirent* driver = ::readdir(top.get())) {
        if (std::strcmp(driver->d_name, ".") == 0 || std::strcmp(driver->d_name, "..") == 0)
            continue;
        const std::string directory = proc + "/" + driver->d_name;
        struct stat st;
        if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        const MfgData& row = FindMfgData(driver->d_name);
        const bool known = &row != &vMfgData[kMfgDataRows - 1];
        const qv::OwnedDirectory hosts(::opendir(directory.c_str()));
        if (hosts == nullptr)
            continue;
        while (const dirent* host = ::readdir(hosts.get())) {
            const int n = hostNumber(host->d_name);
            if (n < 0)
                continue;
            Entry& entry = rgAdapter[n];
            entry.mfg = {row.id, row.nChannels, &row};
            entry.pszMfg = known ? std::string() : kUnknownDriver;
            ++found;
        }
    }
    nAdapters = found;
    return 0;
}

bool CScsiMfg::GetAdapterMfg(unsigned n, MfgType* mfg) const {
    if (n >= nAdapters || n >= kMaxDiscoveredAdapters)
        return false;
    if (mfg != nullptr)
        *mfg = rgAdapter[n].mfg;
    return true;
}

const char* CScsiMfg::GetMfgName(unsigned n) const {
    if (n >= kMaxDiscoveredAdapters || rgAdapter[n].mfg.mfgInfo == nullptr)
        return kUnknownText;
    if (!rgAdapter[n].pszMfg.empty())
        return rgAdapter[n].pszMfg.c_str();
    return rgAdapter[n].mfg.mfgInfo->name;
}

void CScsiMfg::GetAdapterInfo(unsigned n, MfgSpecType* spec) const {
    if (spec == nullptr)
        return;
    const MfgData* row = n < kMaxDiscoveredAdapters ? rgAdapter[n].mfg.mfgInfo : nullptr;
    spec->id = static_cast<int32_t>(row ? row->id : kAdapterClassScsi);
    copyText(spec->szMfg, sizeof spec->szMfg, GetMfgName(n));
    copyText(spec->szBrand, sizeof spec->szBrand, row && row->brand ? row->brand : kUnknownText);
}

bool CScsiMfg::GetAdapterDriver(unsigned n, char* path, unsigned length) const {
    std::string release;
    if (path == nullptr || length == 0 || !qv::kernelRelease(release))
        return false;
    const std::string module = "/lib/modules/" + release +
                               (release.rfind("2.2", 0) == 0 ? "/scsi/" : "/kernel/drivers/scsi/") + GetMfgName(n) + ".o";
    if (::access(qv::sandboxPath(module).c_str(), F_OK) != 0)
        return false;
    copyText(path, length, module.c_str());
    return true;
}
