#include "server_setup.h"

#include <bios_image.h>
#include <sandbox_path.h>

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qv::sim {

namespace fs = std::filesystem;

SimulatedServer::SimulatedServer(const ServerOptions& options) : options_(options) {
    root_ = fs::absolute(options.root).lexically_normal().string();
    while (root_.size() > 1 && root_.back() == '/')
        root_.pop_back();
    fs::create_directories(root_ + "/var/qvsim");
    fs::create_directories(root_ + "/dev");
    ::setenv("QV_ROOT", root_.c_str(), 1);

    nlohmann::json scenario = readScenarioFile(options.scenario);
    simulator_.loadScenario(scenario);
    scsi_.loadScenario(scenario);
    if (scenario.contains("bios")) {
        BiosInventory inventory = parseBiosInventory(scenario["bios"]);
        if (!writeBiosImage(qv::sandboxPath("/dev/mem"), renderBiosImage(inventory, inventory.format)))
            throw std::runtime_error("cannot write the BIOS memory image");
        if (auto nvram = renderNvramImage(inventory);
            nvram && !writeBiosImage(qv::sandboxPath("/dev/nvram"), *nvram))
            throw std::runtime_error("cannot write the CMOS image");
    }
    if (scenario.contains("fixtures")) {
        // a directory beside the scenario whose tree is copied into the root as it stands
        fs::path tree = fs::path(options.scenario).parent_path() / scenario["fixtures"].get<std::string>();
        fs::copy(tree, root_, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
}

void SimulatedServer::start() {
    simulator_.serveIpmiDummy(dummySocketPath());
    simulator_.start();
    scsi_.start();
}

void SimulatedServer::announceReady() {
    if (!options_.pidFile.empty()) {
        std::ofstream(options_.pidFile) << ::getpid() << "\n";
    }
    std::printf("ready\n");
    std::fflush(stdout);
}

void SimulatedServer::stop() {
    scsi_.stop();
    simulator_.stop();
    if (!options_.pidFile.empty())
        ::unlink(options_.pidFile.c_str());
}

bool detach() {
    std::fflush(stdout);
    pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid > 0)
        ::_exit(0);
    ::setsid();
    return true;
}

} // namespace qv::sim
