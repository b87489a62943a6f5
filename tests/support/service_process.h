// Processes of the management-controller service tests: the standalone simulator on a scenario
// and a service in the foreground, each stopped with SIGTERM by its owner.
#pragma once

#include <temp_root.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace qv::test {

inline nlohmann::json defaultScenario()
{
    std::ifstream in(std::string(QV_SCENARIO_DIR) + "/default.json");
    return nlohmann::json::parse(in);
}

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(); }

    // Starts `program` with `args` and the extra environment; stdout goes to `outPath` if given.
    void start(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env, const std::string& outPath = {}) {
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const auto& [name, value] : env)
                ::setenv(name.c_str(), value.c_str(), 1);
            if (!outPath.empty())
                (void)!std::freopen(outPath.c_str(), "w", stdout);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
    }
    pid_t pid() const { return pid_; }
    void signal(int signo) const { if (pid_ > 0) ::kill(pid_, signo); }
    // The exit status once the process ended within `timeout`, else -1 (it is then killed).
    int wait(std::chrono::milliseconds timeout) {
        if (pid_ <= 0)
            return -1;
        const auto end = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                pid_ = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int stop() {
        signal(SIGTERM);
        return wait(std::chrono::seconds(20));
    }

private:
    pid_t pid_ = -1;
};

// Writes the scenario into the root and runs qvsim on it until "ready".
inline bool startSimulator(ChildProcess& sim, const TempRoot& root, const nlohmann::json& scenario)
{
    const std::string file = root.path() + "/scenario.json";
    std::ofstream(file) << scenario.dump();
    const std::string ready = root.path() + "/qvsim.out";
    sim.start(buildPath("sim/server/qvsim"), {"--root", root.path(), "--scenario", file, "--foreground"},
              {}, ready);
    for (int i = 0; i < 400; ++i) {
        if (readWholeFile(ready).rfind("ready", 0) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

// The stock ipmitool on the simulator's dummy interface, below `root`; times in UTC.
inline const char kIpmitool[] = "/usr/bin/ipmitool";
inline ProgramResult runIpmitool(const TempRoot& root, const std::vector<std::string>& command)
{
    std::vector<std::string> args{"-I", "dummy"};
    args.insert(args.end(), command.begin(), command.end());
    return runProgram(kIpmitool, args,
                      {{"IPMI_DUMMY_SOCK", root.at("/var/qvsim/ipmi_dummy.socket")}, {"TZ", "UTC"}});
}

// Waits until `predicate` holds, up to `timeout`.
template <typename Predicate>
bool eventually(Predicate predicate, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
}

} // namespace qv::test
