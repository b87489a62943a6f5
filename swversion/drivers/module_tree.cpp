#include "module_tree.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include "sandbox_path.h"

void GetAllModules(const std::string& dir, const ModuleWalkRules& rules,
                   std::vector<ModuleStruct>& index)
{
    DIR* handle = ::opendir(qv::sandboxPath(dir).c_str());
    if (handle == nullptr) return;
    while (const dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        // A module tree holds thousands of files: the entry's own type spares a status read
        // for each of them; only links and entries of unknown type are looked at.
        if (entry->d_type == DT_DIR) {
            if (name[0] != '.') GetAllModules(dir + name + "/", rules, index);
            continue;
        }
        if (entry->d_type == DT_REG) {
            index.push_back({name, dir});
            continue;
        }
        const std::string real = qv::sandboxPath(dir + name);
        struct stat status {};
        if (::lstat(real.c_str(), &status) != 0) {
            if (rules.statFailureEndsDirectory) break;
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            if (name[0] != '.') GetAllModules(dir + name + "/", rules, index);
            continue;
        }
        if (S_ISLNK(status.st_mode) && ::stat(real.c_str(), &status) != 0) {
            if (rules.statFailureEndsDirectory) break;
            continue;
        }
        if (S_ISREG(status.st_mode)) index.push_back({name, dir});
    }
    ::closedir(handle);
}

bool compare(const ModuleStruct& a, const ModuleStruct& b) { return a.strName < b.strName; }

std::vector<ModuleStruct> buildModuleIndex(const std::string& dir, const ModuleWalkRules& rules)
{
    std::vector<ModuleStruct> found;
    GetAllModules(dir, rules, found);
    // Sorting positions and moving each record once is far cheaper than swapping the records
    // themselves; the stable order keeps a name found twice in the order of the walk.
    std::vector<uint32_t> order(found.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return compare(found[a], found[b]); });
    std::vector<ModuleStruct> index;
    index.reserve(found.size());
    for (const uint32_t position : order) index.push_back(std::move(found[position]));
    return index;
}

int BinarySearch(const std::vector<ModuleStruct>& modules, int lo, int hi, const char* name)
{
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int order = std::strcmp(name, modules[mid].strName.c_str());
        if (order == 0) return mid;
        if (order < 0) hi = mid - 1;
        else lo = mid + 1;
    }
    return -1;
}
