#include "memory_objects.h"

#include <climits>
#include <cstring>

#include "agent_frontend.h"
#include "agent_info.h"
#include "host_objects.h"
#include "memd_client.h"
#include "sysapi.h"

std::string argv0;

int moduleSizeKb(long long megabytes)
{
    if (megabytes <= 0) return 0;
    return megabytes > INT_MAX / 1024 ? INT_MAX : static_cast<int>(megabytes * 1024);
}

namespace {

constexpr char kSubtree[] = ".1.3.6.1.4.1.93071.2.23.21";
constexpr char kVersionKey[] = "SOFTWARE\\Quorvane\\Trivoke=Version";
constexpr unsigned kVersionBuffer = 64;
constexpr unsigned kDesignationBuffer = 128;

bool setText(SnmpValue* v, const char* text) { return v->setValue(text, static_cast<unsigned>(std::strlen(text))); }

int AgentCount(int, const SnmpOid&) { return 1; }
int DIMMCount(int, const SnmpOid&) { return SYSAPI_GetMemoryDeviceIndexTotal(); }

bool getDIMMMibRevisionMajor(int, SnmpValue* v, const SnmpOid&) { return v->setValue(1); }
bool getDIMMMibRevisionMinor(int, SnmpValue* v, const SnmpOid&) { return v->setValue(5); }

bool getDIMMAgentIndex(int r, SnmpValue* v, const SnmpOid&) { return v->setValue(r); }
bool getDIMMAgentName(int, SnmpValue* v, const SnmpOid&) { return setText(v, "QV DIMM SNMP Agent"); }
bool getDIMMAgentVersion(int, SnmpValue* v, const SnmpOid&)
{
    return setText(v, qv::inventory::readRegistryText(kVersionKey, kVersionBuffer).c_str());
}
bool getDIMMAgentDate(int, SnmpValue* v, const SnmpOid&)
{
    const auto date = qv::inventory::programFileDate(argv0, 6);
    return date && v->setValue(reinterpret_cast<const char*>(date->data()), static_cast<unsigned>(date->size()));
}

int sizeKb(int r) { return moduleSizeKb(SYSAPI_GetMemoryDeviceSize(r + 1)); }

bool getDIMMSlotIndex(int r, SnmpValue* v, const SnmpOid&) { return v->setValue(r); }
bool getDIMMSize(int r, SnmpValue* v, const SnmpOid&) { return v->setValue(sizeKb(r)); }
bool getDIMMType(int r, SnmpValue* v, const SnmpOid&)
{
    if (sizeKb(r) == 0) return v->setValue(0);
    switch (SYSAPI_GetMemoryDeviceType(r + 1)) {
    case MemoryType_DRAM: case MemoryType_EDRAM: return v->setValue(2);
    case MemoryType_SRAM: return v->setValue(1);
    default: return v->setValue(0);
    }
}
bool getDIMMSpeed(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(sizeKb(r) == 0 ? 0 : SYSAPI_GetMemoryDeviceSpeed(r + 1));
}
bool getDIMMManufacturer(int, SnmpValue* v, const SnmpOid&) { return setText(v, "Not Available"); }
bool getDIMMManufacturerPartNumber(int, SnmpValue* v, const SnmpOid&) { return setText(v, ""); }
bool getDIMMManufacturerDateCode(int, SnmpValue* v, const SnmpOid&) { return v->setValue("\0\0", 2); }
bool getDIMMDramType(int r, SnmpValue* v, const SnmpOid&) { return v->setValue(sizeKb(r) == 0 ? 0 : 4); }
bool getDIMMSocketDesignation(int r, SnmpValue* v, const SnmpOid&)
{
    static unsigned char buffer[kDesignationBuffer];
    std::memset(buffer, 0, sizeof buffer);
    HostDmiBios()->GetDMIString(6, static_cast<unsigned char>(r + 1), 4, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = 0;
    return setText(v, reinterpret_cast<const char*>(buffer));
}

template <int (*Ask)(int)>
bool serviceFigure(int r, SnmpValue* v, const SnmpOid&) { return v->setValue(Ask(r)); }

bool getDIMMHardwareStatus(int, SnmpValue* v, const SnmpOid&) { return v->setValue(0); }
bool getDIMMQVSlotIndex(int r, SnmpValue* v, const SnmpOid&) { return v->setValue(r); }
bool getDIMMQVProductNumber(int, SnmpValue* v, const SnmpOid&) { return v->setValue("NONE", 4); }
bool getDIMMQVSerialNumber(int, SnmpValue* v, const SnmpOid&) { return v->setValue(0); }

struct Object {
    const char* suffix;
    SNMP_OBJECT_TYPE kind;
    SNMP_TYPE type;
    SNMP_GET_FUNC get;
    SNMP_COUNT_FUNC count;
};

constexpr SNMP_OBJECT_TYPE S = SNMP_SCALAR;
constexpr SNMP_OBJECT_TYPE T = SNMP_TABULAR;
constexpr SNMP_TYPE I = SNMP_INTEGER;
constexpr SNMP_TYPE STR = SNMP_STRING;
constexpr SNMP_TYPE OCT = SNMP_OCTET_STRING;

const Object kObjects[] = {
    {".1.1.0", S, I, getDIMMMibRevisionMajor, nullptr},
    {".1.2.0", S, I, getDIMMMibRevisionMinor, nullptr},
    {".2.1.1.1.0", T, I, getDIMMAgentIndex, AgentCount},
    {".2.1.1.2.0", T, STR, getDIMMAgentName, AgentCount},
    {".2.1.1.3.0", T, STR, getDIMMAgentVersion, AgentCount},
    {".2.1.1.4.0", T, OCT, getDIMMAgentDate, AgentCount},
    {".3.1.1.1.0", T, I, getDIMMSlotIndex, DIMMCount},
    {".3.1.1.2.0", T, I, getDIMMSize, DIMMCount},
    {".3.1.1.3.0", T, I, getDIMMType, DIMMCount},
    {".3.1.1.4.0", T, I, getDIMMSpeed, DIMMCount},
    {".3.1.1.5.0", T, STR, getDIMMManufacturer, DIMMCount},
    {".3.1.1.6.0", T, STR, getDIMMManufacturerPartNumber, DIMMCount},
    {".3.1.1.7.0", T, OCT, getDIMMManufacturerDateCode, DIMMCount},
    {".3.1.1.8.0", T, I, getDIMMDramType, DIMMCount},
    {".3.1.1.9.0", T, STR, getDIMMSocketDesignation, DIMMCount},
    {".3.1.1.10.0", T, I, serviceFigure<getSoftwareSeverityStatus>, DIMMCount},
    {".3.1.1.11.0", T, I, serviceFigure<getSingleBitEventCounter>, DIMMCount},
    {".3.1.1.12.0", T, I, serviceFigure<getPredictiveEventCounter>, DIMMCount},
    {".3.1.1.13.0", T, I, serviceFigure<getDoubleBitEventCounter>, DIMMCount},
    {".3.1.1.14.0", T, I, serviceFigure<getMostSevereEventID>, DIMMCount},
    {".3.1.1.15.0", T, I, getDIMMHardwareStatus, DIMMCount},
    {".3.1.2.1.0", T, I, getDIMMQVSlotIndex, DIMMCount},
    {".3.1.2.2.0", T, OCT, getDIMMQVProductNumber, DIMMCount},
    {".3.1.2.3.0", T, I, getDIMMQVSerialNumber, DIMMCount},
    {".4.1.0", T, I, serviceFigure<getOverallStatusSeverity>, DIMMCount},
};

} // namespace

bool loadObjects()
{
    SnmpObjectRowList rows;
    for (const Object& o : kObjects)
        rows.add(std::string(kSubtree) + o.suffix,
                 {o.kind, o.type, SNMP_READONLY, nullptr, o.get, nullptr, o.count, o.kind == T ? 1 : 0, 0});
    return addObjectRows(objects, rows.rows());
}
