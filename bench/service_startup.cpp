// Start-up of one service to ready, and its peak memory. The service runs in the foreground
// (QV_FOREGROUND=1 is set), is stopped with SIGTERM once ready, and must then exit with 0.
// Ready is a file or socket below the root that exists and is not an empty file ("path:P"), the
// IPMI cache service answering a request ("bmccache"), or the NIC parameter segment existing with
// the service attached to it ("nicsegment"). Prints "MS MAXRSS_KB PAUSE_MS OTHER_PAUSE_MS
// EXCHANGES", or "FAILED WHAT" with exit status 1.
//
// What the start-up spent waiting and talking, up to ready: with QV_BENCH_PAUSE_SHIM naming the
// pause ledger library (pause_ledger.c), it is preloaded into the service and PAUSE_MS is the sum
// of the controller library's pauses begun before ready (each cut at ready), OTHER_PAUSE_MS that
// of any other sleep; else both are "-". EXCHANGES is the number of driver exchanges the simulated
// controller served from the start to ready (its journal, through the control socket below the
// root), "-" when no simulator runs there.
//
// Usage: service_startup READY TIMEOUT_S PROGRAM [ARG...]
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "process_timing.h"
#include "qvbmccache.h"
#include "sandbox_path.h"
#include "shared_memory.h"

#include <sys/shm.h>

namespace {

bool pathReady(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_size > 0);
}

bool cacheAnswers()
{
    ParamsType params{};
    unsigned char buffer[4096];
    unsigned int returned = 0;
    return QvIpmiGetData(IPMI_REQ_SYSTEM, 0, 0, &params, sdType{buffer, sizeof buffer}, &returned) !=
           IPMI_PIPE_FAILED;
}

bool nicSegmentAttached()
{
    int key = 0;
    if (!nic::segmentKey(key)) return false;
    const int id = shmget(key, 0, 0);
    shmid_ds info{};
    return id >= 0 && shmctl(id, IPC_STAT, &info) == 0 && info.shm_nattch > 0;
}

// Driver exchanges the simulated controller has served so far: the entries of its journal made
// through the driver (request code 1); nothing when no simulator answers on the control socket.
std::optional<long> driverExchanges(const std::string& root)
{
    sockaddr_un address{};
    if (!qv::makeUnixAddress(root + "/var/qvsim/control.socket", address)) return std::nullopt;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    std::string text;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "{\"op\":\"journal\"}\n";
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            while (text.empty() || text.back() != '\n') {
                const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                text.append(buffer, static_cast<size_t>(n));
            }
        }
    }
    close(fd);
    const auto answer = nlohmann::json::parse(text, nullptr, false);
    if (answer.is_discarded() || !answer.value("ok", false) || !answer.contains("journal")) return std::nullopt;
    long count = 0;
    for (const auto& entry : answer["journal"])
        if (entry.value("code", 0) == 1) ++count;
    return count;
}

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct PauseSums {
    double libraryMs = 0;
    double otherMs = 0;
};

// The ledger's pauses begun before `readyNs`, each counted only up to it.
PauseSums pausesBefore(const std::string& ledger, long long readyNs)
{
    PauseSums sums;
    std::ifstream in(ledger);
    char kind = 0;
    long long startNs = 0, requestedUs = 0;
    while (in >> kind >> startNs >> requestedUs) {
        if (startNs > readyNs) continue;
        const double ms = std::min<double>(requestedUs / 1000.0, (readyNs - startNs) / 1e6);
        (kind == 'P' ? sums.libraryMs : sums.otherMs) += ms;
    }
    return sums;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace qv::bench;
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s READY TIMEOUT_S PROGRAM [ARG...]\n", argv[0]);
        return 2;
    }
    const std::string ready = argv[1];
    const auto timeout = std::chrono::seconds(std::max(1, std::atoi(argv[2])));
    Command service{argv[3], {}};
    for (int i = 4; i < argc; ++i) service.args.push_back(argv[i]);
    setenv("QV_FOREGROUND", "1", 1);
    const char* root = std::getenv("QV_ROOT");
    const std::string readyPath = ready.rfind("path:", 0) == 0 ? std::string(root ? root : "") + ready.substr(5) : "";
    if (readyPath.empty() && ready != "bmccache" && ready != "nicsegment") return 2;
    if (ready == "bmccache") setenv(kReplyWaitEnv, "250", 1);

    const char* shim = std::getenv("QV_BENCH_PAUSE_SHIM");
    std::string ledger;
    if (shim && *shim) {
        char name[] = "/tmp/qvbench-pauses.XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) return 1;
        close(fd);
        ledger = name;
        setenv("QV_BENCH_PAUSE_LEDGER", ledger.c_str(), 1);
    }
    const std::optional<long> exchangesBefore = driverExchanges(root ? root : "");

    // Only the service gets the ledger library; this process's own calls stay as they are.
    if (!ledger.empty()) setenv("LD_PRELOAD", shim, 1);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawn(service);
    if (!ledger.empty()) unsetenv("LD_PRELOAD");
    if (pid < 0) {
        if (!ledger.empty()) unlink(ledger.c_str());
        return 1;
    }
    bool up = false, exited = false;
    int status = 0;
    while (!up && std::chrono::steady_clock::now() - start < timeout) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            break;
        }
        up = !readyPath.empty() ? pathReady(readyPath) : ready == "bmccache" ? cacheAnswers() : nicSegmentAttached();
        if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const long long readyNs = monotonicNs();
    const std::optional<long> exchangesAtReady = up ? driverExchanges(root ? root : "") : std::nullopt;
    rusage usage{};
    if (!exited) {
        kill(pid, SIGTERM);
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {}
    }
    const bool cleanExit = !exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const PauseSums sums = ledger.empty() ? PauseSums{} : pausesBefore(ledger, readyNs);
    if (!ledger.empty()) unlink(ledger.c_str());
    if (!up || !cleanExit) {
        std::printf("FAILED %s\n", exited ? "exited before ready" : !up ? "not ready in time" : "exit status");
        return 1;
    }
    std::string pauses = "- -";
    if (!ledger.empty()) {
        char text[64];
        std::snprintf(text, sizeof text, "%.1f %.1f", sums.libraryMs, sums.otherMs);
        pauses = text;
    }
    const std::string exchanges = exchangesBefore && exchangesAtReady
                                      ? std::to_string(*exchangesAtReady - *exchangesBefore) : "-";
    std::printf("%.1f %ld %s %s\n", ms, usage.ru_maxrss, pauses.c_str(), exchanges.c_str());
    return 0;
}
