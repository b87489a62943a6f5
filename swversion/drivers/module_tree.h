// The module files below a kernel's module directory, as a name-sorted index. Both driver lists
// of the suite build it; what differs between them is a parameter.
#pragma once

#include <string>
#include <vector>

struct ModuleStruct {
    std::string strName;       // file name
    std::string strPath;       // directory (a fixed path, not below the sandbox root), ending in '/'
};

struct ModuleWalkRules {
    // An entry whose status cannot be read: true ends the listing of its directory, false
    // skips the entry alone.
    bool statFailureEndsDirectory = false;
};

// Adds every regular file below `dir` (a fixed path ending in '/') to `index`, descending into
// subdirectories whose names do not begin with '.'. A symbolic link is never descended
// through, so a link loop cannot make the walk endless; a link to a regular file counts as one.
void GetAllModules(const std::string& dir, const ModuleWalkRules& rules,
                   std::vector<ModuleStruct>& index);

bool compare(const ModuleStruct& a, const ModuleStruct& b);

// Walks `dir` and sorts the result by name (byte order).
std::vector<ModuleStruct> buildModuleIndex(const std::string& dir, const ModuleWalkRules& rules);

// Position of `name` in the sorted `modules` between `lo` and `hi` (inclusive), or -1.
int BinarySearch(const std::vector<ModuleStruct>& modules, int lo, int hi, const char* name);
