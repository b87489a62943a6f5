// Group 1: the driver configuration table.
#include "nic_driver_config.h"
#include "nic_groups.h"

#include <cstdint>
#include <memory>

namespace {

std::unique_ptr<NICDriverConfig> drvConfig;

int nicDrvConfigCount(int, const SnmpOid&) { return static_cast<int>(drvConfig->getNICDriverConfigCount()); }

bool setText(SnmpValue* value, const std::string& text)
{
    return value->setValue(text.c_str(), 0);
}

// The 32-bit number least significant byte first, as the MIB's 4-byte octet columns hold it.
bool setLittleEndianWord(SnmpValue* value, uint32_t word)
{
    const char bytes[4] = {static_cast<char>(word & 0xFF), static_cast<char>((word >> 8) & 0xFF),
                           static_cast<char>((word >> 16) & 0xFF),
                           static_cast<char>((word >> 24) & 0xFF)};
    return value->setValue(bytes, sizeof bytes);
}

bool getNicDrvConfigIndex(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(drvConfig->getNICDriverConfigIndex(static_cast<unsigned>(r)));
}
bool getNicDrvConfigName(int r, SnmpValue* v, const SnmpOid&)
{
    return setText(v, drvConfig->getDriverName(static_cast<unsigned>(r)));
}
bool getNicDrvConfigDescription(int r, SnmpValue* v, const SnmpOid&)
{
    return setText(v, drvConfig->getDriverDescription(static_cast<unsigned>(r)));
}
bool getNicDrvConfigPhysicalAddress(int r, SnmpValue* v, const SnmpOid&)
{
    return setText(v, drvConfig->getPhysicalAddress(static_cast<unsigned>(r)));
}
bool getNicDrvConfigMajor(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(drvConfig->getDriverMajorVersion(static_cast<unsigned>(r)));
}
bool getNicDrvConfigMinor(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(drvConfig->getDriverMinorVersion(static_cast<unsigned>(r)));
}
bool getNicDrvConfigIOPort0(int r, SnmpValue* v, const SnmpOid&)
{
    return setLittleEndianWord(v, static_cast<uint32_t>(drvConfig->getIOPort(static_cast<unsigned>(r))));
}
bool getNicDrvConfigInterrupt0(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(drvConfig->getInterrupt(static_cast<unsigned>(r)));
}
bool getNicDrvConfigDMA0(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(drvConfig->getDMA(static_cast<unsigned>(r)));
}
bool getNicDrvConfigMemory0(int r, SnmpValue* v, const SnmpOid&)
{
    return setLittleEndianWord(v, static_cast<uint32_t>(drvConfig->getMemory(static_cast<unsigned>(r))));
}
bool getNicDrvConfigMulticast(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(drvConfig->getMulticast(static_cast<unsigned>(r)));
}
bool getNicDrvConfigPromiscuous(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(drvConfig->getPromiscuous(static_cast<unsigned>(r)));
}

constexpr SNMP_TYPE I = SNMP_INTEGER;
constexpr SNMP_TYPE S = SNMP_STRING;
constexpr SNMP_TYPE O = SNMP_OCTET_STRING;
constexpr SNMP_GET_FUNC P = getNicPlaceholder;

const NicColumn kColumns[] = {
    {I, getNicDrvConfigIndex},           // 1
    {S, getNicDrvConfigName},            // 2
    {S, getNicDrvConfigDescription},     // 3
    {I, P},                              // 4 Type
    {S, getNicDrvConfigPhysicalAddress}, // 5
    {I, getNicDrvConfigMajor},           // 6
    {I, getNicDrvConfigMinor},           // 7
    {I, P},                              // 8 Slot
    {O, getNicDrvConfigIOPort0},         // 9
    {O, P},                              // 10 IOPort1
    {I, getNicDrvConfigInterrupt0},      // 11
    {I, P},                              // 12 Interrupt1
    {I, getNicDrvConfigDMA0},            // 13
    {I, P},                              // 14 DMA1
    {O, getNicDrvConfigMemory0},         // 15
    {O, P},                              // 16 Memory1
    {I, getNicDrvConfigMulticast},       // 17
    {I, getNicDrvConfigPromiscuous},     // 18
    {I, P}, {I, P}, {I, P}, {I, P}, {I, P}, {I, P}, {I, P},   // 19-25 MaxSize .. AftGroupId
    {S, P}, {S, P}, {S, P}, {S, P}, {S, P}, {S, P},           // 26-31 Aft bus and PCI ids
    {I, P}, {I, P},                                            // 32-33 AftStatus, AftMode
};
static_assert(std::size(kColumns) == 33);

} // namespace

void buildDriverConfigGroup() { drvConfig = std::make_unique<NICDriverConfig>(); }

NicTable driverConfigTable() { return {".1.1.1", kColumns, nicDrvConfigCount, 1}; }
