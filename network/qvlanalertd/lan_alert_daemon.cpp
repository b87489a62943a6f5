#include "lan_alert_daemon.h"

#include "log_sink.h"
#include "sandbox_path.h"
#include "snmp_log.h"
#include "trap_sender.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

std::unique_ptr<SharedMemory> shm_parm;

namespace {

constexpr int kSegmentSize = sizeof(NICParametersInfo);
constexpr int kDefaultSampling = 5;      // seconds
constexpr int kDefaultProcessing = 60;   // seconds

bool foreground()
{
    const char* value = std::getenv(kForegroundEnv);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

long secondMs()
{
    const char* value = std::getenv(kSecondMsEnv);
    const long ms = value != nullptr ? std::strtol(value, nullptr, 10) : 0;
    return ms > 0 && ms <= 1000 ? ms : 1000;
}

void reopenStandardDescriptors()
{
    // A sandbox root rarely carries a null device of its own.
    int fd = ::open(qv::sandboxPath("/dev/null").c_str(), O_RDWR);
    if (fd < 0) fd = ::open("/dev/null", O_RDWR);
    if (fd < 0) return;
    for (int target = 0; target <= 2; ++target)
        if (fd != target) ::dup2(fd, target);
    if (fd > 2) ::close(fd);
}

// Sleeps `seconds` sampling seconds or until a signal arrives. Signals are blocked between the
// check and the wait, so one that comes just before the wait still ends it.
void waitForNextCycle(int seconds)
{
    sigset_t handled, previous;
    sigemptyset(&handled);
    for (int signo : {SIGHUP, SIGTERM, SIGINT, SIGQUIT, SIGABRT}) sigaddset(&handled, signo);
    sigprocmask(SIG_BLOCK, &handled, &previous);
    if (!signalPending()) {
        const long long ms = static_cast<long long>(seconds) * secondMs();
        timespec timeout{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        ::ppoll(nullptr, 0, &timeout, &previous);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

} // namespace

bool daemon()
{
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid > 0) ::_exit(0);
    ::setsid();
    if (::chdir("/") != 0) {
        // Nothing depends on the working directory; it is only left so no mount stays busy.
    }
    // Nothing the daemon creates may be world-writable.
    ::umask(S_IWOTH);
    for (int fd = 0; fd < 100; ++fd) ::close(fd);
    reopenStandardDescriptors();
    return true;
}

bool preparingNICParameters(NICParameters& nic_parm)
{
    if (shm_parm->getOperationStatus() != 0) {
        log(LOG_WARNING, "error: creating shared memory for NIC Parameters\n");
        return false;
    }
    shm_parm->attach();
    if (shm_parm->getOperationStatus() != 0)
        log(LOG_WARNING, "error: attaching shared memory segment for NIC Parameters\n");
    if (nic_parm.getOperationStatus() != 0) {
        log(LOG_WARNING, "error: loading NIC Parameters data\n");
        return false;
    }
    if (nic_parm.getNICParametersCount() == 0) return true;
    NICParametersInfo first{};
    nic_parm.getNICParametersInfo(0, first);
    if (!shm_parm->lock()) return false;
    void* buffer = shm_parm->getBuffer();
    if (buffer != nullptr) std::memcpy(buffer, &first, sizeof first);
    const bool unlocked = shm_parm->unlock();
    return buffer != nullptr && unlocked;
}

int runLanAlertDaemon()
{
    if (!foreground() && !daemon()) return 1;
    qv::logOpen("qvlanalertd", LOG_DAEMON);

    shm_parm.reset(new (std::nothrow) SharedMemory(kSegmentSize, IPC_CREAT | 0600));
    if (!shm_parm) {
        log(LOG_WARNING, "unable to allocate a shared memory object");
        return 1;
    }
    NICParameters nic_parm(false);
    if (!preparingNICParameters(nic_parm)) return 1;
    install_signal_handlers();
    parse_trap_notification_file();

    int sampling_rate = 0;
    int processing_rate = 0;
    int proctime = 0;
    nic_parm.setOperationStatus(0);
    nic_parm.setSamplingThreshold(kDefaultSampling);
    if (nic_parm.getOperationStatus() != 0) {
        log(LOG_WARNING, "setting sampling rate failed\n");
        sampling_rate = kDefaultSampling;
    }
    nic_parm.setProcessingThreshold(1);
    if (nic_parm.getOperationStatus() != 0) {
        log(LOG_WARNING, "setting processing rate failed\n");
        processing_rate = kDefaultProcessing;
    }
    // The stored settings (or the file's defaults) replace the start values above.
    nic_parm.loadSettings();

    for (;;) {
        int status = 0;
        if (serviceSignals(status)) return status;
        sampling_rate = nic_parm.getSamplingThreshold();
        if (nic_parm.getOperationStatus() != 0) {
            log(LOG_WARNING, "getting sampling rate failed\n");
            sampling_rate = kDefaultSampling;
        }
        processing_rate = nic_parm.getProcessingThreshold() * 60;
        if (nic_parm.getOperationStatus() != 0) {
            log(LOG_WARNING, "getting processing rate failed\n");
            processing_rate = kDefaultProcessing;
        }
        if (!processingNICParametersGroup(processing_rate, proctime, nic_parm, status))
            return status;
        proctime = proctime < processing_rate ? proctime + sampling_rate : 0;
        // The period is settable over SNMP: 0 or less would spin.
        waitForNextCycle(std::max(sampling_rate, 1));
    }
}
