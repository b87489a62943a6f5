#include "climate_objects.h"

#include <string>

#include "agent_frontend.h"
#include "climate_protocol.h"
#include "env_client.h"

namespace {

// Built before main (binding its socket) and closed at exit.
CEnvClient g_oClient;

constexpr char kSubtree[] = ".1.3.6.1.4.1.93071.2.23.26";
constexpr char kVoltageEntry[] = ".1.3.6.1.4.1.93071.2.23.26.2.1.1";
constexpr char kTemperatureEntry[] = ".1.3.6.1.4.1.93071.2.23.26.3.1.1";
constexpr char kFanEntry[] = ".1.3.6.1.4.1.93071.2.23.26.4.1.1";

// The sensor kind of a table by the request's OID; 0 outside the three tables.
int kindOf(const SnmpOid& oid)
{
    const std::string text = oid.asString();
    if (text.find(kVoltageEntry) != std::string::npos) return 2;
    if (text.find(kTemperatureEntry) != std::string::npos) return 1;
    if (text.find(kFanEntry) != std::string::npos) return 4;
    return 0;
}

bool putInteger(SnmpValue* value, int v) { return value->setValue(v); }

int countRows(int, const SnmpOid& oid)
{
    const int kind = kindOf(oid);
    return kind ? g_oClient.GetSensorCount(kind) : 0;
}

// Column 6 and 7: level and nominal level of a voltage, reading and nominal reading otherwise.
int readingOf(int kind, int index) { return kind == 2 ? g_oClient.GetVoltageSensorLevel(index)
                                                      : g_oClient.GetSensorReading(kind, index); }
int nominalOf(int kind, int index)
{
    return kind == 2 ? g_oClient.GetVoltageSensorNominalLevel(index)
                     : g_oClient.GetSensorNominalReading(kind, index);
}

// One getter per column: the service command it asks (0 for columns 6 and 7).
template <int Cmd>
bool getColumn(int index, SnmpValue* value, const SnmpOid& oid)
{
    const int kind = kindOf(oid);
    if (!kind) return false;
    return putInteger(value, g_oClient.SendGetSensorCommand(Cmd, kind, index));
}

bool getReading(int index, SnmpValue* value, const SnmpOid& oid)
{
    const int kind = kindOf(oid);
    return kind && putInteger(value, readingOf(kind, index));
}

bool getNominal(int index, SnmpValue* value, const SnmpOid& oid)
{
    const int kind = kindOf(oid);
    return kind && putInteger(value, nominalOf(kind, index));
}

template <int Cmd>
bool setColumn(int index, const SnmpValue& value, const SnmpOid& oid)
{
    const int kind = kindOf(oid);
    return kind && g_oClient.SendSetSensorCommand(Cmd, kind, index, value.asInteger());
}

bool getRevisionMajor(int, SnmpValue* value, const SnmpOid&) { return putInteger(value, 1); }
bool getRevisionMinor(int, SnmpValue* value, const SnmpOid&) { return putInteger(value, 0); }
bool getChassisStatus(int, SnmpValue* value, const SnmpOid&)
{
    return putInteger(value, g_oClient.GetChassisStatus());
}

struct Column {
    int number;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set;
};

const Column kColumns[] = {
    {2, getColumn<CMD_GET_SENSOR_TYPE>, nullptr},
    {3, getColumn<CMD_GET_SENSOR_LOCATION>, nullptr},
    {4, getColumn<CMD_GET_SENSOR_DESCRIPTION>, nullptr},
    {5, getColumn<CMD_GET_SENSOR_STATUS>, nullptr},
    {6, getReading, nullptr},
    {7, getNominal, nullptr},
    {8, getColumn<CMD_GET_SENSOR_NORMAL_MAXIMUM>, nullptr},
    {9, getColumn<CMD_GET_SENSOR_NORMAL_MINIMUM>, nullptr},
    {10, getColumn<CMD_GET_SENSOR_MAXIMUM>, nullptr},
    {11, getColumn<CMD_GET_SENSOR_MINIMUM>, nullptr},
    {12, getColumn<CMD_GET_SENSOR_LNC>, setColumn<CMD_SET_SENSOR_LNC>},
    {13, getColumn<CMD_GET_SENSOR_UNC>, setColumn<CMD_SET_SENSOR_UNC>},
    {14, getColumn<CMD_GET_SENSOR_LC>, setColumn<CMD_SET_SENSOR_LC>},
    {15, getColumn<CMD_GET_SENSOR_UC>, setColumn<CMD_SET_SENSOR_UC>},
    {16, getColumn<CMD_GET_SENSOR_LNR>, setColumn<CMD_SET_SENSOR_LNR>},
    {17, getColumn<CMD_GET_SENSOR_UNR>, setColumn<CMD_SET_SENSOR_UNR>},
    {18, getColumn<CMD_GET_SENSOR_RESOLUTION>, nullptr},
    {19, getColumn<CMD_GET_SENSOR_TOLERANCE>, nullptr},
    {20, getColumn<CMD_GET_SENSOR_ACCURACY>, nullptr},
    {21, getColumn<CMD_GET_SENSOR_POSITIVE_HYSTERISIS>, setColumn<CMD_SET_SENSOR_POSITIVE_HYSTERISIS>},
    {22, getColumn<CMD_GET_SENSOR_NEGATIVE_HYSTERISIS>, setColumn<CMD_SET_SENSOR_NEGATIVE_HYSTERISIS>},
};

void addScalar(const std::string& oid, SNMP_GET_FUNC get)
{
    objects.addObject(new SnmpObject(SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, oid.c_str(), get));
}

} // namespace

bool loadObjects()
{
    const std::string subtree = kSubtree;
    addScalar(subtree + ".1.1", getRevisionMajor);
    addScalar(subtree + ".1.2", getRevisionMinor);
    for (const char* entry : {kVoltageEntry, kTemperatureEntry, kFanEntry}) {
        for (const Column& c : kColumns) {
            const std::string oid = std::string(entry) + "." + std::to_string(c.number) + ".0";
            objects.addObject(new SnmpObject(SNMP_TABULAR, SNMP_INTEGER,
                                             c.set ? SNMP_READWRITE : SNMP_READONLY, oid.c_str(),
                                             c.get, c.set, countRows, 1, 1));
        }
    }
    addScalar(subtree + ".5.1", getChassisStatus);
    return true;
}
