// Cost of one environment-table GET on the sensor road: qvclimateagent asking a running
// qvclimated, which reads the simulated controller, against the minimal C pass program.
// Reports, never fails.
//
// Usage: climate_cost [RUNS]   (the programs are found relative to this one in the build tree)
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "process_timing.h"

namespace {

// The voltage sensor's lower non-critical threshold: agent, service, library and controller.
constexpr char kVoltageLnc[] = ".1.3.6.1.4.1.93071.2.23.26.2.1.1.12.1";
// The same sensor's type: agent and service only, answered from the SDR read at start.
constexpr char kVoltageType[] = ".1.3.6.1.4.1.93071.2.23.26.2.1.1.2.1";

void stop(pid_t pid)
{
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Starts the simulator and waits for its "ready" line.
pid_t startSimulator(const std::string& program, const std::string& root)
{
    int out[2];
    if (pipe(out) != 0) return -1;
    const std::string scenario = std::string(QV_SCENARIO_DIR) + "/default.json";
    const pid_t pid = qv::bench::spawn(program, {"--root", root.c_str(), "--scenario", scenario.c_str(),
                                                 "--foreground"}, out[1]);
    close(out[1]);
    char buffer[16] = {};
    const ssize_t n = read(out[0], buffer, sizeof buffer - 1);
    close(out[0]);
    if (n <= 0 || std::string(buffer).rfind("ready", 0) != 0) {
        stop(pid);
        return -1;
    }
    return pid;
}

// Starts the service in the foreground and waits for its socket (the IPMB probe takes a while).
pid_t startService(const std::string& program, const std::string& root)
{
    setenv("QV_FOREGROUND", "1", 1);
    setenv("QV_LOG_FILE", (root + "/qvclimated.log").c_str(), 1);
    const pid_t pid = qv::bench::spawn(program, {});
    const std::string socket = root + "/var/qvserver/qvclimated.socket";
    struct stat st;
    for (int i = 0; i < 1200 && stat(socket.c_str(), &st) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (stat(socket.c_str(), &st) != 0) {
        stop(pid);
        return -1;
    }
    return pid;
}

// The agent's answer, to show the road really carries the value being timed.
std::string answerOf(const std::string& agent)
{
    int out[2];
    if (pipe(out) != 0) return {};
    const pid_t pid = qv::bench::spawn(agent, {"-g", kVoltageLnc}, out[1]);
    close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace qv::bench;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const std::string root = makeSandboxRoot();
    if (root.empty()) return 0;

    const pid_t simulator = startSimulator(besideMe(argv[0], "../sim/server/qvsim"), root);
    const pid_t service = simulator > 0 ? startService(besideMe(argv[0], "../health/qvclimated/qvclimated"), root) : -1;
    if (service > 0) {
        const std::string agent = besideMe(argv[0], "../health/qvclimateagent/qvclimateagent");
        const std::string answer = answerOf(agent);
        const double agentUs = microsPerRun(agent, {"-g", kVoltageLnc}, runs);
        const double typeUs = microsPerRun(agent, {"-g", kVoltageType}, runs);
        const double minimalUs = microsPerRun(besideMe(argv[0], "minimal_agent"), {}, runs);
        std::printf("runs: %d\nminimal C program: %.1f us\n"
                    "qvclimateagent -g %s (threshold, one controller exchange): %.1f us (answer: %s)\n"
                    "ratio: %.2f\n"
                    "qvclimateagent -g %s (type, no controller exchange): %.1f us\nratio: %.2f\n",
                    runs, minimalUs, kVoltageLnc, agentUs, answer.c_str(), agentUs / minimalUs, kVoltageType,
                    typeUs, typeUs / minimalUs);
    } else {
        std::printf("the sensor road did not come up (simulator %s)\n", simulator > 0 ? "ready" : "failed");
    }
    stop(service);
    stop(simulator);
    removeSandboxRoot(root);
    return 0;
}
