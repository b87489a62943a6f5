// Start-up of one service to ready, and its peak memory. The service runs in the foreground
// (QV_FOREGROUND=1 is set), is stopped with SIGTERM once ready, and must then exit with 0.
// Ready is a file or socket below the root that exists and is not an empty file ("path:P"), the
// IPMI cache service answering a request ("bmccache"), or the NIC parameter segment existing with
// the service attached to it ("nicsegment"). Prints "MS MAXRSS_KB", or "FAILED
// WHAT" with exit status 1.
//
// Usage: service_startup READY TIMEOUT_S PROGRAM [ARG...]
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "process_timing.h"
#include "qvbmccache.h"
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

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawn(service);
    if (pid < 0) return 1;
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
    rusage usage{};
    if (!exited) {
        kill(pid, SIGTERM);
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {}
    }
    const bool cleanExit = !exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!up || !cleanExit) {
        std::printf("FAILED %s\n", exited ? "exited before ready" : !up ? "not ready in time" : "exit status");
        return 1;
    }
    std::printf("%.0f %ld\n", ms, usage.ru_maxrss);
    return 0;
}
