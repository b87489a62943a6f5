#include "lan_alert_daemon.h"

#include "log_sink.h"
#include "service_daemon.h"
#include "snmp_log.h"
#include "trap_sender.h"

#include <sys/ipc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

std::unique_ptr<SharedMemory> shm_parm;

namespace {

constexpr int kSegmentSize = sizeof(NICParametersInfo);
constexpr int kDefaultSampling = 5;      // seconds
constexpr int kDefaultProcessing = 60;   // seconds

long secondMs() { return qv::secondMsFromEnv(kSecondMsEnv); }

// Sleeps `seconds` sampling seconds or until a signal arrives.
void waitForNextCycle(int seconds) { qv::waitForSignal(static_cast<long long>(seconds) * secondMs()); }

} // namespace

bool daemon() { return detachService(); }

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
    if (!daemon()) return 1;
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
