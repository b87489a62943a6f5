// Test fixtures shared by every test of the suite: a private sandbox root (QV_ROOT) that is
// removed again, scoped environment variables, and running a built program to capture its output.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qv::test {

// Sets (or, with nullptr, unsets) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool hadOld_;
};

// A fresh directory made with mkdtemp under /tmp (short, so socket paths fit), with the suite's
// standard directories, exported as QV_ROOT while the object lives and removed afterwards.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    // Path of a fixed absolute path below this root.
    std::string at(const std::string& absolutePath) const { return path_ + absolutePath; }
    void writeFile(const std::string& absolutePath, const std::string& contents) const;
    std::string readFile(const std::string& absolutePath) const;
    bool exists(const std::string& absolutePath) const;

private:
    std::string path_;
    ScopedEnv* env_;
};

void makeDirectories(const std::string& path);
void removeTree(const std::string& path);
std::string readWholeFile(const std::string& path);

struct ProgramResult {
    int exitCode = -1;   // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs a program with fork/execv, the current environment plus `extraEnv`, no stdin.
ProgramResult runProgram(const std::string& path, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& extraEnv = {});

// Absolute path of a file in the CMake build tree (QV_BUILD_DIR, set by CTest).
std::string buildPath(const std::string& relative);

// A program, library or library folder that `cmake --install` ships, named by its place in the
// build tree ("inventory/qvhostagent/qvhostagent", "mgmtctl/libqvbmc"). When QV_INSTALLED_BUILD
// names a release build whose `stage/` holds what `cmake --install` laid out there (the test
// command makes one), the installed file is used, so process-level tests run what ships; a file
// the stage lacks is an error. Without QV_INSTALLED_BUILD it is the file in this build tree.
std::string installedPath(const std::string& relative);

} // namespace qv::test
