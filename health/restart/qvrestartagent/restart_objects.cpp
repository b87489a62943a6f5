#include "restart_objects.h"

#include "agent_frontend.h"
#include "asr_params.h"

namespace {

// The poll period shown to managers is fixed; the registry's value is not read.
constexpr int kShownPollTime = 20;

// Every object is a scalar with the instance .0.
bool putInteger(int index, SnmpValue* value, int v) { return index == 0 && value->setValue(v); }

template <int (*Read)(int*)>
bool getSetting(int index, SnmpValue* value, const SnmpOid&)
{
    int v = 0;
    return index == 0 && Read(&v) && putInteger(index, value, v);
}

bool getRevisionMajor(int index, SnmpValue* value, const SnmpOid&) { return putInteger(index, value, 1); }
bool getRevisionMinor(int index, SnmpValue* value, const SnmpOid&) { return putInteger(index, value, 0); }
bool getPollTime(int index, SnmpValue* value, const SnmpOid&) { return putInteger(index, value, kShownPollTime); }

bool getAction(int index, SnmpValue* value, const SnmpOid&)
{
    int action = 0;
    if (index != 0 || !AsrGetTimeoutAction(&action)) return false;
    char name[16];
    getActionFullStr(action, name);
    return value->setValue(name, 0);
}

bool setMaxCount(int, const SnmpValue& value, const SnmpOid&) { return AsrSetMaxASRCount(value.asInteger(), 0) == 1; }
bool setHWtimeout(int, const SnmpValue& value, const SnmpOid&) { return AsrSetHWtimeout(value.asInteger(), 1) == 1; }

const SnmpObjectRow kRestartMib[] = {
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.25.1.1.0", getRevisionMajor},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.25.1.2.0", getRevisionMinor},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READWRITE, ".1.3.6.1.4.1.93071.2.23.25.2.1.0", getSetting<AsrGetMaxASRCount>, setMaxCount},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.25.2.2.0", getSetting<AsrGetCurASRCount>},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READWRITE, ".1.3.6.1.4.1.93071.2.23.25.2.3.0", getSetting<AsrGetHWtimeout>, setHWtimeout},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.25.2.4.0", getPollTime},
    {SNMP_SCALAR, SNMP_STRING, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.25.2.5.0", getAction},
};

} // namespace

bool loadObjects()
{
    addObjectRows(objects, kRestartMib);
    return true;
}
