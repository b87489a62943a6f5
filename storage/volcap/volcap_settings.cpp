#include "volcap_files.h"

#include <climits>
#include <cstdio>

#include "number_words.h"
#include "profile.h"
#include "snmp_log.h"

namespace {

struct CfgKey {
    int code;
    const char* key;
    int defaultValue;
};

const CfgKey kCfgKeys[] = {
    {CFG_TRAP_ENABLED, "TrapEnabled", 1},   {CFG_TRAP_POLL_TIME, "TrapPollTime", 1},
    {CFG_HIST_SAMPLE_TIME, "HistSampleTime", 1440}, {CFG_LO_THRESHOLD, "LoThreshold", 70},
    {CFG_WARN_THRESHOLD, "WarnThreshold", 85}, {CFG_CRIT_THRESHOLD, "CritThreshold", 95},
};

const CfgKey* findKey(int code)
{
    for (const CfgKey& k : kCfgKeys)
        if (k.code == code) return &k;
    return nullptr;
}

// Every setting write: range check, state change (false refuses), then the settings line.
template <class StateChange>
int writeSetting(const char* function, const char* volume, int code, int value, int high,
                 StateChange changeState)
{
    if (value < 0 || value > high) {
        if (code == CFG_TRAP_ENABLED)
            log(LOG_WARNING,
                "%s() - TrapEnabled value: %d for drive %s is out of range [ 0, 1 ]\n",
                function, value, volume);
        else if (code == CFG_TRAP_POLL_TIME || code == CFG_HIST_SAMPLE_TIME)
            log(LOG_WARNING, "%s() - %s value: %d for drive %s is out of range [ 0, %d ]\n",
                function, findKey(code)->key, value, volume, high);
        else
            log(LOG_WARNING,
                "%s() - Threshold value: %d for drive %s is out of range [ 0, 100 ]\n", function,
                value, volume);
        return 1;
    }
    sharedInfo shared;
    if (ReadSharedVars(volume, &shared) != 0) return 1;
    if (!changeState(shared)) return 1;
    if (WriteSharedVars(volume, &shared) != 0) return 1;
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    if (WritePrivateProfileString(volume, findKey(code)->key, text, fileCfg.c_str()) != 1) {
        log(LOG_WARNING, "%s() - write error in file %s for drive %s \n", function,
            fileCfg.c_str(), volume);
        return 1;
    }
    return 0;
}

} // namespace

int ReadCFGFileKey(const char* RootPathName, int code, int* nRetInt)
{
    const CfgKey* key = findKey(code);
    if (key == nullptr) return 1;
    *nRetInt = GetPrivateProfileInt(RootPathName, key->key, key->defaultValue, fileCfg.c_str());
    return 0;
}

int ReadCFGKeys(const char* RootPathName, cfgInfo* lpInfo)
{
    ReadCFGFileKey(RootPathName, CFG_TRAP_ENABLED, &lpInfo->nTrapEnabled);
    ReadCFGFileKey(RootPathName, CFG_TRAP_POLL_TIME, &lpInfo->nTrapPollTime);
    ReadCFGFileKey(RootPathName, CFG_HIST_SAMPLE_TIME, &lpInfo->nHistSampleTime);
    ReadCFGFileKey(RootPathName, CFG_LO_THRESHOLD, &lpInfo->nLoThreshold);
    ReadCFGFileKey(RootPathName, CFG_WARN_THRESHOLD, &lpInfo->nWarnThreshold);
    ReadCFGFileKey(RootPathName, CFG_CRIT_THRESHOLD, &lpInfo->nCritThreshold);
    return 0;
}

int WriteCFGTrapEnabled(const char* volume, int value)
{
    return writeSetting("WriteCFGTrapEnabled", volume, CFG_TRAP_ENABLED, value, 1,
                        [](sharedInfo& s) {
                            s.nTrapPollTimeRemaining = 0;
                            s.nLoThresholdMet = s.nWarnThresholdMet = s.nCritThresholdMet = 0;
                            return true;
                        });
}

int WriteCFGPollTime(const char* volume, int value)
{
    return writeSetting("WriteCFGPollTime", volume, CFG_TRAP_POLL_TIME, value, kMaxPollTime,
                        [value](sharedInfo& s) {
                            s.nTrapPollTimeRemaining = value;
                            return true;
                        });
}

int WriteCFGSampleTime(const char* volume, int value)
{
    return writeSetting("WriteCFGSampleTime", volume, CFG_HIST_SAMPLE_TIME, value,
                        kMaxSampleTime, [](sharedInfo& s) {
                            s.nHistSampleTimeRemaining = 0;
                            return true;
                        });
}

int WriteCFGThreshold(const char* volume, int code, int value)
{
    return writeSetting("WriteCFGThreshold", volume, code, value, 100, [code](sharedInfo& s) {
        switch (code) {
        case CFG_LO_THRESHOLD: s.nLoThresholdMet = 0; [[fallthrough]];
        case CFG_WARN_THRESHOLD: s.nWarnThresholdMet = 0; [[fallthrough]];
        case CFG_CRIT_THRESHOLD:
            s.nCritThresholdMet = 0;
            s.nTrapPollTimeRemaining = 0;
            return true;
        default:
            log(LOG_WARNING, "WriteCFGThreshold() - Invalid threshold type\n");
            return false;
        }
    });
}

bool ParseSharedVars(const char* text, sharedInfo* lpShInfo)
{
    int* const fields[] = {&lpShInfo->nTrapPollTimeRemaining, &lpShInfo->nHistSampleTimeRemaining,
                           &lpShInfo->nLoThresholdMet, &lpShInfo->nWarnThresholdMet,
                           &lpShInfo->nCritThresholdMet};
    for (int* field : fields) {
        long long value = 0;
        if (!volcap::nextNumber(text, INT_MIN, INT_MAX, value)) return false;
        *field = static_cast<int>(value);
    }
    return true;
}

int ReadSharedVars(const char* volume, sharedInfo* lpShInfo)
{
    *lpShInfo = {1, 0, 0, 0, 0};
    char text[100];
    GetPrivateProfileString(volume, "Var", "NULL", text, sizeof text, fileVar.c_str());
    if (std::string(text) == "NULL") return 0;
    if (!ParseSharedVars(text, lpShInfo)) {
        log(LOG_WARNING, "ReadSharedVars() - read error for drive %s\n", volume);
        return 1;
    }
    return 0;
}

int WriteSharedVars(const char* volume, const sharedInfo* lpShInfo)
{
    char text[100];
    std::snprintf(text, sizeof text, "%d %d %d %d %d", lpShInfo->nTrapPollTimeRemaining,
                  lpShInfo->nHistSampleTimeRemaining, lpShInfo->nLoThresholdMet,
                  lpShInfo->nWarnThresholdMet, lpShInfo->nCritThresholdMet);
    if (WritePrivateProfileString(volume, "Var", text, fileVar.c_str()) != 1) {
        log(LOG_WARNING, "WriteSharedVars() - write error for drive %s\n", volume);
        return 1;
    }
    return 0;
}

int PrintCFGKeys(cfgInfo* info)
{
    return std::printf("(CFG) TE %-5d TT %-5d HT %-5d LO %-5d WA %-5d CR %-5d",
                       info->nTrapEnabled, info->nTrapPollTime, info->nHistSampleTime,
                       info->nLoThreshold, info->nWarnThreshold, info->nCritThreshold);
}

int PrintSharedVars(sharedInfo* info)
{
    return std::printf("(SHD) TR %-5d HR %-5d    %-5d LM %-5d WM %-5d CM %-5d",
                       info->nTrapPollTimeRemaining, info->nHistSampleTimeRemaining, 0,
                       info->nLoThresholdMet, info->nWarnThresholdMet, info->nCritThresholdMet);
}
