// Cost of the software version agent: one driver-table GET (the driver list is collected again
// for every value) on a module tree of a few thousand files, and a whole walk of its subtree as
// snmpd would run it, one process per GETNEXT. Reports, never fails.
//
// Usage: rev_cost [RUNS]   (qvrevagent and minimal_agent are found beside this one)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process_timing.h"

namespace {

void writeFile(const std::string& path, const std::string& text)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    std::ofstream(path) << text;
}

// 3000 module files in 30 directories, 20 of them listed in qvswa.cfg.
void makeFixture(const std::string& root)
{
    writeFile(root + "/proc/sys/kernel/osrelease", "6.1.0\n");
    writeFile(root + "/proc/modules", "m_0_0 1 0\n");
    std::string list = "SCSI\n";
    for (int d = 0; d < 30; ++d)
        for (int f = 0; f < 100; ++f) {
            const std::string name = "m_" + std::to_string(d) + "_" + std::to_string(f) + ".ko";
            writeFile(root + "/lib/modules/6.1.0/kernel/drivers/scsi/d" + std::to_string(d) + "/" + name, "x");
            if (f == 0 && d < 20) list += name + "\n";
        }
    writeFile(root + "/usr/qvserver/etc/qvswa.cfg", list + "*\n");
    writeFile(root + "/etc/snmp/snmpd.conf", "");
}

// The first line (the OID) of one GETNEXT answer; empty at the end of the subtree.
std::string getNext(const std::string& agent, const std::string& oid)
{
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t pid = qv::bench::spawn(agent, {"-n", oid.c_str()}, out[1]);
    ::close(out[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    return text.substr(0, text.find('\n'));
}

} // namespace

int main(int argc, char** argv)
{
    using namespace qv::bench;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const std::string root = makeSandboxRoot();
    if (root.empty()) return 0;
    makeFixture(root);

    const std::string agent = besideMe(argv[0], "../swversion/qvrevagent/qvrevagent");
    const std::string minimal = besideMe(argv[0], "minimal_agent");
    const char* kSubtree = ".1.3.6.1.4.1.93071.2.23.24";
    const double getUs = microsPerRun(agent, {"-g", ".1.3.6.1.4.1.93071.2.23.24.3.1.1.2.0"}, runs);
    const double minimalUs = microsPerRun(minimal, {}, runs);

    const auto start = std::chrono::steady_clock::now();
    int values = 0;
    for (std::string oid = getNext(agent, kSubtree); oid.rfind(kSubtree, 0) == 0;
         oid = getNext(agent, oid))
        ++values;
    const double walkMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    std::printf("module tree: 3000 files, 20 listed drivers\n"
                "qvrevagent driver GET: %.1f us per request (minimal C program %.1f us, ratio %.2f)\n"
                "whole walk: %d values in %.1f ms (%.1f ms per value)\n",
                getUs, minimalUs, getUs / minimalUs, values, walkMs, values ? walkMs / values : 0.0);
    removeSandboxRoot(root);
    return 0;
}
