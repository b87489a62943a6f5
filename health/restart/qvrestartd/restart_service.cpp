#include "restart_service.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>

#include "asr_params.h"
#include "agent_identification.h"
#include "log_sink.h"
#include "mgmtctl.h"
#include "sandbox_path.h"
#include "service_daemon.h"
#include "snmp_log.h"
#include "unix_dgram_socket.h"

namespace {

// The stop signal received, 0 while none. The handler only records it: the loop stops the
// watchdog, so no controller exchange is ever cut in half.
volatile sig_atomic_t g_stopSignal = 0;

void onStopSignal(int signo) { g_stopSignal = signo; }

// The stop signals stay blocked except while the loop waits, so one that arrives during a
// kick ends the next wait at once.
sigset_t g_waitMask;

bool installStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    bool installed = true;
    for (const auto& [signo, name] : {std::pair{SIGINT, "SIGINT"}, std::pair{SIGTERM, "SIGTERM"}}) {
        if (::sigaction(signo, &action, nullptr) != 0) {
            log(LOG_WARNING, "%s Signal handler installation failed (%d)", name, errno);
            installed = false;
        }
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &stopSignals, &g_waitMask);
    sigdelset(&g_waitMask, SIGINT);
    sigdelset(&g_waitMask, SIGTERM);
    return installed;
}

bool stopSignalled() { return g_stopSignal != 0; }

bool openMMC()
{
    const int result = RetryMMC_OpenDevice();
    if (result != 0) log(LOG_WARNING, "openMMC() - open mmc device failed (MMC error code = %d)\n", result);
    return result == 0;
}

bool closeMMC()
{
    const int result = RetryMMC_CloseDevice();
    if (result != 0) log(LOG_WARNING, "closeMMC() - close mmc device failed (MMC error code = %d)\n", result);
    return result == 0;
}

bool setTimer(int action, int flagsToClear, int countdownTenths)
{
    const int result = MMC_SetOSWatchdogTimer(kOsTimerUse, action, 0, flagsToClear, countdownTenths);
    if (result != 0) log(LOG_WARNING, "MMC_SetOSWatchdogTimer() - failed (MMC error code = %d)\n", result);
    return result == 0;
}

bool startTimer()
{
    const int result = MMC_ResetOSWatchdogTimer();
    if (result != 0) log(LOG_WARNING, "MMC_ResetOSWatchdogTimer() - failed (MMC error code = %d)\n", result);
    return result == 0;
}

// A controller step between an open and a close of the driver; the close runs even when the
// step failed.
template <typename Step>
bool withDriver(Step step)
{
    if (!openMMC()) return false;
    const bool done = step();
    return closeMMC() && done;
}

bool IsMMCMachine()
{
    return RetryMMC_OpenDevice() == 0 && RetryMMC_CloseDevice() == 0;
}

// Checks a message's value the way the settings functions check a new setting: a value that
// would arm a wrong countdown or kick without pause is refused.
bool acceptable(const AGT_MSG& message)
{
    switch (message.type) {
    case HWTIMEOUT_AGT_MSG:
        if (AsrHWtimeoutInRange(message.data.hwtimeout)) return true;
        log(LOG_WARNING, "asrKickTimer() - refused hwtimeout = %d\n", message.data.hwtimeout);
        return false;
    case SWPOLLTIME_AGT_MSG:
        if (message.data.swpolltime >= 0) return true;
        log(LOG_WARNING, "asrKickTimer() - refused polltime = %d\n", message.data.swpolltime);
        return false;
    case ACTION_AGT_MSG:
        if (AsrActionValid(message.data.action)) return true;
        log(LOG_WARNING, "asrKickTimer() - refused action = %d\n", message.data.action);
        return false;
    default:
        return false;   // other types get no reply
    }
}

// The countdown the controller is armed with holds tenths of a second in 16 bits.
int armedCountdownSeconds(int hwtimeout)
{
    return static_cast<uint16_t>(static_cast<unsigned>(hwtimeout) * 10u) / 10;
}

// Seconds between two kicks: the poll time, but at most half of the armed countdown. The
// settings let the timeout be lowered under the poll time, and a stored pair is used as it
// stands: a healthy server must not be reset because of either.
int kickIntervalSeconds(int polltime, int hwtimeout)
{
    return std::max(1, std::min(polltime, armedCountdownSeconds(hwtimeout) / 2));
}

} // namespace

bool InitMMCAsrTimer(int hwTimeout, int maxConsAsr, int curConsAsr, int& action)
{
    return withDriver([&] {
        unsigned char use = 0, actions = 0, preTimeout = 0, expirationFlags = 0;
        unsigned short initial = 0, present = 0;
        const int result = MMC_GetOSWatchdogTimer(&use, &actions, &preTimeout, &expirationFlags, &initial, &present);
        if (result != 0) {
            log(LOG_WARNING, "MMC_GetOSWatchdogTimer() - failed (MMC error code = %d)\n", result);
            return false;
        }
        int flagsToClear = 0;
        if (expirationFlags & kOsExpirationFlag) {   // the last restart was the watchdog's
            if (!AsrSetCurASRCount(curConsAsr + 1, 0)) return false;
            if (maxConsAsr != 0 && curConsAsr + 1 >= maxConsAsr) action = ASR_ACTION_NONE;
            flagsToClear = kOsExpirationFlag;
        }
        if (!setTimer(action, flagsToClear, hwTimeout * 10) || !startTimer()) {
            log(LOG_WARNING, "CheckStartMMCAsrTimer failed\n");
            return false;
        }
        return true;
    });
}

bool KickMMCAsrTimer(int hwTimeout, int action)
{
    return withDriver([&] { return setTimer(action, 0, hwTimeout * 10) && startTimer(); });
}

bool StopMMCAsrTimer(int action)
{
    return withDriver([&] { return setTimer(action, 0, kStoppedCountdownTenths); });
}

void asrKickTimer(int polltime, int hwtimeout, int action)
{
    const std::string path = qv::sandboxPath(kKickTimerSocketPath);
    UnixDgramSocket socket;
    if (!socket.create(path.c_str(), static_cast<int>(path.size()) + 1) || !socket.set_nonblocking_mode()) {
        log(LOG_WARNING, "asrKickTimer() - %s\n", socket.get_error());
        return;
    }
    const std::string replyPath = qv::sandboxPath(kAsrAgentSocketPath);
    const long secondMs = qv::secondMsFromEnv(kRestartSecondMsEnv);
    int announced = polltime;   // the interval last logged, when it differs from the poll time
    while (!stopSignalled()) {
        KickMMCAsrTimer(hwtimeout, action);
        const int interval = kickIntervalSeconds(polltime, hwtimeout);
        if (interval != polltime && interval != announced)
            log(LOG_WARNING, "asrKickTimer() - SW poll time %d too long for HW timeout %d: kicking every %d s\n",
                polltime, hwtimeout, interval);
        announced = interval;
        const long waitMs = interval * secondMs;
        if (socket.wait_msg(static_cast<int>(waitMs / 1000), static_cast<int>(waitMs % 1000) * 1000, &g_waitMask) != 0)
            continue;
        KickMMCAsrTimer(hwtimeout, action);
        // One byte more than a message, so a longer datagram shows and is dropped too.
        unsigned char datagram[sizeof(AGT_MSG) + 1];
        const int received = socket.recv_from(datagram, sizeof datagram);
        if (received == 2) continue;
        if (received != 0) {
            log(LOG_WARNING, "asrKickTimer() - %s\n", socket.get_error());
            continue;
        }
        if (socket.received_length() != sizeof(AGT_MSG)) {
            log(LOG_WARNING, "asrKickTimer() - dropped a message of %d bytes\n", socket.received_length());
            continue;
        }
        AGT_MSG message;
        std::memcpy(&message, datagram, sizeof message);
        if (!acceptable(message)) continue;
        switch (message.type) {
        case HWTIMEOUT_AGT_MSG:
            hwtimeout = message.data.hwtimeout;
            log(LOG_WARNING, "New hwtimeout = %d\n", hwtimeout);
            break;
        case SWPOLLTIME_AGT_MSG:
            polltime = message.data.swpolltime;
            log(LOG_WARNING, "New polltime = %d\n", polltime);
            break;
        default:
            action = message.data.action;
            log(LOG_WARNING, "New action = %d\n", action);
            break;
        }
        socket.send_to(replyPath.c_str(), kAsrServiceOk, sizeof kAsrServiceOk);
        if (polltime == 0) return;
    }
}

int runRestartService()
{
    if (!identifySupportedPlatform()) return 1;
    if (!detachService(kOwnerOnlyUmask)) return 1;
    qv::logOpen("qvrestartd", LOG_DAEMON);
    installStopSignals();

    if (!IsMMCMachine()) {
        log(LOG_WARNING, "IsMMCMachine() - this is not an MMC machine\n");
        return 1;
    }
    int hwTimeout = 0, pollTime = 0, action = 0, maxCount = 0, curCount = 0;
    if (!AsrGetAllParamsFromRegistry(&hwTimeout, &pollTime, &action, &maxCount, &curCount)) {
        log(LOG_WARNING, "main() - can\264t get ASR parameters in registry.\n");
        return 1;
    }
    if (!InitMMCAsrTimer(hwTimeout, maxCount, curCount, action)) {
        log(LOG_WARNING, "InitMMCAsrTimer() failed \n");
        StopMMCAsrTimer(ASR_ACTION_NONE);
        return 1;
    }
    if (pollTime > 0) {
        asrKickTimer(pollTime, hwTimeout, action);
    } else {
        // Nothing would kick the armed watchdog, and the controller would restart a healthy server.
        log(LOG_WARNING, "main() - SW poll time %d: the watchdog is not kicked and stays stopped\n", pollTime);
    }
    if (g_stopSignal != 0) log(LOG_INFO, "Signal %s received\n", g_stopSignal == SIGINT ? "SIGINT" : "SIGTERM");
    StopMMCAsrTimer(ASR_ACTION_NONE);
    if (g_stopSignal != 0) log(LOG_WARNING, "service exiting...\n");
    return 0;
}
