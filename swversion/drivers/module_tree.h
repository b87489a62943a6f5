// The module files below a kernel's module directory, as a name-sorted index. Both driver lists
// of the suite build it; what differs between them is a parameter.
#pragma once

#include <functional>
#include <optional>
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

// Calls `visit(name, directory)` for every regular file below `dir` (a fixed path ending in
// '/'), descending into subdirectories whose names do not begin with '.'. A symbolic link is
// never descended through, so a link loop cannot make the walk endless; a link to a regular
// file counts as one.
void walkModules(const std::string& dir, const ModuleWalkRules& rules,
                 const std::function<void(const char* name, const std::string& directory)>& visit);

// Adds every regular file below `dir` to `index` (the walk above).
void GetAllModules(const std::string& dir, const ModuleWalkRules& rules,
                   std::vector<ModuleStruct>& index);

bool compare(const ModuleStruct& a, const ModuleStruct& b);

// Walks `dir` and sorts the result by name (byte order); a name found twice keeps walk order.
std::vector<ModuleStruct> buildModuleIndex(const std::string& dir, const ModuleWalkRules& rules);

// The halving search between `lo` and `hi` (inclusive): `order(mid)` compares the wanted name
// with the entry at `mid` as strcmp does. The position found, or -1.
int BinarySearch(int lo, int hi, const std::function<int(int mid)>& order);

// Position of `name` in the sorted `modules` between `lo` and `hi` (inclusive), or -1.
int BinarySearch(const std::vector<ModuleStruct>& modules, int lo, int hi, const char* name);

// What BinarySearch over the whole index of `dir` finds for each of `names` (same positions),
// got from one walk without building or sorting the index: a tree holds thousands of files
// and only a few names are wanted.
std::vector<std::optional<ModuleStruct>> findModules(const std::string& dir, const ModuleWalkRules& rules,
                                                     const std::vector<std::string>& names);
