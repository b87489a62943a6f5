// Cost of one pass request: wall time from exec to exit of the test agent answering a GET,
// divided by that of a minimal C program printing the same three lines. Reports, never fails.
//
// Usage: agent_cost [RUNS]   (the two programs are found beside this one)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

unsigned SetRegData(const char* pszFullKey, const void* pData, unsigned long sData);

namespace {

void runOnce(const std::string& path, const std::vector<const char*>& args)
{
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv = {const_cast<char*>(path.c_str())};
        for (const char* a : args) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
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

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    char root[] = "/tmp/qvbench.XXXXXX";
    if (mkdtemp(root) == nullptr) return 0;
    setenv("QV_ROOT", root, 1);
    for (const char* dir : {"/var", "/var/qvserver", "/usr", "/usr/qvserver", "/usr/qvserver/etc"})
        mkdir((std::string(root) + dir).c_str(), 0755);
    const uint32_t model = 55;
    SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model);

    const std::string agent = besideMe(argv[0], "../snmpagent/tests/qvtestagent");
    const std::string minimal = besideMe(argv[0], "minimal_agent");
    const double agentUs = microsPerRun(agent, {"-g", ".1.3.6.1.4.1.93071.2.99.2.0"}, runs);
    const double minimalUs = microsPerRun(minimal, {}, runs);
    std::printf("runs: %d\nqvtestagent -g: %.1f us per request\nminimal C program: %.1f us\n"
                "ratio: %.2f (goal: at most 1.30)\n",
                runs, agentUs, minimalUs, agentUs / minimalUs);

    nftw(root, [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 16,
         FTW_DEPTH | FTW_PHYS);
    return 0;
}
