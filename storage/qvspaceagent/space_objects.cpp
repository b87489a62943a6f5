#include "space_objects.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

#include "drv_info.h"
#include "shared_file.h"
#include "snmp_log.h"
#include "volcap_files.h"

namespace {

DrvInfo g_drvInfo(false);
SharedFile g_lockFile;

// snmpd answers one request at a time: never wait longer than this for the daemon's pass.
constexpr unsigned kLockWaitMs = 10000;
constexpr int kClearHistoryConfirmation = 9913;
constexpr char kHistColumnPrefix[] = ".1.3.6.1.4.1.93071.2.23.15.4.1.1.";

bool volumeName(int index, std::string& name, const char* function)
{
    if (g_drvInfo.GetDrvName(index, &name)) return true;
    log(LOG_WARNING, "%s() - can't get drive name for index  %d\n", function, index);
    return false;
}

bool failed(const char* function, int index)
{
    log(LOG_WARNING, "%s() - error for index  %d\n", function, index);
    return false;
}

int lastId(const SnmpOid& oid) { return oid.idAt(oid.idSize() - 1); }

bool setText(SnmpValue* value, const char* text) { return value->setValue(text, 0); }

bool getRevMajor(int, SnmpValue* value, const SnmpOid&) { return value->setValue(1); }
bool getRevMinor(int, SnmpValue* value, const SnmpOid&) { return value->setValue(0); }

int agentCount(int, const SnmpOid&) { return 1; }
bool getAgentIndex(int, SnmpValue* value, const SnmpOid& oid) { return value->setValue(lastId(oid)); }
bool getAgentName(int, SnmpValue* value, const SnmpOid&) { return setText(value, "Storage Capacity Agent"); }
bool getAgentVersion(int, SnmpValue* value, const SnmpOid&) { return setText(value, "A.01.02"); }
bool getAgentDate(int, SnmpValue* value, const SnmpOid&)
{
    static const char date[6] = {0x60, 0x02, 0x17, 0x00, 0x00, 0x00};
    return value->setValue(date, sizeof date);
}

bool getDrvNumOfDrives(int, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(g_drvInfo.GetNumOfDrvs());
}

int drvCount(int, const SnmpOid&) { return g_drvInfo.GetNumOfDrvs(); }
bool getDrvIndex(int, SnmpValue* value, const SnmpOid& oid) { return value->setValue(lastId(oid)); }

bool getDrvName(int index, SnmpValue* value, const SnmpOid&)
{
    std::string name;
    if (!volumeName(index, name, "getDrvName")) return false;
    return setText(value, name.c_str());
}

bool getSetting(int index, SnmpValue* value, int code, const char* function)
{
    std::string name;
    int setting = 0;
    if (!volumeName(index, name, "GetCFGIntKey") ||
        ReadCFGFileKey(name.c_str(), code, &setting) != 0)
        return failed(function, index);
    return value->setValue(setting);
}

template <int Code>
bool getDrvSetting(int index, SnmpValue* value, const SnmpOid&)
{
    static constexpr const char* kNames[] = {"getDrvTrapsEnabled", "getDrvTrapsPollTime",
                                             "getDrvHistSampleTime", "getDrvLoThreshold",
                                             "getDrvWarnThreshold", "getDrvCritThreshold"};
    return getSetting(index, value, Code, kNames[Code - CFG_TRAP_ENABLED]);
}

bool setSetting(int index, const SnmpValue& value, const char* function,
                int (*write)(const char* volume, int value))
{
    std::string name;
    if (!volumeName(index, name, function)) return false;
    if (write(name.c_str(), value.asInteger()) != 0) return failed(function, index);
    return true;
}

bool setDrvTrapsEnabled(int index, const SnmpValue& value, const SnmpOid&)
{
    return setSetting(index, value, "setDrvTrapsEnabled", WriteCFGTrapEnabled);
}
bool setDrvTrapsPollTime(int index, const SnmpValue& value, const SnmpOid&)
{
    return setSetting(index, value, "setDrvTrapsPollTime", WriteCFGPollTime);
}
bool setDrvHistSampleTime(int index, const SnmpValue& value, const SnmpOid&)
{
    return setSetting(index, value, "setDrvHistSampleTime", WriteCFGSampleTime);
}
template <int Code>
bool setDrvThreshold(int index, const SnmpValue& value, const SnmpOid&)
{
    return setSetting(index, value, "setThreshold", [](const char* volume, int v) {
        return WriteCFGThreshold(volume, Code, v);
    });
}

bool getZero(int, SnmpValue* value, const SnmpOid&) { return value->setValue(0); }

bool getCapacity(int index, SnmpValue* value, bool total, const char* function)
{
    int kilobytes = 0;
    const bool read = total ? g_drvInfo.GetDrvCurrentCapacity(index, &kilobytes, nullptr, nullptr)
                            : g_drvInfo.GetDrvCurrentCapacity(index, nullptr, &kilobytes, nullptr);
    if (!read) return failed(function, index);
    return value->setValue(kilobytes);
}
bool getDrvCurrentTotal(int index, SnmpValue* value, const SnmpOid&)
{
    return getCapacity(index, value, true, "getDrvCurrentTotal");
}
bool getDrvCurrentAvailable(int index, SnmpValue* value, const SnmpOid&)
{
    return getCapacity(index, value, false, "getDrvCurrentAvailable");
}

bool getDrvNumOfSamples(int index, SnmpValue* value, const SnmpOid&)
{
    std::string name;
    if (!volumeName(index, name, "getDrvNumOfSamples")) return false;
    int total = 0;
    GetHistStatus(name.c_str(), nullptr, nullptr, &total);
    return value->setValue(total);
}

bool setDrvClearHist(int index, const SnmpValue& value, const SnmpOid&)
{
    if (value.asInteger() != kClearHistoryConfirmation) {
        log(LOG_WARNING, "setDrvClearHist() - use value %d to clear history \n",
            kClearHistoryConfirmation);
        return false;
    }
    std::string name;
    if (!volumeName(index, name, "setDrvClearHist")) return false;
    const std::string file = HistFilename(name.c_str());
    if (::unlink(file.c_str()) != 0) {
        log(LOG_WARNING, "setDrvClearHist() - could not remove hist file %s (errno = %d)\n",
            file.c_str(), errno);
        return false;
    }
    return true;
}

// History rows per volume, read once per request (the request is the whole process).
const std::vector<int>& historyTotals()
{
    static std::vector<int> totals;
    static bool read = false;
    if (!read) {
        read = true;
        for (int i = 0; i < g_drvInfo.GetNumOfDrvs(); ++i) {
            std::string name;
            int total = 0;
            if (volumeName(i, name, "histCount"))
                GetHistStatus(name.c_str(), nullptr, nullptr, &total);
            totals.push_back(total);
        }
    }
    return totals;
}

// The instances of one history column, volume by volume, newest sample first. A walker of
// its own, so that a volume without history does not hide the rows of the volumes after it.
template <int Column>
bool histInstances(bool first, SnmpOid& oid)
{
    static int volume = 0;
    static int sample = 0;
    if (first) volume = sample = 0;
    const std::vector<int>& totals = historyTotals();
    while (volume < static_cast<int>(totals.size()) && sample >= totals[static_cast<size_t>(volume)]) {
        ++volume;
        sample = 0;
    }
    if (volume >= static_cast<int>(totals.size())) return false;
    oid.parse((kHistColumnPrefix + std::to_string(Column)).c_str());
    oid.idPushBack(static_cast<uint32_t>(volume + 1));
    oid.idPushBack(static_cast<uint32_t>(sample + 1));
    ++sample;
    return true;
}

bool getHistDriveIndex(int, SnmpValue* value, const SnmpOid& oid)
{
    return value->setValue(oid.idAt(oid.idSize() - 2));
}
bool getHistIndex(int, SnmpValue* value, const SnmpOid& oid) { return value->setValue(lastId(oid)); }

bool getHistSample(int, SnmpValue* value, const SnmpOid& oid)
{
    const int volume = oid.idAt(oid.idSize() - 2) - 1;
    const int back = lastId(oid) - 1;
    std::string name;
    if (!volumeName(volume, name, "getHistSample")) return false;
    drvSample sample{};
    if (ReadHistSample(name.c_str(), back, &sample) != 0) return false;
    tm local{};
    if (::localtime_r(&sample.ltime, &local) == nullptr) return false;
    const HistSampleValue bytes{
        static_cast<uint8_t>(local.tm_year), static_cast<uint8_t>(local.tm_mon + 1),
        static_cast<uint8_t>(local.tm_mday), static_cast<uint8_t>(local.tm_hour),
        static_cast<uint8_t>(local.tm_min), static_cast<uint8_t>(local.tm_sec),
        static_cast<uint32_t>(sample.nCapacityTotal), static_cast<uint32_t>(sample.nCapacityFree)};
    return value->setValue(reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

#define VOLCAP ".1.3.6.1.4.1.93071.2.23.15"
constexpr SNMP_OBJECT_TYPE S = SNMP_SCALAR;
constexpr SNMP_OBJECT_TYPE T = SNMP_TABULAR;
constexpr SNMP_OBJECT_TYPE W = SNMP_RAW_TABULAR;
constexpr SNMP_TYPE I = SNMP_INTEGER;
constexpr SNMP_ACCESS RO = SNMP_READONLY;
constexpr SNMP_ACCESS RW = SNMP_READWRITE;

const SnmpObjectRow kObjects[] = {
    {S, I, RO, VOLCAP ".1.1.0", getRevMajor},
    {S, I, RO, VOLCAP ".1.2.0", getRevMinor},
    {T, I, RO, VOLCAP ".2.1.1.1.0", getAgentIndex, nullptr, agentCount, 1, 1},
    {T, SNMP_STRING, RO, VOLCAP ".2.1.1.2.0", getAgentName, nullptr, agentCount, 1, 1},
    {T, SNMP_STRING, RO, VOLCAP ".2.1.1.3.0", getAgentVersion, nullptr, agentCount, 1, 1},
    {T, SNMP_OCTET_STRING, RO, VOLCAP ".2.1.1.4.0", getAgentDate, nullptr, agentCount, 1, 1},
    {S, I, RO, VOLCAP ".3.1.0", getDrvNumOfDrives},
    {T, I, RO, VOLCAP ".3.2.1.1.0", getDrvIndex, nullptr, drvCount, 1, 1},
    {T, SNMP_STRING, RO, VOLCAP ".3.2.1.2.0", getDrvName, nullptr, drvCount, 1, 1},
    {T, I, RW, VOLCAP ".3.2.1.3.0", getDrvSetting<CFG_TRAP_ENABLED>, setDrvTrapsEnabled, drvCount, 1, 1},
    {T, I, RW, VOLCAP ".3.2.1.4.0", getDrvSetting<CFG_TRAP_POLL_TIME>, setDrvTrapsPollTime, drvCount, 1, 1},
    {T, I, RW, VOLCAP ".3.2.1.5.0", getDrvSetting<CFG_HIST_SAMPLE_TIME>, setDrvHistSampleTime, drvCount, 1, 1},
    {T, I, RW, VOLCAP ".3.2.1.6.0", getDrvSetting<CFG_LO_THRESHOLD>, setDrvThreshold<CFG_LO_THRESHOLD>, drvCount, 1, 1},
    {T, I, RW, VOLCAP ".3.2.1.7.0", getDrvSetting<CFG_WARN_THRESHOLD>, setDrvThreshold<CFG_WARN_THRESHOLD>, drvCount, 1, 1},
    {T, I, RW, VOLCAP ".3.2.1.8.0", getDrvSetting<CFG_CRIT_THRESHOLD>, setDrvThreshold<CFG_CRIT_THRESHOLD>, drvCount, 1, 1},
    {T, I, RO, VOLCAP ".3.2.1.9.0", getZero, nullptr, drvCount, 1, 1},
    {T, I, RO, VOLCAP ".3.2.1.10.0", getZero, nullptr, drvCount, 1, 1},
    {T, I, RO, VOLCAP ".3.2.1.11.0", getDrvCurrentTotal, nullptr, drvCount, 1, 1},
    {T, I, RO, VOLCAP ".3.2.1.12.0", getDrvCurrentAvailable, nullptr, drvCount, 1, 1},
    {T, I, RO, VOLCAP ".3.2.1.13.0", getDrvNumOfSamples, nullptr, drvCount, 1, 1},
    {T, I, RW, VOLCAP ".3.2.1.14.0", getZero, setDrvClearHist, drvCount, 1, 1},
    {W, I, RO, VOLCAP ".4.1.1.1.0.0", getHistDriveIndex, nullptr, nullptr, 2, 1, histInstances<1>},
    {W, I, RO, VOLCAP ".4.1.1.2.0.0", getHistIndex, nullptr, nullptr, 2, 1, histInstances<2>},
    {W, SNMP_OCTET_STRING, RO, VOLCAP ".4.1.1.3.0.0", getHistSample, nullptr, nullptr, 2, 1, histInstances<3>},
};
#undef VOLCAP

bool lockForRequest()
{
    if (!g_lockFile.Open(fileLock)) {
        log(LOG_WARNING, "Can't open lock file\n");
        return false;
    }
    if (!g_lockFile.Lock(kLockWaitMs)) {
        log(LOG_WARNING, "lock failed!\n");
        g_lockFile.Close();
        return false;
    }
    return true;
}

void unlockAfterRequest()
{
    g_lockFile.UnLock();
    g_lockFile.Close();
}

} // namespace

const LookupGuard spaceLockGuard{lockForRequest, unlockAfterRequest};

bool loadSpaceObjects()
{
    if (LoadVolcapFilenames() != 0) {
        log(LOG_WARNING, "Can't get volCap filenames stored in registry\n");
        return false;
    }
    const DrvInfo mounted(true);
    if (!g_drvInfo.BuildDrvInfo(mounted, fileDrv)) return false;
    addObjectRows(objects, kObjects);
    return true;
}
