#include "host_mib.h"

#include <cstring>
#include <string>

#include "agent_frontend.h"
#include "locator_led.h"
#include "lookup_tables.h"
#include "snmp_log.h"
#include "sysapi.h"

namespace {

bool setText(SnmpValue* value, const char* text)
{
    return value->setValue(text, static_cast<unsigned>(std::strlen(text)));
}

// --- MIB revision and agent table
bool getMIBRevisionMajor(int, SnmpValue* v, const SnmpOid&) { return v->setValue(1); }
bool getMIBRevisionMinor(int, SnmpValue* v, const SnmpOid&) { return v->setValue(0); }
int agentCount(int, const SnmpOid&) { return 1; }
bool getAgentIndex(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(row); }
bool getAgentName(int row, SnmpValue* v, const SnmpOid&) { return setText(v, MyAgentTable[row].name); }
bool getAgentVersion(int row, SnmpValue* v, const SnmpOid&) { return setText(v, MyAgentTable[row].version); }
bool getAgentDate(int row, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(reinterpret_cast<const char*>(MyAgentTable[row].date), sizeof MyAgentTable[row].date);
}

// --- Basic information: these scalars answer for row 0 only.
int slotCount(unsigned kindBit)
{
    int count = 0;
    const int total = SYSAPI_GetSlotIndexTotal();
    for (int i = 1; i <= total; ++i) {
        const int64 type = SYSAPI_GetSlotType(i);
        const uint32_t low = uint32_t(type.word[0]) | uint32_t(type.word[1]) << 16;
        if (low & kindBit) ++count;
    }
    return count;
}

template <int (*Number)()>
bool basicNumber(int row, SnmpValue* v, const SnmpOid&)
{
    return row == 0 && v->setValue(Number());
}

template <CString (*Text)()>
bool basicText(int row, SnmpValue* v, const SnmpOid&)
{
    return row == 0 && setText(v, Text());
}

int eisaSlots() { return slotCount(4); }
int pciSlots() { return slotCount(16); }
int isaSlots() { return slotCount(2); }

int cpuCount(int, const SnmpOid&) { return SYSAPI_GetProcessorIndexTotal(); }
bool getCpuIndex(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(row); }
bool getCpuType(int row, SnmpValue* v, const SnmpOid&)
{
    const CString version = SYSAPI_GetProcessorVersionInformation(row + 1);
    return v->setValue(cpuTypeCode(version));
}
bool getCpuSpeed(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(SYSAPI_GetProcessorCurrentSpeed(row + 1)); }

bool getSystemId(int, SnmpValue* v, const SnmpOid&) { return setText(v, ""); }
bool getKeyboardType(int, SnmpValue* v, const SnmpOid&) { return setText(v, SYSAPI_GetKeyboardType()); }

// A code missing from its table leaves the value unset; the GET still succeeds.
bool namedCode(int row, SnmpValue* v, const char* name)
{
    if (row != 0) return false;
    if (name) setText(v, name);
    return true;
}
bool getMouseType(int row, SnmpValue* v, const SnmpOid&) { return namedCode(row, v, mouseTypeName(SYSAPI_GetMouseInterface())); }
bool getVideoType(int row, SnmpValue* v, const SnmpOid&) { return namedCode(row, v, videoTypeName(SYSAPI_GetVideoType())); }

// --- Security: 2 enabled, 1 disabled.
template <int (*Flag)()>
bool securityFlag(int, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(Flag() ? 2 : 1);
}
bool getBootDiskPriority(int, SnmpValue* v, const SnmpOid&) { return v->setValue(SYSAPI_GetBootDiskPriority()); }

// --- Ports: serial rows first, then parallel; the getter's row is 0-based.
constexpr int kPortAddressSpan = 7;

int portCount(int, const SnmpOid&) { return SYSAPI_GetSerialPortIndexTotal() + SYSAPI_GetParallelPortIndexTotal(); }

struct Port {
    bool serial;
    int number;   // 1-based among its kind
};
Port portOfRow(int row)
{
    const int serialTotal = SYSAPI_GetSerialPortIndexTotal();
    const int r = row + 1;
    return r <= serialTotal ? Port{true, r} : Port{false, r - serialTotal};
}
int portStart(const Port& p)
{
    return (p.serial ? SYSAPI_GetSerialPortBaseIOAddress(p.number) : SYSAPI_GetParallelPortBaseIOAddress(p.number)).word[0];
}
bool getPortIndex(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(row + 1); }
bool getPortType(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(portOfRow(row).serial ? 1 : 2); }
bool getPortStart(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(portStart(portOfRow(row))); }
bool getPortEnd(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(portStart(portOfRow(row)) + kPortAddressSpan); }
bool getPortIrq(int row, SnmpValue* v, const SnmpOid&)
{
    const Port p = portOfRow(row);
    return v->setValue(p.serial ? SYSAPI_GetSerialPortIRQ(p.number) : SYSAPI_GetParallelPortIRQ(p.number));
}

// --- Memory
bool countsAsMemory(int module)
{
    const int type = SYSAPI_GetMemoryDeviceType(module);
    return type == MemoryType_DRAM || type == MemoryType_RAM;
}
bool getBaseMemory(int, SnmpValue* v, const SnmpOid&) { return v->setValue(640); }
bool getExtendedMemory(int, SnmpValue* v, const SnmpOid&)
{
    long long megabytes = 0;
    const int total = SYSAPI_GetMemoryDeviceIndexTotal();
    for (int i = 1; i <= total; ++i)
        if (countsAsMemory(i)) megabytes += SYSAPI_GetMemoryDeviceSize(i);
    return v->setValue(int(megabytes * 1024 - 1024));
}
bool getMemoryType(int, SnmpValue* v, const SnmpOid&) { return v->setValue(countsAsMemory(1) ? 4 : 0); }
bool getMemorySpeed(int, SnmpValue* v, const SnmpOid&)
{
    const int total = SYSAPI_GetMemoryDeviceIndexTotal();
    for (int i = 1; i <= total; ++i)
        if (countsAsMemory(i)) return v->setValue(SYSAPI_GetMemoryDeviceSpeed(i));
    return v->setValue(0);
}

// --- Floppy drives
int floppyCount(int, const SnmpOid&) { return SYSAPI_GetFloppyDriveIndexTotal(); }
bool getFloppyIndex(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(row); }
bool getFloppyType(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(SYSAPI_GetFloppyDriveType(row + 1)); }

// --- Remote locator LED
bool getRLEDSupported(int, SnmpValue* v, const SnmpOid&)
{
    int supported = 0;
    if (RLED_CheckSupported(&supported) != 0) {
        log(LOG_WARNING, "getRLEDSupported(): Error on accessing MMC");
        return false;
    }
    return v->setValue(supported);
}

void logLedError(const char* operation, int result)
{
    if (result == kLedNotSupported) log(LOG_WARNING, "%s: Remote Locator LED not supported", operation);
    else log(LOG_WARNING, "%s: Error on accessing MMC", operation);
}

bool getRLEDStatus(int, SnmpValue* v, const SnmpOid&)
{
    unsigned char state = 0;
    const int result = Get_LEDState(&state);
    if (result != 0) {
        logLedError("getRLEDStatus()", result);
        return false;
    }
    return v->setValue(state);
}

bool setRLEDSet(int, const SnmpValue& value, const SnmpOid&)
{
    const int result = Set_LEDState(static_cast<unsigned char>(value.asInteger() & 1));
    if (result != 0) {
        logLedError("setRLEDSet()", result);
        return false;
    }
    return true;
}

struct Row {
    SNMP_OBJECT_TYPE kind;
    SNMP_TYPE type;
    SNMP_ACCESS access;
    const char* suffix;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set;
    SNMP_COUNT_FUNC count;
    int indexBase;
};

constexpr SNMP_OBJECT_TYPE S = SNMP_SCALAR;
constexpr SNMP_OBJECT_TYPE T = SNMP_TABULAR;
constexpr SNMP_TYPE I = SNMP_INTEGER;
constexpr SNMP_TYPE STR = SNMP_STRING;
constexpr SNMP_ACCESS RO = SNMP_READONLY;

const Row kObjects[] = {
    {S, I, RO, ".1.1.0", getMIBRevisionMajor, nullptr, nullptr, 0},
    {S, I, RO, ".1.2.0", getMIBRevisionMinor, nullptr, nullptr, 0},
    {T, I, RO, ".2.1.1.1.0", getAgentIndex, nullptr, agentCount, 0},
    {T, STR, RO, ".2.1.1.2.0", getAgentName, nullptr, agentCount, 0},
    {T, STR, RO, ".2.1.1.3.0", getAgentVersion, nullptr, agentCount, 0},
    {T, SNMP_OCTET_STRING, RO, ".2.1.1.4.0", getAgentDate, nullptr, agentCount, 0},
    {S, I, RO, ".3.1.0", basicNumber<SYSAPI_GetSystemSPU>, nullptr, nullptr, 0},
    {S, STR, RO, ".3.2.0", basicText<SYSAPI_GetSystemBIOSVersion>, nullptr, nullptr, 0},
    {S, STR, RO, ".3.3.0", basicText<SYSAPI_GetVideoBIOSVersion>, nullptr, nullptr, 0},
    {S, STR, RO, ".3.4.0", basicText<SYSAPI_GetSCSIBIOSVersion>, nullptr, nullptr, 0},
    {S, I, RO, ".3.5.0", basicNumber<eisaSlots>, nullptr, nullptr, 0},
    {S, I, RO, ".3.6.0", basicNumber<pciSlots>, nullptr, nullptr, 0},
    {S, I, RO, ".3.7.0", basicNumber<SYSAPI_GetProcessorIndexTotal>, nullptr, nullptr, 0},
    {T, I, RO, ".3.8.1.1.0", getCpuIndex, nullptr, cpuCount, 0},
    {T, I, RO, ".3.8.1.2.0", getCpuType, nullptr, cpuCount, 0},
    {T, I, RO, ".3.8.1.3.0", getCpuSpeed, nullptr, cpuCount, 0},
    {S, STR, RO, ".3.9.0", basicText<SYSAPI_GetOperatingSystemName>, nullptr, nullptr, 0},
    {S, STR, RO, ".3.10.0", basicText<SYSAPI_GetOperatingSystemVersion>, nullptr, nullptr, 0},
    {S, STR, RO, ".3.11.0", basicText<SYSAPI_GetSystemName>, nullptr, nullptr, 0},
    {S, STR, RO, ".3.12.0", getSystemId, nullptr, nullptr, 0},
    {S, STR, RO, ".3.13.0", getKeyboardType, nullptr, nullptr, 0},
    {S, STR, RO, ".3.14.0", getMouseType, nullptr, nullptr, 0},
    {S, STR, RO, ".3.15.0", getVideoType, nullptr, nullptr, 0},
    {S, I, RO, ".3.16.0", basicNumber<isaSlots>, nullptr, nullptr, 0},
    {S, STR, RO, ".3.17.0", basicText<SYSAPI_GetSystemModelName>, nullptr, nullptr, 0},
    {S, I, RO, ".4.1.0", securityFlag<SYSAPI_IsPowerOnPasswordEnabled>, nullptr, nullptr, 0},
    {S, I, RO, ".4.2.0", securityFlag<SYSAPI_IsVelkarnModeEnabled>, nullptr, nullptr, 0},
    {S, I, RO, ".4.3.0", securityFlag<SYSAPI_IsKeyboardLockPasswordEnabled>, nullptr, nullptr, 0},
    {S, I, RO, ".4.4.0", securityFlag<SYSAPI_IsVideoBlankModeEnabled>, nullptr, nullptr, 0},
    {S, I, RO, ".4.5.0", getBootDiskPriority, nullptr, nullptr, 0},
    {S, I, RO, ".4.6.0", securityFlag<SYSAPI_IsWriteToFloppyEnabled>, nullptr, nullptr, 0},
    {S, I, RO, ".4.7.0", securityFlag<SYSAPI_IsKeyboardMouseInactivityEnabled>, nullptr, nullptr, 0},
    {T, I, RO, ".5.1.1.1.1", getPortIndex, nullptr, portCount, 1},
    {T, I, RO, ".5.1.1.2.1", getPortType, nullptr, portCount, 1},
    {T, I, RO, ".5.1.1.3.1", getPortStart, nullptr, portCount, 1},
    {T, I, RO, ".5.1.1.4.1", getPortEnd, nullptr, portCount, 1},
    {T, I, RO, ".5.1.1.5.1", getPortIrq, nullptr, portCount, 1},
    {S, I, RO, ".6.1.0", getBaseMemory, nullptr, nullptr, 0},
    {S, I, RO, ".6.2.0", getExtendedMemory, nullptr, nullptr, 0},
    {S, I, RO, ".6.3.0", getMemoryType, nullptr, nullptr, 0},
    {S, I, RO, ".6.4.0", getMemorySpeed, nullptr, nullptr, 0},
    {T, I, RO, ".8.1.1.1.0", getFloppyIndex, nullptr, floppyCount, 0},
    {T, I, RO, ".8.2.1.2.0", getFloppyType, nullptr, floppyCount, 0},
    {S, I, RO, ".9.1.0", getRLEDSupported, nullptr, nullptr, 0},
    {S, I, RO, ".9.2.0", getRLEDStatus, nullptr, nullptr, 0},
    {S, I, SNMP_WRITEONLY, ".9.3.0", nullptr, setRLEDSet, nullptr, 0},
};
static_assert(sizeof kObjects / sizeof kObjects[0] == 46, "the system group has 46 objects");

constexpr char kPrefix[] = ".1.3.6.1.4.1.93071.2.23.7";

} // namespace

bool loadHostObjects()
{
    SnmpObjectRowList rows;
    for (const Row& r : kObjects)
        rows.add(std::string(kPrefix) + r.suffix, {r.kind, r.type, r.access, nullptr, r.get, r.set, r.count,
                                                   r.kind == SNMP_TABULAR ? 1 : 0, r.indexBase});
    return addObjectRows(objects, rows.rows());
}

const char* describeHostException()
{
    try {
        throw;
    } catch (const SYSAPI_IndexOutOfRange&) {
        return "Index out of range\n";
    } catch (const SYSAPI_DmiBiosNotFound&) {
        return "DMI BIOS not found\n";
    } catch (const SYSAPI_SDR20hNotFound&) {
        return "SDR type 20h not found\n";
    } catch (const SYSAPI_SDR21hNotFound&) {
        return "SDR type 21h not found\n";
    } catch (...) {
        return nullptr;
    }
}
