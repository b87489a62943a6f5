#include "process_timing.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

unsigned SetRegData(const char* pszFullKey, const void* pData, unsigned long sData);

namespace qv::bench {

pid_t spawn(const std::string& path, const std::vector<const char*>& args, int stdoutFd)
{
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(stdoutFd >= 0 ? stdoutFd : null, 1);
        dup2(null, 2);
        std::vector<char*> argv = {const_cast<char*>(path.c_str())};
        for (const char* a : args) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

void runOnce(const std::string& path, const std::vector<const char*>& args)
{
    const pid_t pid = spawn(path, args);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
}

double microsPerRun(const std::string& path, const std::vector<const char*>& args, int runs)
{
    for (int i = 0; i < 20; ++i) runOnce(path, args);   // warm the page cache
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) runOnce(path, args);
    std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / runs;
}

std::string besideMe(const char* argv0, const std::string& name)
{
    std::string self = argv0;
    size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/" + name;
}

std::string makeSandboxRoot()
{
    char root[] = "/tmp/qvbench.XXXXXX";
    if (mkdtemp(root) == nullptr) return {};
    setenv("QV_ROOT", root, 1);
    for (const char* dir : {"/var", "/var/qvserver", "/usr", "/usr/qvserver", "/usr/qvserver/etc"})
        mkdir((std::string(root) + dir).c_str(), 0755);
    const uint32_t model = 55;
    SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model);
    return root;
}

void removeSandboxRoot(const std::string& root)
{
    if (root.empty()) return;
    nftw(root.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 16,
         FTW_DEPTH | FTW_PHYS);
}

} // namespace qv::bench
