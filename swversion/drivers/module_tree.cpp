#include "module_tree.h"

#include <algorithm>
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
        const std::string fixed = dir + name;
        const std::string real = qv::sandboxPath(fixed);
        struct stat status {};
        if (::lstat(real.c_str(), &status) != 0) {
            if (rules.statFailureEndsDirectory) break;
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            if (name[0] != '.') GetAllModules(fixed + "/", rules, index);
            continue;
        }
        if (S_ISLNK(status.st_mode) && ::stat(real.c_str(), &status) != 0) {
            if (rules.statFailureEndsDirectory) break;
            continue;
        }
        if (S_ISREG(status.st_mode)) index.push_back({name, dir, status.st_mtime});
    }
    ::closedir(handle);
}

bool compare(const ModuleStruct& a, const ModuleStruct& b) { return a.strName < b.strName; }

std::vector<ModuleStruct> buildModuleIndex(const std::string& dir, const ModuleWalkRules& rules)
{
    std::vector<ModuleStruct> index;
    GetAllModules(dir, rules, index);
    std::sort(index.begin(), index.end(), compare);
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
