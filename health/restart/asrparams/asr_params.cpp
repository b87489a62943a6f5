#include "asr_params.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

#include "process_lock.h"
#include "registry.h"
#include "sandbox_path.h"
#include "snmp_log.h"

namespace {

std::string valueAddress(const char* name)
{
    std::string address = std::string(kAsrRegistryKey) + "=" + name;
    return address.substr(0, 199);   // the address buffer holds 200 bytes
}

int writeInteger(const char* name, int value, const char* failure)
{
    const int32_t data = value;
    if (SetRegData(valueAddress(name).c_str(), &data, sizeof data) != 0) {
        log(LOG_WARNING, "%s", failure);
        return 0;
    }
    sync();
    return 1;
}

int readInteger(const char* name, int* value, const char* failure)
{
    int32_t data = 0;
    if (GetRegData(valueAddress(name).c_str(), &data, sizeof data) != 0) {
        log(LOG_WARNING, "%s", failure);
        return 0;
    }
    *value = data;
    return 1;
}

int writeHWtimeout(int v) { return writeInteger("HWTimeout", v, "AsrSetRegistryHWtimeout() - write error\n"); }
int writeSWpollTime(int v) { return writeInteger("SWPollTime", v, "AsrSetRegistrySWpollTime() - write error\n"); }
int writeMaxCount(int v) { return writeInteger("MaxConsecutiveASR", v, "AsrSetRegistryMaxConsASR() - write error\n"); }
int writeCurCount(int v) { return writeInteger("CurConsecutiveASR", v, "AsrSetRegistryCurConsASR() - write error\n"); }

int writeAction(int action)
{
    const char letter = actionLetter(action);
    if (SetRegData(valueAddress("TimeoutAction").c_str(), &letter, 1) != 0) {
        log(LOG_WARNING, "AsrSetRegistryTimeoutAction() - write error\n");
        return 0;
    }
    sync();
    return 1;
}

bool unsignedWithin(int value, unsigned low, unsigned high)
{
    const unsigned v = static_cast<unsigned>(value);
    return v >= low && v <= high;
}

// With the service to tell: the exchange and the registry write happen under the client lock,
// so two clients cannot leave the service and the registry on different values.
int changeSetting(AGT_MSG_TYPE type, int value, int CommSvcFlag, int (*write)(int))
{
    if (CommSvcFlag != 1) return write(value);
    const int lock = qv::lockFileAcquire(qv::sandboxPath(kAsrAgentLockPath), kAsrClientLockMs);
    if (lock < 0) {
        log(LOG_WARNING, "CommunicateWithAsrSrvc() - %s\n", std::strerror(errno));
        return 0;
    }
    int32_t data = value;
    const int done = CommunicateWithAsrSrvc(type, &data) && write(value);
    qv::lockFileRelease(lock);
    return done;
}

} // namespace

bool AsrHWtimeoutInRange(int HWtimeout) { return unsignedWithin(HWtimeout, kMinHWTimeout, kMaxHWTimeout); }

bool AsrActionValid(int action)
{
    return action == ASR_ACTION_NONE || action == ASR_ACTION_RESET || action == ASR_ACTION_POWER_CYCLE;
}

char actionLetter(int action)
{
    switch (action) {
    case ASR_ACTION_RESET: return 'r';
    case ASR_ACTION_POWER_CYCLE: return 'c';
    default: return 'n';
    }
}

int actionFromLetter(const char* text)
{
    if (std::strcmp(text, "r") == 0) return ASR_ACTION_RESET;
    if (std::strcmp(text, "n") == 0) return ASR_ACTION_NONE;
    if (std::strcmp(text, "c") == 0) return ASR_ACTION_POWER_CYCLE;
    return -1;
}

void getActionFullStr(int action, char* actionFullStr)
{
    const char* name = " ";
    switch (action) {
    case ASR_ACTION_NONE: name = "no action"; break;
    case ASR_ACTION_RESET: name = "reset"; break;
    case ASR_ACTION_POWER_CYCLE: name = "power cycle"; break;
    }
    std::strcpy(actionFullStr, name);
}

int AsrSetHWtimeout(int HWtimeout, int CommSvcFlag)
{
    if (!AsrHWtimeoutInRange(HWtimeout)) {
        log(LOG_WARNING, "Timeout out of range: [%d-%d]\n", kMinHWTimeout, kMaxHWTimeout);
        return 0;
    }
    return changeSetting(HWTIMEOUT_AGT_MSG, HWtimeout, CommSvcFlag, writeHWtimeout);
}

int AsrGetHWtimeout(int* HWtimeout)
{
    return readInteger("HWTimeout", HWtimeout, "AsrGetRegistryHWtimeout() - read error\n");
}

int AsrSetSWpollTime(int pollTime, int curHWtimeout, int CommSvcFlag)
{
    if (!(pollTime < curHWtimeout)) {
        log(LOG_WARNING, "AsrSetSWpollTime() - SW poll time value must be less than HW timeout (%d)\n",
            curHWtimeout);
        return 0;
    }
    return changeSetting(SWPOLLTIME_AGT_MSG, pollTime, CommSvcFlag, writeSWpollTime);
}

int AsrGetSWpollTime(int* pollTime)
{
    return readInteger("SWPollTime", pollTime, "AsrGetRegistrySWpollTime() - read error\n");
}

int AsrSetTimeoutAction(int action, int CommSvcFlag)
{
    if (!AsrActionValid(action)) {
        log(LOG_WARNING, "CheckAction() - Valid actions are %d, %d and %d\n", ASR_ACTION_NONE,
            ASR_ACTION_RESET, ASR_ACTION_POWER_CYCLE);
        return 0;
    }
    return changeSetting(ACTION_AGT_MSG, action, CommSvcFlag, writeAction);
}

int AsrGetTimeoutAction(int* action)
{
    char text[21] = {};   // room for 20 bytes and a terminator the registry may not add
    if (GetRegData(valueAddress("TimeoutAction").c_str(), text, 20) != 0) {
        log(LOG_WARNING, "AsrGetRegistryTimeoutAction() - read error\n");
        return 0;
    }
    *action = actionFromLetter(text);
    if (*action < 0) {
        log(LOG_WARNING, "getActionFlag() - invalid action: %s\n", text);
        return 0;
    }
    return 1;
}

int AsrSetMaxASRCount(int maxAsrCount, int)
{
    if (!unsignedWithin(maxAsrCount, 0, kMaxASRCount)) {
        log(LOG_WARNING, "ASR count out of range: [%d-%d]\n", 0, kMaxASRCount);
        return 0;
    }
    return writeMaxCount(maxAsrCount);
}

int AsrGetMaxASRCount(int* maxAsrCount)
{
    return readInteger("MaxConsecutiveASR", maxAsrCount, "AsrGetRegistryMaxASRCount() - read error\n");
}

int AsrSetCurASRCount(int curAsrCount, int)
{
    if (curAsrCount < 0) {
        log(LOG_WARNING, "AsrSetCurASRCount() - cur ASR count can not be negative\n");
        return 0;
    }
    return writeCurCount(curAsrCount);
}

int AsrGetCurASRCount(int* curAsrCount)
{
    return readInteger("CurConsecutiveASR", curAsrCount, "AsrGetRegistryCurASRCount() - read error\n");
}

int AsrGetAllParamsFromRegistry(int* hwTimeout, int* swPolltime, int* action, int* maxCount, int* curCount)
{
    if (!AsrGetHWtimeout(hwTimeout)) {
        *hwTimeout = kDefaultHWTimeout;
        if (!AsrSetHWtimeout(*hwTimeout, 0)) return 0;
    }
    if (!AsrGetSWpollTime(swPolltime)) {
        *swPolltime = kDefaultSWPollTime;
        if (!AsrSetSWpollTime(*swPolltime, *hwTimeout, 0)) return 0;
    }
    if (!AsrGetTimeoutAction(action)) {
        *action = kDefaultAction;
        if (!AsrSetTimeoutAction(*action, 0)) return 0;
    }
    if (!AsrGetMaxASRCount(maxCount)) {
        *maxCount = kDefaultMaxConsecutiveASR;
        if (!AsrSetMaxASRCount(*maxCount, 0)) return 0;
    }
    if (!AsrGetCurASRCount(curCount)) {
        *curCount = kDefaultCurConsecutiveASR;
        if (!AsrSetCurASRCount(*curCount, 0)) return 0;
    }
    return 1;
}
