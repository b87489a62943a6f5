#include "process_timing.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::bench {

pid_t spawn(const Command& command, int stdoutFd)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(stdoutFd >= 0 ? stdoutFd : null, 1);
        dup2(null, 2);
        std::vector<char*> argv = {const_cast<char*>(command.path.c_str())};
        for (const std::string& a : command.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(command.path.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

RunResult runOnce(const Command& command)
{
    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawn(command);
    if (pid < 0) return result;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR) return result;
    result.micros = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    result.maxRssKb = usage.ru_maxrss;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

double median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

PairFigures timePairs(const Command& a, const Command& b, int pairs)
{
    PairFigures figures;
    auto note = [&figures](const RunResult& r, const Command& c) {
        if (r.ok) return;
        if (figures.failures++ == 0) figures.firstFailure = c.path;
    };
    for (int i = 0; i < 3; ++i) {   // page cache and the programs' own first-run files
        note(runOnce(a), a);
        note(runOnce(b), b);
    }
    std::vector<double> timesA, timesB, ratios;
    for (int i = 0; i < pairs; ++i) {
        RunResult ra, rb;
        if (i % 2 == 0) {
            ra = runOnce(a);
            rb = runOnce(b);
        } else {
            rb = runOnce(b);
            ra = runOnce(a);
        }
        note(ra, a);
        note(rb, b);
        timesA.push_back(ra.micros);
        timesB.push_back(rb.micros);
        if (rb.micros > 0) ratios.push_back(ra.micros / rb.micros);
        figures.maxRssKbA = std::max(figures.maxRssKbA, ra.maxRssKb);
    }
    figures.medianA = median(timesA);
    figures.medianB = median(timesB);
    figures.medianRatio = median(ratios);
    return figures;
}

} // namespace qv::bench
