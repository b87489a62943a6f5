#include "temp_root.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv::test {

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name)
{
    const char* old = std::getenv(name);
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    if (value != nullptr) setenv(name, value, 1);
    else unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (hadOld_) setenv(name_.c_str(), old_.c_str(), 1);
    else unsetenv(name_.c_str());
}

void makeDirectories(const std::string& path)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string part = path.substr(0, pos);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                throw std::runtime_error("mkdir " + part + ": " + std::strerror(errno));
        }
    }
}

void removeTree(const std::string& path)
{
    nftw(path.c_str(),
         [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 16,
         FTW_DEPTH | FTW_PHYS);
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TempRoot::TempRoot()
{
    char pattern[] = "/tmp/qvt.XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    for (const char* dir : {"/var/qvserver", "/usr/qvserver/etc", "/usr/qvserver/bin", "/dev",
                            "/tmp", "/etc", "/proc"})
        makeDirectories(path_ + dir);
    env_ = new ScopedEnv("QV_ROOT", path_.c_str());
}

TempRoot::~TempRoot()
{
    delete env_;
    removeTree(path_);
}

void TempRoot::writeFile(const std::string& absolutePath, const std::string& contents) const
{
    std::string full = at(absolutePath);
    makeDirectories(full.substr(0, full.rfind('/')));
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << contents;
}

std::string TempRoot::readFile(const std::string& absolutePath) const
{
    return readWholeFile(at(absolutePath));
}

bool TempRoot::exists(const std::string& absolutePath) const
{
    struct stat st;
    return lstat(at(absolutePath).c_str(), &st) == 0;
}

namespace {

void drain(int outFd, int errFd, ProgramResult& result)
{
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

} // namespace

ProgramResult runProgram(const std::string& path, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& extraEnv)
{
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (const auto& [name, value] : extraEnv) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execve(path.c_str(), argv.data(), environ);
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    ProgramResult result;
    drain(outPipe[0], errPipe[0], result);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string buildPath(const std::string& relative)
{
    const char* dir = std::getenv("QV_BUILD_DIR");
    if (dir == nullptr) throw std::runtime_error("QV_BUILD_DIR is not set (run through ctest)");
    return std::string(dir) + "/" + relative;
}

namespace {

const char* installedBuild()
{
    const char* dir = std::getenv("QV_INSTALLED_BUILD");
    return dir != nullptr && *dir != '\0' ? dir : nullptr;
}

// Installed programs find the suite's libraries beside them, but the outside libraries' test
// stand-ins stay in the release build; every child of a test inherits where they are. Set once
// while the test program loads, before it starts any thread.
[[maybe_unused]] const bool outsideLibrariesReachable = [] {
    const char* release = installedBuild();
    if (release == nullptr) return false;
    std::string path = std::string(release) + "/outside-lib";
    if (const char* old = std::getenv("LD_LIBRARY_PATH"); old != nullptr && *old != '\0')
        path += std::string(":") + old;
    setenv("LD_LIBRARY_PATH", path.c_str(), 1);
    return true;
}();

} // namespace

std::string installedPath(const std::string& relative)
{
    const char* release = installedBuild();
    if (release == nullptr) return buildPath(relative);
    const std::string stage = std::string(release) + "/stage/usr/qvserver/";
    const std::string name = relative.substr(relative.find_last_of('/') + 1);
    if (name.rfind("lib", 0) == 0 && name.find(".so") == std::string::npos) return stage + "lib";
    for (const char* folder : {"bin/", "lib/"}) {
        const std::string path = stage + folder + name;
        if (access(path.c_str(), F_OK) == 0) return path;
    }
    throw std::runtime_error(relative + " is not installed below " + stage);
}

} // namespace qv::test
