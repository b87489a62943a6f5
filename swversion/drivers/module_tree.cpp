#include "module_tree.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include "sandbox_path.h"

void walkModules(const std::string& dir, const ModuleWalkRules& rules,
                 const std::function<void(const char* name, const std::string& directory)>& visit)
{
    DIR* handle = ::opendir(qv::sandboxPath(dir).c_str());
    if (handle == nullptr) return;
    while (const dirent* entry = ::readdir(handle)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        // A module tree holds thousands of files: the entry's own type spares a status read
        // for each of them; only links and entries of unknown type are looked at.
        if (entry->d_type == DT_DIR) {
            if (name[0] != '.') walkModules(dir + name + "/", rules, visit);
            continue;
        }
        if (entry->d_type == DT_REG) {
            visit(name, dir);
            continue;
        }
        const std::string real = qv::sandboxPath(dir + name);
        struct stat status {};
        if (::lstat(real.c_str(), &status) != 0) {
            if (rules.statFailureEndsDirectory) break;
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            if (name[0] != '.') walkModules(dir + name + "/", rules, visit);
            continue;
        }
        if (S_ISLNK(status.st_mode) && ::stat(real.c_str(), &status) != 0) {
            if (rules.statFailureEndsDirectory) break;
            continue;
        }
        if (S_ISREG(status.st_mode)) visit(name, dir);
    }
    ::closedir(handle);
}

void GetAllModules(const std::string& dir, const ModuleWalkRules& rules,
                   std::vector<ModuleStruct>& index)
{
    walkModules(dir, rules, [&](const char* name, const std::string& directory) {
        index.push_back({name, directory});
    });
}

bool compare(const ModuleStruct& a, const ModuleStruct& b) { return a.strName < b.strName; }

std::vector<ModuleStruct> buildModuleIndex(const std::string& dir, const ModuleWalkRules& rules)
{
    std::vector<ModuleStruct> found;
    GetAllModules(dir, rules, found);
    std::stable_sort(found.begin(), found.end(), compare);
    return found;
}

int BinarySearch(int lo, int hi, const std::function<int(int mid)>& order)
{
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int result = order(mid);
        if (result == 0) return mid;
        if (result < 0) hi = mid - 1;
        else lo = mid + 1;
    }
    return -1;
}

int BinarySearch(const std::vector<ModuleStruct>& modules, int lo, int hi, const char* name)
{
    return BinarySearch(lo, hi, [&](int mid) {
        return std::strcmp(name, modules[static_cast<size_t>(mid)].strName.c_str());
    });
}

std::vector<std::optional<ModuleStruct>> findModules(const std::string& dir, const ModuleWalkRules& rules,
                                                     const std::vector<std::string>& names)
{
    // In the sorted index, the files named `names[k]` sit in one run that starts after every
    // smaller name, in walk order: counting the smaller names and keeping the run's directories
    // gives each position of the index that the search can look at.
    struct Wanted {
        int smaller = 0;
        std::vector<std::string> run;
    };
    std::vector<Wanted> wanted(names.size());
    int total = 0;
    walkModules(dir, rules, [&](const char* name, const std::string& directory) {
        ++total;
        for (size_t k = 0; k < names.size(); ++k) {
            const int order = std::strcmp(name, names[k].c_str());
            if (order < 0) ++wanted[k].smaller;
            else if (order == 0) wanted[k].run.push_back(directory);
        }
    });
    std::vector<std::optional<ModuleStruct>> found(names.size());
    for (size_t k = 0; k < names.size(); ++k) {
        const Wanted& w = wanted[k];
        const int runEnd = w.smaller + static_cast<int>(w.run.size());
        const int position = BinarySearch(0, total - 1, [&](int mid) {
            return mid < w.smaller ? 1 : mid >= runEnd ? -1 : 0;
        });
        if (position >= 0) found[k] = ModuleStruct{names[k], w.run[static_cast<size_t>(position - w.smaller)]};
    }
    return found;
}
