#include "rev_objects.h"

#include "rev_fields.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "agent_frontend.h"
#include "driver_list.h"
#include "profile.h"
#include "registry.h"
#include "sandbox_path.h"
#include "scan_service_signal.h"
#include "snmp_log.h"
#include "software_cache.h"
#include "sw_files.h"
#include "tokenizer.h"

namespace {

constexpr int kConfirmValue = 9913;
const swfiles::CLockedProfile g_profile(swfiles::kAgentLock);

template <size_t N>
bool putBytes(SnmpValue* value, const std::array<unsigned char, N>& bytes)
{
    return value->setValue(reinterpret_cast<const char*>(bytes.data()), N);
}

bool putText(SnmpValue* value, const std::string& text)
{
    return value->setValue(text.c_str(), static_cast<unsigned>(text.size()));
}

std::string rowKey(int row) { return std::to_string(row); }

// ---- managed software (the cache file, no lock: it is only ever replaced whole)
std::string cacheEntry(int row)
{
    char buffer[512] = {};
    GetPrivateProfileString("Software", rowKey(row).c_str(), "", buffer, sizeof buffer,
                            qv::sandboxPath(swfiles::kCacheFile).c_str());
    return buffer;
}

int countSoftware(int, const SnmpOid&)
{
    return GetPrivateProfileInt("Software", "total", 0, qv::sandboxPath(swfiles::kCacheFile).c_str());
}

template <unsigned K>
bool getSoftwareText(int row, SnmpValue* value, const SnmpOid&)
{
    return putText(value, cacheField(cacheEntry(row), K));
}

template <unsigned K>
bool getSoftwareNumber(int row, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(std::atoi(cacheField(cacheEntry(row), K).c_str()));
}

bool getSoftwareDate(int row, SnmpValue* value, const SnmpOid&)
{
    return putBytes(value, cacheDateOctets(cacheField(cacheEntry(row), 2)));
}

// ---- drivers: collected once for the request, since every column and the row count of one
// request must see the same list, and the module tree behind it can hold thousands of files.
const DriverList& requestDrivers()
{
    static const DriverList list = [] {
        DriverList collected;
        CollectDriversInfo(collected);
        return collected;
    }();
    return list;
}

const DriverStruct* driverAt(int row)
{
    const DriverList& list = requestDrivers();
    return row >= 0 && row < list.nDrivers ? &list.drivers[row] : nullptr;
}

int countDrivers(int, const SnmpOid&) { return requestDrivers().nDrivers; }

bool getRowIndex(int row, SnmpValue* value, const SnmpOid&) { return value->setValue(row); }

template <class Take>
bool withDriver(int row, Take take)
{
    const DriverStruct* driver = driverAt(row);
    return driver != nullptr && take(*driver);
}

bool getDriverName(int row, SnmpValue* value, const SnmpOid&)
{
    return withDriver(row, [&](const DriverStruct& d) { return putText(value, d.szDrvName); });
}

bool getDriverSize(int row, SnmpValue* value, const SnmpOid&)
{
    return withDriver(row, [&](const DriverStruct& d) {
        char text[24];
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(d.ByteSize));
        return putText(value, text);
    });
}

bool getDriverDate(int row, SnmpValue* value, const SnmpOid&)
{
    return withDriver(row, [&](const DriverStruct& d) {
        struct tm local {};
        localtime_r(&d.DrvDateAndTime, &local);
        const std::array<unsigned char, 7> bytes{
            static_cast<unsigned char>(local.tm_year), static_cast<unsigned char>(local.tm_mon + 1),
            static_cast<unsigned char>(local.tm_mday), static_cast<unsigned char>(local.tm_hour),
            static_cast<unsigned char>(local.tm_min), static_cast<unsigned char>(local.tm_sec), 0};
        return putBytes(value, bytes);
    });
}

bool getDriverState(int row, SnmpValue* value, const SnmpOid&)
{
    return withDriver(row, [&](const DriverStruct& d) { return value->setValue(d.State); });
}

bool getDriverType(int row, SnmpValue* value, const SnmpOid&)
{
    return withDriver(row, [&](const DriverStruct& d) { return value->setValue(d.iType); });
}

bool getDriverVersion(int row, SnmpValue* value, const SnmpOid&)
{
    return withDriver(row, [&](const DriverStruct& d) { return putText(value, d.szDrvVersion); });
}

bool getDriverDescription(int row, SnmpValue* value, const SnmpOid&)
{
    return withDriver(row, [&](const DriverStruct& d) { return putText(value, d.szDrvDescription); });
}

// ---- BIOS and firmware (no lock) and revision history (the agent's lock)
std::string biosRecord(int row)
{
    char buffer[256] = {};
    GetPrivateProfileString("BIOSInfo", rowKey(row).c_str(), "", buffer, sizeof buffer,
                            qv::sandboxPath(swfiles::kBiosFile).c_str());
    return buffer;
}

std::string historyRecord(int row)
{
    char buffer[256] = {};
    g_profile.MyGetPrivateProfileString("RHLog", rowKey(row).c_str(), "", buffer, sizeof buffer,
                                        swfiles::kHistoryFile);
    return buffer;
}

int countBios(int, const SnmpOid&)
{
    return GetPrivateProfileInt("BIOSInfo", "Count", 0, qv::sandboxPath(swfiles::kBiosFile).c_str());
}

int countHistory(int, const SnmpOid&)
{
    return g_profile.MyGetPrivateProfileInt("RHLog", "Count", 0, swfiles::kHistoryFile);
}

unsigned unsignedField(const std::string& field)
{
    return static_cast<unsigned>(std::strtoul(field.c_str(), nullptr, 10));
}

template <std::string (*Record)(int), unsigned K>
bool getRecordText(int row, SnmpValue* value, const SnmpOid&)
{
    return putText(value, commaField(Record(row), K));
}

template <std::string (*Record)(int), unsigned K>
bool getRecordNumber(int row, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(static_cast<int>(unsignedField(commaField(Record(row), K))));
}

template <unsigned K>
bool getHistoryDate(int row, SnmpValue* value, const SnmpOid&)
{
    return putBytes(value, historyDateOctets(commaField(historyRecord(row), K)));
}

// ---- scalars and the scanning service's controls
bool getMajor(int, SnmpValue* value, const SnmpOid&) { return value->setValue(1); }
bool getMinor(int, SnmpValue* value, const SnmpOid&) { return value->setValue(0); }
bool getZero(int, SnmpValue* value, const SnmpOid&) { return value->setValue(0); }

bool getAgentVersion(int, SnmpValue* value, const SnmpOid&)
{
    char version[16] = {};
    GetRegData(swfiles::kVersionRegKey, version, sizeof version);
    return value->setValue(version, static_cast<unsigned>(strnlen(version, sizeof version)));
}

bool getPollingState(int, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(g_profile.MyGetPrivateProfileInt("Polling", "State", 1, swfiles::kConfigFile));
}

bool getPollingTime(int, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(g_profile.MyGetPrivateProfileInt("Polling", "Time", 17, swfiles::kConfigFile));
}

void signalRecordedService(int signo)
{
    const int pid = g_profile.MyGetPrivateProfileInt("Polling", "PID", -1, swfiles::kConfigFile);
    if (pid != -1) sendToScanService(pid, signo);
}

template <const char* Key>
bool setPolling(int, const SnmpValue& value, const SnmpOid&)
{
    const std::string text = std::to_string(value.asInteger());
    g_profile.MyWritePrivateProfileString("Polling", Key, text.c_str(), swfiles::kConfigFile);
    signalRecordedService(SIGHUP);
    return true;
}

constexpr char kStateKey[] = "State";
constexpr char kTimeKey[] = "Time";

bool confirmed(const SnmpValue& value, const SnmpOid& oid, const char* purpose)
{
    if (value.asInteger() == kConfirmValue) return true;
    log(LOG_INFO, "SET operation in %s attribute failed. Correct value is 9913 to %s.",
        oid.asString(), purpose);
    return false;
}

bool setManualPoll(int, const SnmpValue& value, const SnmpOid& oid)
{
    if (!confirmed(value, oid, "force manual polling")) return false;
    signalRecordedService(SIGUSR2);
    return true;
}

bool setHistoryReset(int, const SnmpValue& value, const SnmpOid& oid)
{
    if (!confirmed(value, oid, "erase log file")) return false;
    signalRecordedService(SIGUSR1);
    return true;
}

#define REV ".1.3.6.1.4.1.93071.2.23.24"
using R = SnmpObjectRow;
constexpr SNMP_ACCESS RO = SNMP_READONLY;
constexpr SNMP_ACCESS RW = SNMP_READWRITE;

const SnmpObjectRow kObjects[] = {
    {SNMP_SCALAR, SNMP_INTEGER, RO, REV ".1.1.0", getMajor},
    {SNMP_SCALAR, SNMP_INTEGER, RO, REV ".1.2.0", getMinor},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".2.1.1.1.0", getRowIndex, nullptr, countSoftware, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".2.1.1.2.0", getSoftwareText<0>, nullptr, countSoftware, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".2.1.1.3.0", getSoftwareText<1>, nullptr, countSoftware, 1, 0},
    {SNMP_TABULAR, SNMP_OCTET_STRING, RO, REV ".2.1.1.4.0", getSoftwareDate, nullptr, countSoftware, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".2.1.1.5.0", getSoftwareNumber<3>, nullptr, countSoftware, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".2.1.1.6.0", getSoftwareNumber<4>, nullptr, countSoftware, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".2.1.1.7.0", getSoftwareText<5>, nullptr, countSoftware, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".2.1.1.8.0", getSoftwareText<6>, nullptr, countSoftware, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".3.1.1.1.0", getRowIndex, nullptr, countDrivers, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".3.1.1.2.0", getDriverName, nullptr, countDrivers, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".3.1.1.3.0", getDriverSize, nullptr, countDrivers, 1, 0},
    {SNMP_TABULAR, SNMP_OCTET_STRING, RO, REV ".3.1.1.4.0", getDriverDate, nullptr, countDrivers, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".3.1.1.5.0", getDriverState, nullptr, countDrivers, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".3.1.1.6.0", getDriverType, nullptr, countDrivers, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".3.1.1.7.0", getDriverVersion, nullptr, countDrivers, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".3.1.1.8.0", getDriverDescription, nullptr, countDrivers, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".4.1.1.1.0", getRowIndex, nullptr, countBios, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".4.1.1.2.0", getRecordText<biosRecord, 0>, nullptr, countBios, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".4.1.1.3.0", getRecordNumber<biosRecord, 1>, nullptr, countBios, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".4.1.1.4.0", getRecordText<biosRecord, 2>, nullptr, countBios, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".4.1.1.5.0", getRecordText<biosRecord, 3>, nullptr, countBios, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".5.1.1.1.0", getRowIndex, nullptr, countHistory, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".5.1.1.2.0", getRecordText<historyRecord, 0>, nullptr, countHistory, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".5.1.1.3.0", getRecordText<historyRecord, 1>, nullptr, countHistory, 1, 0},
    {SNMP_TABULAR, SNMP_OCTET_STRING, RO, REV ".5.1.1.4.0", getHistoryDate<2>, nullptr, countHistory, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".5.1.1.5.0", getRecordNumber<historyRecord, 3>, nullptr, countHistory, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".5.1.1.6.0", getRecordNumber<historyRecord, 7>, nullptr, countHistory, 1, 0},
    {SNMP_TABULAR, SNMP_INTEGER, RO, REV ".5.1.1.7.0", getRecordNumber<historyRecord, 4>, nullptr, countHistory, 1, 0},
    {SNMP_TABULAR, SNMP_STRING, RO, REV ".5.1.1.8.0", getRecordText<historyRecord, 5>, nullptr, countHistory, 1, 0},
    {SNMP_TABULAR, SNMP_OCTET_STRING, RO, REV ".5.1.1.9.0", getHistoryDate<6>, nullptr, countHistory, 1, 0},
    {SNMP_SCALAR, SNMP_STRING, RO, REV ".6.0", getAgentVersion},
    {SNMP_SCALAR, SNMP_INTEGER, RW, REV ".7.0", getPollingState, setPolling<kStateKey>},
    {SNMP_SCALAR, SNMP_INTEGER, RW, REV ".8.0", getPollingTime, setPolling<kTimeKey>},
    {SNMP_SCALAR, SNMP_INTEGER, RW, REV ".9.0", getZero, setManualPoll},
    {SNMP_SCALAR, SNMP_INTEGER, RW, REV ".10.0", getZero, setHistoryReset},
};
#undef REV

} // namespace

bool loadObjects()
{
    static SoftwareCache cache;   // checks the cache before the request is answered
    addObjectRows(objects, kObjects);
    return true;
}
