#include "tattoo_objects.h"

#include <string>

#include "agent_frontend.h"
#include "tattoo_client.h"
#include "tattoo_protocol.h"

namespace {

// Built before main (binding its socket) and closed at exit.
CTattooClient g_oClient;

constexpr char kPrefix[] = ".1.3.6.1.4.1.93071.2.23.32";
constexpr char kFirstDriveInstance[] = ".1.3.6.1.4.1.93071.2.23.32.3.2.1.1.0";
constexpr int kDriveColumns = 19;
constexpr int kColumnId = 14;   // 1-based positions of the column and the row in a drive instance
constexpr int kRowId = 15;
constexpr int kTextBuffer = 256;

bool getOne(int, SnmpValue* value, const SnmpOid&) { return value->setValue(1); }
bool getRowNumber(int index, SnmpValue* value, const SnmpOid&) { return value->setValue(index + 1); }

template <int Cmd>
bool getInteger(int index, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(g_oClient.GetInteger(Cmd, index));
}

template <int Cmd>
bool getText(int index, SnmpValue* value, const SnmpOid&)
{
    char text[kTextBuffer];
    int length = sizeof text;
    return g_oClient.GetText(Cmd, index, text, &length) && value->setValue(text, 0);
}

bool getStartTime(int index, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(g_oClient.GetDriveDstStartTime(index), 0);
}
bool getEndTime(int index, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(g_oClient.GetDriveDstEndTime(index), 0);
}

bool setTargetId(int, const SnmpValue&, const SnmpOid&) { return true; }
bool setWasLocated(int index, const SnmpValue&, const SnmpOid&) { return g_oClient.SetDriveWasLocated(index); }
// Accepted only when the service accepted the start or abort.
bool setDstStart(int index, const SnmpValue& value, const SnmpOid&)
{
    return g_oClient.SetDriveDstStart(index, value.asInteger()) == 0;
}
bool setRefresh(int, const SnmpValue& value, const SnmpOid&) { return g_oClient.SetDriveRefresh(value.asInteger()); }

int countAdapters(int, const SnmpOid&) { return g_oClient.GetAdapterCount(); }
int countDrives(int, const SnmpOid&) { return g_oClient.GetDriveCount(); }

// Yields every drive instance in column order: column 1 rows 1 to n, ..., column 19.
bool setTattooDriveOid(bool first, SnmpOid& oid)
{
    static int column = 1;
    static int row = 0;
    if (first) {
        column = 1;
        row = 0;
    }
    if (column > kDriveColumns) {
        column = 1;
        return false;
    }
    if (row >= g_oClient.GetDriveCount()) return false;
    if (oid.idSize() < kRowId) oid.parse(kFirstDriveInstance);
    oid.idSet(kColumnId - 1, static_cast<uint32_t>(column));
    oid.idSet(kRowId - 1, static_cast<uint32_t>(row + 1));
    if (++row >= g_oClient.GetDriveCount()) {
        ++column;
        row = 0;
    }
    return true;
}

struct Column {
    int number;
    SNMP_TYPE type;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set = nullptr;
};

} // namespace

bool loadObjects()
{
    const std::string p = kPrefix;
    SnmpObjectRowList rows;
    auto scalar = [&](const char* oid, SNMP_GET_FUNC get, SNMP_SET_FUNC set = nullptr) {
        rows.add(p + oid, {SNMP_SCALAR, SNMP_INTEGER, set ? SNMP_READWRITE : SNMP_READONLY, nullptr, get, set});
    };
    scalar(".1.1.0", getOne);
    scalar(".1.2.0", getOne);
    scalar(".1.3.0", getOne);
    scalar(".1.4.0", getOne);
    scalar(".2.1.0", getInteger<CMD_GET_ADAPTER_COUNT>);

    const Column adapterColumns[] = {
        {1, SNMP_INTEGER, getRowNumber},
        {2, SNMP_INTEGER, getInteger<CMD_GET_ADAPTER_PORT>},
        {3, SNMP_STRING, getText<CMD_GET_ADAPTER_NAME>},
        {4, SNMP_STRING, getText<CMD_GET_ADAPTER_MFG>},
        {5, SNMP_STRING, getText<CMD_GET_ADAPTER_VERSION>},
        {6, SNMP_INTEGER, getInteger<CMD_GET_ADAPTER_CLASS>},
    };
    for (const Column& c : adapterColumns)
        rows.add(p + ".2.2.1." + std::to_string(c.number) + ".1",
                 {SNMP_TABULAR, c.type, SNMP_READONLY, nullptr, c.get, nullptr, countAdapters, 1, 1});

    scalar(".3.1.0", getInteger<CMD_GET_DRIVE_COUNT>);
    const Column driveColumns[] = {
        {1, SNMP_INTEGER, getRowNumber},
        {2, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_ADAPTER>},
        {3, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_CHANNEL>},
        {4, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_TARGET>, setTargetId},
        {5, SNMP_STRING, getText<CMD_GET_DRIVE_VERSION>},
        {6, SNMP_STRING, getText<CMD_GET_DRIVE_VENDOR>},
        {7, SNMP_STRING, getText<CMD_GET_DRIVE_DATE_CODE>},
        {8, SNMP_STRING, getText<CMD_GET_DRIVE_SERIAL>},
        {9, SNMP_STRING, getText<CMD_GET_DRIVE_PRODUCT_ID>},
        {10, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_LETTERS>},
        {11, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_RAID_LEVEL>},
        {12, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_WAS_LOCATED>, setWasLocated},
        {13, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_DST_AVAIL>},
        {14, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_DST_PERCENT>},
        {15, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_DST_START>, setDstStart},
        {16, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_DST_RESULTS>},
        {17, SNMP_INTEGER, getInteger<CMD_GET_DRIVE_DST_COMPLETION_TIME>},
        {18, SNMP_STRING, getStartTime},
        {19, SNMP_STRING, getEndTime},
    };
    for (const Column& c : driveColumns)
        rows.add(p + ".3.2.1." + std::to_string(c.number) + ".0",
                 {SNMP_RAW_TABULAR, c.type, c.set ? SNMP_READWRITE : SNMP_READONLY, nullptr, c.get, c.set,
                  countDrives, 1, 1, setTattooDriveOid});

    scalar(".4.1.0", getInteger<CMD_GET_DRIVE_REFRESH>, setRefresh);
    scalar(".4.2.0", getInteger<CMD_GET_DRIVE_REFRESH_STATUS>);
    return addObjectRows(objects, rows.rows());
}
