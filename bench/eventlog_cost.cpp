// Event log figures: draining a cursor over soft logs of 500 and 5000 lines, and one write to
// both logs, against the in-process simulated controller. Reports, never fails.
#include "controller_simulator.h"
#include "qveventlog.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void writeSoftLog(const std::string& path, int lines)
{
    std::ofstream out(path, std::ios::trunc);
    char line[128];
    for (int id = 1; id <= lines; ++id) {
        std::snprintf(line, sizeof line,
                      "%.2x %.2x 02 80 43 6d 38 41 00 03 0c %.2x 6f a0 00 01 DIMM%d!bank 0\n",
                      id & 0xFF, id >> 8, id & 0xFF, id % 4);
        out << line;
    }
}

void drainCursor(const std::string& etc, int lines)
{
    writeSoftLog(etc + "evtlog.dat", lines);
    std::filesystem::remove(etc + "bench.cfg");
    const auto start = Clock::now();
    int read = 0;
    EvtStruct event{};
    while (QVEL_ReadNextUnseenEvent(&event, "bench.cfg") == 0) ++read;
    const double ms = msSince(start);
    std::printf("drain cursor over %5d lines: %d records in %.1f ms (%.3f ms a record)\n", lines, read, ms,
                read > 0 ? ms / read : 0.0);
    std::fflush(stdout);
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
    std::filesystem::create_directories(std::string(root) + "/dev");
    {
        qv::sim::ControllerSimulator sim;
        sim.loadScenario(nlohmann::json{{"clock", 946684800}});
        sim.start();
        drainCursor(etc, 500);
        drainCursor(etc, 5000);
        std::filesystem::remove(etc + "evtlog.dat");
        Sel record{};
        record.recordType = 2;
        record.sensorType = 0x0C;
        char add[] = "DIMM1!bank 0";
        const auto start = Clock::now();
        const int result = QVEL_WriteEvent(&record, add);
        std::printf("one QVEL_WriteEvent: %.1f ms (result %d; 100 ms of it the controller's settle time)\n",
                    msSince(start), result);
        sim.stop();
    }
    std::filesystem::remove_all(root);
    return 0;
}
