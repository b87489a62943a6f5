// Records the simulated controller's answers to one discovery of the IPMI object library, as a
// reply script for the fuzz targets that talk to the controller (see scripted_devsock.h).
// Usage: record_controller_session SCENARIO OUT. Built by hand against a main build (BUILD):
//   g++ -std=c++20 -fsanitize=address,undefined -I sim/bmc -I mgmtctl/libqvbmc
//       -I mgmtctl/libmgmtctl -I platform/devsock -I platform/sysenv
//       fuzz/tools/record_controller_session.cpp BUILD/sim/bmc/libqvsim_bmc.a
//       BUILD/mgmtctl/libqvbmc/libqvbmc.so BUILD/mgmtctl/libmgmtctl/libmgmtctl.so
//       BUILD/platform/devsock/libqv_devsock.a BUILD/platform/sysenv/libqv_sysenv.a
//       -Wl,-rpath,BUILD/mgmtctl/libqvbmc:BUILD/mgmtctl/libmgmtctl -o record_controller_session
// then: fuzz/make_seeds.py --recorder ./record_controller_session
#include "controller_simulator.h"
#include "pause_hook.h"
#include "qvbmc.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void discover()
{
    CIPMSystemExport* system = CreateIPMSystem();
    try {
        system->Initialize();
        system->RebuildSdrRepository(0);
        system->RebuildSystemEventLog(0);
        if (system->RebuildPackageList() == 0)
            for (int p = 0; p < system->GetPackageCount(); ++p) {
                CIPMPackageExport* package = system->GetPackage(p);
                package->RebuildSensorList();
                package->RebuildFruList();
                for (int i = 0; i < package->GetSensorCount(); ++i) {
                    SensorReadingStruct reading{};
                    package->GetSensor(i)->GetReading(&reading);
                }
                for (int i = 0; i < package->GetFruCount(); ++i) package->GetFru(i)->ReadFruData();
            }
    } catch (...) {
        std::fprintf(stderr, "discovery ended with an exception\n");
    }
    DestroyIPMSystem(system);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: record_controller_session SCENARIO OUT\n");
        return 2;
    }
    char root[] = "/tmp/qvrecord.XXXXXX";
    if (!mkdtemp(root)) return 1;
    setenv("QV_ROOT", root, 1);
    std::filesystem::create_directories(std::string(root) + "/dev");
    std::filesystem::create_directories(std::string(root) + "/var/qvserver");
    qv::mgmtctl::setPauseHookForTests([](int) {});
    int status = 0;
    {
        qv::sim::ControllerSimulator simulator;
        simulator.loadScenarioFile(argv[1]);
        simulator.start();
        discover();
        std::ofstream out(argv[2], std::ios::binary);
        // Driver requests only (codes 1..8); their journaled answers are the reply payloads.
        for (const auto& entry : simulator.journal()) {
            if (entry.requestCode > 8) continue;
            const std::string reply(entry.answer.begin(), entry.answer.end());
            if (reply.size() > 255) { status = 1; break; }
            out.put('\0').put(char(reply.size())).write(reply.data(), std::streamsize(reply.size()));
        }
        simulator.stop();
    }
    std::filesystem::remove_all(root);
    return status;
}
