#include "test_agent_objects.h"

#include <cstring>
#include <string>

#include "agent_frontend.h"
#include "profile.h"
#include "sandbox_path.h"

namespace {

constexpr int kTableRows = 3;

std::string iniPath() { return qv::sandboxPath(kTestAgentIni); }

bool getName(int, SnmpValue* value, const SnmpOid&)
{
    return value->setValue("qvtestagent", static_cast<unsigned>(std::strlen("qvtestagent")));
}

bool getAnswer(int, SnmpValue* value, const SnmpOid&) { return value->setValue(42); }
bool getBigCounter(int, SnmpValue* value, const SnmpOid&) { return value->setValue(-1); }

int countRows(int, const SnmpOid&) { return kTableRows; }
bool getRowIndex(int index, SnmpValue* value, const SnmpOid&) { return value->setValue(index + 1); }
bool getRowName(int index, SnmpValue* value, const SnmpOid&)
{
    const std::string text = "row-" + std::to_string(index + 1);
    return value->setValue(text.c_str(), static_cast<unsigned>(text.size()));
}

// Walker column .5.1.<a>.<b>: a fixed, ordered instance list with sub-identifiers above 2^31.
constexpr uint32_t kWalkInstances[][2] = {{10, 1}, {10, 7}, {2147483648u, 1}, {4294967295u, 2}};
constexpr int kWalkCount = sizeof kWalkInstances / sizeof kWalkInstances[0];
constexpr char kWalkColumn[] = ".1.3.6.1.4.1.93071.2.99.5.1";

bool walkInstances(bool first, SnmpOid& oid)
{
    static int next = 0;
    if (first) next = 0;
    if (next >= kWalkCount) return false;
    oid.parse(kWalkColumn);
    oid.idPushBack(kWalkInstances[next][0]);
    oid.idPushBack(kWalkInstances[next][1]);
    ++next;
    return true;
}

bool getWalkValue(int index, SnmpValue* value, const SnmpOid&) { return value->setValue(index); }

bool getIniName(int, SnmpValue* value, const SnmpOid&)
{
    char buffer[256];
    GetPrivateProfileString("Test", "Name", "unset", buffer, sizeof buffer, iniPath().c_str());
    return value->setValue(buffer, static_cast<unsigned>(std::strlen(buffer)));
}

bool setIniName(int, const SnmpValue& value, const SnmpOid&)
{
    // Stored as given; a NUL would cut the text short, so refuse it.
    if (value.bytes().find('\0') != std::string::npos) return false;
    return WritePrivateProfileString("Test", "Name", value.bytes().c_str(), iniPath().c_str()) == 1;
}

bool getIniLevel(int, SnmpValue* value, const SnmpOid&)
{
    return value->setValue(GetPrivateProfileInt("Test", "Level", 5, iniPath().c_str()));
}

bool setIniLevel(int, const SnmpValue& value, const SnmpOid&)
{
    const int level = value.asInteger();
    if (level < 0 || level > 100) return false;   // out of range: refused by the object itself
    return WritePrivateProfileString("Test", "Level", std::to_string(level).c_str(),
                                     iniPath().c_str()) == 1;
}

bool getOctets(int, SnmpValue* value, const SnmpOid&)
{
    static const char bytes[] = {'\x00', '\x1A', '\xFF'};
    return value->setValue(bytes, sizeof bytes);
}

bool getAddress(int, SnmpValue* value, const SnmpOid&)
{
    return value->parseValue("127.0.0.1");
}

const SnmpObjectRow kObjects[] = {
    {SNMP_SCALAR, SNMP_STRING, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.99.1.0", getName, nullptr, nullptr, 0, 0, nullptr},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.99.2.0", getAnswer, nullptr, nullptr, 0, 0, nullptr},
    {SNMP_SCALAR, SNMP_COUNTER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.99.3.0", getBigCounter, nullptr, nullptr, 0, 0, nullptr},
    {SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.99.4.1.1.1", getRowIndex, nullptr, countRows, 1, 1, nullptr},
    {SNMP_TABULAR, SNMP_STRING, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.99.4.1.2.1", getRowName, nullptr, countRows, 1, 1, nullptr},
    {SNMP_RAW_TABULAR, SNMP_GAUGE, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.99.5.1.0.0", getWalkValue, nullptr, nullptr, 2, 0, walkInstances},
    {SNMP_SCALAR, SNMP_STRING, SNMP_READWRITE, ".1.3.6.1.4.1.93071.2.99.6.0", getIniName, setIniName, nullptr, 0, 0, nullptr},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READWRITE, ".1.3.6.1.4.1.93071.2.99.7.0", getIniLevel, setIniLevel, nullptr, 0, 0, nullptr},
    {SNMP_SCALAR, SNMP_OCTET_STRING, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.99.8.0", getOctets, nullptr, nullptr, 0, 0, nullptr},
    {SNMP_SCALAR, SNMP_IPADDRESS, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.99.9.0", getAddress, nullptr, nullptr, 0, 0, nullptr},
};

} // namespace

bool loadTestAgentObjects()
{
    return addObjectRows(objects, kObjects);
}
