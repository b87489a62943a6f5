#include "cage_objects.h"

#include <algorithm>
#include <string>

#include "agent_frontend.h"
#include "cage_client.h"
#include "cage_protocol.h"

namespace {

// Built before main (binding its socket) and closed at exit.
CCageClient g_oClient;

constexpr char kPrefix[] = ".1.3.6.1.4.1.93071.2.23.28";
constexpr int kTextBuffer = 512;

template <int N>
bool getConstant(int, SnmpValue* value, const SnmpOid&) { return value->setValue(N); }

template <int Cmd>
bool getInteger(int index, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(g_oClient.GetInteger(Cmd, index));
}

template <int Cmd>
bool setInteger(int, const SnmpValue& value, const SnmpOid&)
{
    return g_oClient.SetValue(Cmd, value.asInteger());
}

// The block's length is the size the service reports; an empty block reads as one NUL byte.
bool getCageInfo(int, SnmpValue* value, const SnmpOid&)
{
    const int size = g_oClient.GetInteger(CMD_GET_CAGE_INFO_SIZE);
    int received = 0;
    const char* block = g_oClient.GetCageInfo(&received);
    if (!block) return false;
    return value->setValue(block, static_cast<unsigned>(std::clamp(size, 0, received)));
}

// Only the levels a bay shows are passed on; anything else is refused without a request.
bool setLedState(int index, const SnmpValue& value, const SnmpOid&)
{
    const int level = value.asInteger();
    return (level == 0 || level == 1) && g_oClient.SetDriveLedState(index, level);
}

bool getUrl(int, SnmpValue* value, const SnmpOid&)
{
    char text[kTextBuffer];
    return g_oClient.GetWwwUrl(text, sizeof text) && value->setValue(text, 0);
}
bool setUrl(int, const SnmpValue& value, const SnmpOid&) { return g_oClient.SetWwwUrl(value.asString()); }
bool getProxy(int, SnmpValue* value, const SnmpOid&)
{
    char text[kTextBuffer];
    return g_oClient.GetWwwProxy(text, sizeof text) && value->setValue(text, 0);
}
bool setProxy(int, const SnmpValue& value, const SnmpOid&) { return g_oClient.SetWwwProxy(value.asString()); }

bool setAccepted(int, const SnmpValue&, const SnmpOid&) { return true; }

int countDrives(int, const SnmpOid&) { return g_oClient.GetInteger(CMD_GET_DRIVE_COUNT); }

// Drive table row n (index n - 1 here) is drive n - 1 of the service's list.
bool getDriveIndex(int index, SnmpValue* value, const SnmpOid&) { return value->setValue(index); }

} // namespace

bool loadObjects()
{
    const std::string p = kPrefix;
    SnmpObjectRowList rows;
    auto scalar = [&](const char* oid, SNMP_TYPE type, SNMP_ACCESS access, SNMP_GET_FUNC get,
                      SNMP_SET_FUNC set = nullptr) { rows.add(p + oid, {SNMP_SCALAR, type, access, nullptr, get, set}); };
    constexpr SNMP_ACCESS RO = SNMP_READONLY, RW = SNMP_READWRITE, WO = SNMP_WRITEONLY;
    constexpr SNMP_TYPE I = SNMP_INTEGER;
    scalar(".1.0", I, RO, getConstant<1>);
    scalar(".2.0", I, RO, getConstant<5>);
    scalar(".3.0", I, RO, getConstant<1>);
    scalar(".4.0", I, RO, getConstant<2>);
    scalar(".5.0", I, RO, getInteger<CMD_GET_CAGE_COUNT>);
    scalar(".6.0", I, RO, getInteger<CMD_GET_CAGE_INFO_SIZE>);
    scalar(".7.0", SNMP_OCTET_STRING, RO, getCageInfo);
    scalar(".8.0", I, RO, getInteger<CMD_GET_CAGE_STATUS>);
    scalar(".9.0", I, RW, getInteger<CMD_GET_FLASH_ADAPTER_TYPE>, setInteger<CMD_SET_FLASH_ADAPTER_TYPE>);
    scalar(".10.0", I, RW, getInteger<CMD_GET_FLASH_ADAPTER_NUM>, setInteger<CMD_SET_FLASH_ADAPTER_NUM>);
    scalar(".11.0", I, RW, getInteger<CMD_GET_FLASH_CHANNEL_NUM>, setInteger<CMD_SET_FLASH_CHANNEL_NUM>);
    scalar(".12.0", I, WO, nullptr, setInteger<CMD_SET_FLASH_COUNT>);
    scalar(".13.0", I, RO, getInteger<CMD_GET_FLASH_STATUS>);
    scalar(".14.0", I, RO, getInteger<CMD_GET_DRIVE_COUNT>);

    struct Column {
        int number;
        SNMP_GET_FUNC get;
        SNMP_SET_FUNC set = nullptr;
    };
    const Column driveColumns[] = {
        {1, getDriveIndex},
        {2, getInteger<CMD_GET_DRIVE_I2C_ADDR>},
        {3, getInteger<CMD_GET_DRIVE_SCSI_ID>},
        {4, getInteger<CMD_GET_DRIVE_LED_STATE>, setLedState},
        {5, getInteger<CMD_GET_DRIVE_LED_SET_STATUS>},
        {6, getInteger<CMD_GET_DRIVE_PRESENT>},
        {7, getInteger<CMD_GET_DRIVE_CAGE_CHANNEL>},
        {8, getInteger<CMD_GET_DRIVE_CAGE_ADAPTER>},
        {9, getInteger<CMD_GET_DRIVE_CAGE_TYPE>},
    };
    for (const Column& c : driveColumns)
        rows.add(p + ".15.1." + std::to_string(c.number) + ".1",
                 {SNMP_TABULAR, I, c.set ? RW : RO, nullptr, c.get, c.set, countDrives, 1, 1});

    scalar(".16.0", I, RW, getInteger<CMD_GET_FLASH_TARGET_ID>, setInteger<CMD_SET_FLASH_TARGET_ID>);
    scalar(".17.0", I, WO, nullptr, setInteger<CMD_SET_FLASH_ONE_COUNT>);
    scalar(".18.0", I, RO, getInteger<CMD_GET_FW_STATUS>);
    scalar(".19.0", I, WO, nullptr, setInteger<CMD_SET_FW_UPDATE>);
    scalar(".20.0", I, RO, getInteger<CMD_GET_DRIVE_READINESS>);
    scalar(".21.0", SNMP_STRING, RW, getUrl, setUrl);
    scalar(".22.0", I, RO, getInteger<CMD_GET_WWW_SIZE>);
    scalar(".23.0", I, RO, getInteger<CMD_GET_WWW_STATUS>);
    scalar(".24.0", SNMP_STRING, RW, getProxy, setProxy);
    scalar(".25.0", I, WO, nullptr, setAccepted);
    scalar(".26.0", I, RW, getConstant<0>, setAccepted);
    return addObjectRows(objects, rows.rows());
}
