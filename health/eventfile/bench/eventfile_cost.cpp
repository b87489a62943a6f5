// Event file library figures: GetEventCount and every per-event getter of the component facade
// over a soft log of 5000 lines described by the shipped evtspec.cfg. Reports, never fails.
// Measure in a build without sanitizers.
#include "qveventfile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Memory, fan and temperature events in turn, all with descriptions in the shipped file.
void writeSoftLog(const std::string& path, int lines)
{
    static const char* const kinds[] = {"0c %.2x 6f 01", "04 %.2x 01 02", "01 %.2x 01 07"};
    std::ofstream out(path, std::ios::trunc);
    for (int id = 1; id <= lines; ++id) {
        char tail[32], line[160];
        std::snprintf(tail, sizeof tail, kinds[id % 3], id & 0x7F);
        std::snprintf(line, sizeof line, "%.2x %.2x 02 80 43 6d 38 21 00 04 %s a5 00 DIMM%d!bank 0\n", id & 0xFF,
                      id >> 8, tail, id % 4);
        out << line;
    }
}

} // namespace

int main()
{
    char rootTemplate[] = "/tmp/qvbench.XXXXXX";
    const char* root = ::mkdtemp(rootTemplate);
    if (root == nullptr) return 1;
    ::setenv("QV_ROOT", root, 1);
    const std::string etc = std::string(root) + "/usr/qvserver/etc/";
    std::filesystem::create_directories(etc);
    std::filesystem::copy_file(QV_EVTSPEC_FILE, etc + "evtspec.cfg");
    constexpr int kEvents = 5000;
    writeSoftLog(etc + "evtlog.dat", kEvents);

    auto start = Clock::now();
    const int count = GetEventCount();
    const double countMs = msSince(start);
    int (*const getters[])(int, char*, int) = {GetEventSeverity, GetEventCode, GetEventType, GetEventSequence,
                                               GetEventDescription, GetEventHelpText, GetEventDateTime};
    start = Clock::now();
    int failures = 0;
    for (int n = 0; n < count; ++n) {
        for (auto get : getters) {
            char text[512];
            if (get(n, text, sizeof text) != 0) ++failures;
        }
    }
    const double gettersMs = msSince(start);
    std::printf("GetEventCount over %d lines: %d events in %.1f ms\n", kEvents, count, countMs);
    std::printf("all 7 getters of every event: %.1f ms (%.3f ms an event, %d getters failed)\n", gettersMs,
                count > 0 ? gettersMs / count : 0.0, failures);
    std::filesystem::remove_all(root);
    return 0;
}
