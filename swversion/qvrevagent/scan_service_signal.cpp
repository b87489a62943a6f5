#include "scan_service_signal.h"

#include <csignal>
#include <fstream>
#include <string>

namespace {
ScanServiceSignaller g_signaller = nullptr;
} // namespace

bool processIsScanService(pid_t pid)
{
    if (pid <= 0) return false;
    // The kernel's own table, deliberately not below the sandbox root.
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    return in && std::getline(in, name) && name == "qvrevscand";
}

bool signalScanService(pid_t pid, int signo)
{
    return processIsScanService(pid) && ::kill(pid, signo) == 0;
}

void setScanServiceSignaller(ScanServiceSignaller signaller) { g_signaller = signaller; }

bool sendToScanService(pid_t pid, int signo)
{
    return (g_signaller ? g_signaller : signalScanService)(pid, signo);
}
