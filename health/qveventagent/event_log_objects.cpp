#include "event_log_objects.h"

#include "agent_frontend.h"
#include "event_cache_protocol.h"
#include "event_log_client.h"
#include "qveventlog.h"

namespace {

// Built before main (binding its socket) and closed at exit.
CEventLogClient g_oClient;

// The code a manager sets to erase the log.
constexpr int kEraseCode = 9913;

int eventCount()
{
    int count = 0;
    return QVEL_GetNumberOfEvents(&count) == 0 ? count : 0;
}

template <int Value>
bool getConstant(int, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(Value);
}

bool getPercentFull(int, SnmpValue* value, const SnmpOid&)
{
    int count = 0, freeBytes = 0;
    if (QVEL_GetNumberOfEvents(&count) != 0 || QVEL_GetFreeSpace(&freeBytes) != 0) return false;
    // An empty log with no room at all is not full of anything.
    return value->setValue(count + freeBytes > 0 ? count * 100 / (count + freeBytes) : 0);
}

bool getEraseDate(int, SnmpValue* value, const SnmpOid&)
{
    unsigned long erase = 0;
    if (QVEL_GetEraseTime(&erase) != 0) return false;
    const char bytes[4] = {char(erase), char(erase >> 8), char(erase >> 16), char(erase >> 24)};
    return value->setValue(bytes, 4);
}

bool getEventCount(int, SnmpValue* value, const SnmpOid&)
{
    int count = 0;
    return QVEL_GetNumberOfEvents(&count) == 0 && value->setValue(count);
}

bool setErase(int, const SnmpValue& value, const SnmpOid&)
{
    return value.asInteger() == kEraseCode && QVEL_ClearEventLog() == 0;
}

int countRows(int, const SnmpOid&) { return eventCount(); }

// Table rows count from 1; `row` and the service's rows from 0.
bool getEntryIndex(int row, SnmpValue* value, const SnmpOid&) { return value->setValue(row + 1); }

template <int Command>
bool getColumn(int row, SnmpValue* value, const SnmpOid&)
{
    char buffer[kEventCacheTextSize];
    int length = Command == kEventCacheDate ? kEventCacheDateSize : kEventCacheTextSize;
    if (!g_oClient.GetColumn(Command, row, buffer, &length)) return false;
    return value->setValue(buffer, static_cast<unsigned>(length));
}

#define EVT ".1.3.6.1.4.1.93071.2.23.19"
constexpr SNMP_ACCESS RO = SNMP_READONLY;

const SnmpObjectRow kObjects[] = {
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".1.1.0", getConstant<2>},
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".1.2.0", getConstant<0>},
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".4.1.0", getConstant<1>},
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".4.2.0", getConstant<1>},
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".4.3.0", getConstant<1>},
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".4.4.0", getConstant<1>},
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".4.5.0", getConstant<1>},
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".5.1.0", getPercentFull},
    {SNMP_SCALAR, SNMP_OCTET_STRING, RO, EVT ".5.2.0", getEraseDate},
    {SNMP_SCALAR, SNMP_COUNTER, RO, EVT ".5.3.0", getConstant<0>},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READWRITE, EVT ".5.4.0", getConstant<0>, setErase},
    {SNMP_TABULAR, SNMP_INTEGER, RO, EVT ".5.5.1.1.0", getEntryIndex, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_OCTET_STRING, RO, EVT ".5.5.1.2.0", getColumn<kEventCacheDate>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.3.0", getColumn<kEventCacheDescription>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.4.0", getColumn<kEventCacheTrapId>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.5.0", getColumn<5>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.6.0", getColumn<6>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.7.0", getColumn<7>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.8.0", getColumn<8>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.9.0", getColumn<9>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.10.0", getColumn<10>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.11.0", getColumn<11>, nullptr, countRows, 1, 1},
    {SNMP_TABULAR, SNMP_STRING, RO, EVT ".5.5.1.12.0", getColumn<12>, nullptr, countRows, 1, 1},
    {SNMP_SCALAR, SNMP_INTEGER, RO, EVT ".5.6.0", getEventCount},
};
#undef EVT

} // namespace

bool loadObjects()
{
    addObjectRows(objects, kObjects);
    return true;
}
