// Cost of one volume-table GET: qvspaceagent rebuilds the volume list from the mount table and
// the names file and measures the volume on every request. Wall time from exec to exit against
// the minimal C program printing the same three lines. Reports, never fails.
//
// Usage: space_cost [RUNS]   (the programs are found relative to this one in the build tree)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process_timing.h"
#include "registry.h"

namespace {

constexpr char kCurrentTotal[] = ".1.3.6.1.4.1.93071.2.23.15.3.2.1.11.1";

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

// Two volumes served by the file status stand-in, the files in /usr/qvserver/etc.
void prepareVolumes(const std::string& root)
{
    const char dir[] = "/usr/qvserver/etc";
    SetRegData("SOFTWARE\\Quorvane\\Trivoke=Globalpath", dir, std::strlen(dir));
    SetRegData("SOFTWARE\\Quorvane\\Trivoke\\Qvscdll\\CurrentVersion=Cfgfile", "qvvolcap.cfg",
               std::strlen("qvvolcap.cfg"));
    mkdir((root + "/var/qvsim").c_str(), 0755);
    mkdir((root + "/etc").c_str(), 0755);
    writeFile(root + "/etc/mtab", "/dev/sda1 / ext2 rw 0 0\n/dev/sdb1 /home ext2 rw 0 0\n");
    writeFile(root + "/var/qvsim/volumes",
              "device /dev/sda1 0x801\ndevice /dev/sdb1 0x811\n"
              "mount / 0x801 4096 1000 250\nmount /home 0x811 4096 1000 500\n");
}

// One run whose exit status and answer are checked before timing anything.
bool answersOnce(const std::string& agent)
{
    int out[2];
    if (pipe(out) != 0) return false;
    const pid_t pid = qv::bench::spawn(agent, {"-g", kCurrentTotal}, out[1]);
    close(out[1]);
    char buffer[256] = {};
    const ssize_t n = read(out[0], buffer, sizeof buffer - 1);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return n > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           std::strstr(buffer, "\ninteger\n4000\n") != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace qv::bench;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const std::string root = makeSandboxRoot();
    if (root.empty()) return 0;
    prepareVolumes(root);

    const std::string agent = besideMe(argv[0], "../storage/qvspaceagent/qvspaceagent");
    const std::string minimal = besideMe(argv[0], "minimal_agent");
    if (!answersOnce(agent)) {
        std::printf("qvspaceagent did not answer the volume-table GET\n");
        removeSandboxRoot(root);
        return 0;
    }
    const double agentUs = microsPerRun(agent, {"-g", kCurrentTotal}, runs);
    const double minimalUs = microsPerRun(minimal, {}, runs);
    std::printf("runs: %d\nqvspaceagent volume-table GET: %.1f us per request\n"
                "minimal C program: %.1f us\nratio: %.2f\n",
                runs, agentUs, minimalUs, agentUs / minimalUs);
    removeSandboxRoot(root);
    return 0;
}
