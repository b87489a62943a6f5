#include "climate_objects.h"

#include <array>
#include <string>
#include <utility>

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
    if (text.find(kVoltageEntry) != std::string::npos) return kSensorKindVoltage;
    if (text.find(kTemperatureEntry) != std::string::npos) return kSensorKindTemperature;
    if (text.find(kFanEntry) != std::string::npos) return kSensorKindFan;
    return 0;
}

bool putInteger(SnmpValue* value, int v) { return value->setValue(v); }

int countRows(int, const SnmpOid& oid)
{
    const int kind = kindOf(oid);
    return kind ? g_oClient.GetSensorCount(kind) : 0;
}

// A table column reads (and, when writable, writes) the command the command table names for
// this column and the request's sensor kind.
template <int Column>
bool getColumn(int index, SnmpValue* value, const SnmpOid& oid)
{
    const int kind = kindOf(oid);
    const int cmd = columnCommand(Column, kind, false);
    return cmd != 0 && putInteger(value, g_oClient.SendGetSensorCommand(cmd, kind, index));
}

template <int Column>
bool setColumn(int index, const SnmpValue& value, const SnmpOid& oid)
{
    const int kind = kindOf(oid);
    const int cmd = columnCommand(Column, kind, true);
    return cmd != 0 && g_oClient.SendSetSensorCommand(cmd, kind, index, value.asInteger());
}

bool getRevisionMajor(int, SnmpValue* value, const SnmpOid&) { return putInteger(value, 1); }
bool getRevisionMinor(int, SnmpValue* value, const SnmpOid&) { return putInteger(value, 0); }
bool getChassisStatus(int, SnmpValue* value, const SnmpOid&)
{
    return putInteger(value, g_oClient.GetChassisStatus());
}

constexpr int kFirstColumn = 2;
constexpr int kLastColumn = 22;

struct Column {
    int number;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set;   // null for a read-only column
};

constexpr bool columnWritable(int column)
{
    for (int kind : {kSensorKindVoltage, kSensorKindTemperature, kSensorKindFan})
        if (columnCommand(column, kind, true) != 0) return true;
    return false;
}

template <size_t... I>
constexpr std::array<Column, sizeof...(I)> makeColumns(std::index_sequence<I...>)
{
    return {Column{kFirstColumn + static_cast<int>(I), getColumn<kFirstColumn + static_cast<int>(I)>,
                   columnWritable(kFirstColumn + static_cast<int>(I))
                       ? setColumn<kFirstColumn + static_cast<int>(I)> : nullptr}...};
}

constexpr auto kColumns = makeColumns(std::make_index_sequence<kLastColumn - kFirstColumn + 1>());

} // namespace

bool loadObjects()
{
    const std::string subtree = kSubtree;
    SnmpObjectRowList rows;
    rows.add(subtree + ".1.1", {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, nullptr, getRevisionMajor});
    rows.add(subtree + ".1.2", {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, nullptr, getRevisionMinor});
    for (const char* entry : {kVoltageEntry, kTemperatureEntry, kFanEntry}) {
        for (const Column& c : kColumns)
            rows.add(std::string(entry) + "." + std::to_string(c.number) + ".0",
                     {SNMP_TABULAR, SNMP_INTEGER, c.set ? SNMP_READWRITE : SNMP_READONLY, nullptr, c.get,
                      c.set, countRows, 1, 1});
    }
    rows.add(subtree + ".5.1", {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, nullptr, getChassisStatus});
    return addObjectRows(objects, rows.rows());
}
