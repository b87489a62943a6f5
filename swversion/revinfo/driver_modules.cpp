#include "driver_modules.h"

#include <cstring>
#include <sys/stat.h>

#include "driver_list.h"
#include "module_tree.h"
#include "sandbox_path.h"
#include "tokenizer.h"

namespace revinfo {

namespace {

struct Group {
    const char* description;
    const char* group;
    DRIVER_TYPE type;
};

constexpr Group gGroups[] = {
    {"SCSI Driver Module", "Storage Driver", DRIVER_STORAGE},
    {"CDROM Driver Module", "Storage Driver", DRIVER_STORAGE},
    {"Video Driver Module", "Video Driver", DRIVER_VIDEO},
    {"File System Driver Module", "File System Driver", DRIVER_FILESYS},
    {"Linux Network Driver Module", "Networking Driver", DRIVER_NETWORK},
};

// Unreadable entries are skipped one by one; the rest of the directory is still listed.
constexpr ModuleWalkRules kWalkRules{false};

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Matches each row with its module file; false when the running release is unknown.
bool GetModulesInformation(std::vector<DriverStruct>& rows)
{
    const std::string release = kernelRelease();
    if (release.empty()) return false;
    const std::string root = "/lib/modules/" + release + "/" + (startsWith(release, "2.4") ? "kernel/" : "");
    const std::vector<ModuleStruct> modules = buildModuleIndex(root, kWalkRules);
    for (DriverStruct& row : rows) {
        row.szDrvFileName = row.szDrvName + ".o";
        const int found = BinarySearch(modules, 0, static_cast<int>(modules.size()) - 1,
                                       row.szDrvFileName.c_str());
        if (found < 0) continue;
        row.szDrvFilePath = modules[static_cast<size_t>(found)].strPath;
        row.szDrvVersion = release.substr(0, 63);
    }
    return true;
}

} // namespace

int ScanDrivers(std::vector<DriverStruct>& rows)
{
    rows.clear();
    try {
        StatusFileTokenizer lines(qv::sandboxPath("/proc/modules"), " \n\f\t\r");
        for (unsigned i = 0; i < lines.getLinesCount() && rows.size() < kMaxModules; ++i) {
            auto& line = lines.getLine(i);
            if (line.getTokenCount() == 0) continue;
            rows.push_back({});
            rows.back().szDrvName = line.getToken(0);
        }
    } catch (int status) {
        rows.clear();
        return status;
    }
    if (!GetModulesInformation(rows)) {
        rows.clear();
        return 0;
    }
    const std::string release = kernelRelease();
    for (DriverStruct& row : rows) {
        row.szDrvDescription = GetDrvDescription(row.szDrvFilePath, release);
        if (row.szDrvFilePath.empty()) continue;
        row.szDrvFilePath += row.szDrvFileName;
        struct stat status {};
        if (::stat(qv::sandboxPath(row.szDrvFilePath).c_str(), &status) == 0) {
            row.dwFileSize = static_cast<uint32_t>(status.st_size);
            row.DrvTimestamp = status.st_mtime;
        }
    }
    return 0;
}

std::string GetDrvDescription(const std::string& directory, const std::string& release)
{
    if (startsWith(release, "2.4")) {
        const struct { const char* part; const char* description; } rules[] = {
            {"kernel/drivers/char/drm", "Video Driver Module"},
            {"kernel/drivers/video", "Video Driver Module"},
            {"kernel/drivers/net", "Linux Network Driver Module"},
            {"kernel/net", "Linux Network Driver Module"},
            {"kernel/drivers/scsi", "SCSI Driver Module"},
            {"kernel/drivers/cdrom", "CDROM Driver Module"},
            {"kernel/fs", "File System Driver Module"},
        };
        for (const auto& rule : rules)
            if (directory.find(rule.part) != std::string::npos) return rule.description;
    } else if (startsWith(release, "2.2")) {
        std::string trimmed = directory;
        if (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
        const struct { const char* last; const char* description; } rules[] = {
            {"/scsi", "SCSI Driver Module"}, {"/cdrom", "CDROM Driver Module"},
            {"/net", "Linux Network Driver Module"}, {"/fs", "File System Driver Module"},
            {"/video", "Video Driver Module"},
        };
        for (const auto& rule : rules)
            if (endsWith(trimmed, rule.last)) return rule.description;
    }
    return "Unknown Driver Module";
}

const char* GetDriverGroupType(const char* description, DRIVER_TYPE* type)
{
    if (type != nullptr) *type = DRIVER_UNKNOWN;
    if (description == nullptr) return nullptr;
    for (const Group& group : gGroups)
        if (std::strcmp(group.description, description) == 0) {
            if (type != nullptr) *type = group.type;
            return group.group;
        }
    return nullptr;
}

int CDrivers::BuildList()
{
    if (m_bInitialized) return 0;
    m_bInitialized = true;
    return LoadList();
}

int CDrivers::LoadList()
{
    drivers_.clear();
    return ScanDrivers(drivers_);
}

int CDrivers::GetDriver(unsigned index, const DriverStruct** entry)
{
    BuildList();
    if (index >= drivers_.size()) return kRevInfoIndexOutOfRange;
    *entry = &drivers_[index];
    return 0;
}

CDrivers& driverList()
{
    static CDrivers list;
    return list;
}

} // namespace revinfo
