#include "pci_objects.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <memory>

#include "agent_frontend.h"
#include "agent_info.h"
#include "pci_devices.h"
#include "pci_slot_info.h"
#include "sandbox_path.h"
#include "tokenizer.h"

namespace {

constexpr char kVersionKey[] = "SOFTWARE\\Quorvane\\Trivoke=Version";
constexpr char kRevisionKey[] = "SOFTWARE\\Quorvane\\Trivoke\\PCIRevision=Revision";
constexpr char kTablePrefix[] = ".1.3.6.1.4.1.93071.2.23.10.4.1.1";
constexpr int kColumns = 21;
constexpr int kPrefixLength = 13;   // sub-identifiers of kTablePrefix

std::unique_ptr<PCIDevices> pciInfo = std::make_unique<PCIDevices>();
std::string programFile;

bool setText(SnmpValue* value, const std::string& text)
{
    return value->setValue(text.data(), static_cast<unsigned>(text.size()));
}

bool getMajor(int, SnmpValue* v, const SnmpOid&) { return v->setValue(1); }
bool getZero(int, SnmpValue* v, const SnmpOid&) { return v->setValue(0); }
bool getAgentName(int, SnmpValue* v, const SnmpOid&) { return setText(v, "QV PCI SNMP Agent"); }
bool getAgentVersion(int, SnmpValue* v, const SnmpOid&)
{
    return setText(v, qv::inventory::readRegistryText(kVersionKey, 65));
}
bool getAgentDate(int, SnmpValue* v, const SnmpOid&)
{
    const auto date = qv::inventory::programFileDate(programFile, 6);
    return date && v->setValue(reinterpret_cast<const char*>(date->data()), 6);
}
int oneRow(int, const SnmpOid&) { return 1; }

bool getBiosPresent(int, SnmpValue* v, const SnmpOid&)
{
    struct stat st {};
    return v->setValue(stat(qv::sandboxPath("/proc/bus/pci").c_str(), &st) == 0 ? 1 : 0);
}

bool getBiosVersion(int, SnmpValue* v, const SnmpOid&)
{
    const std::string revision = qv::inventory::readRegistryText(kRevisionKey, 81);
    StringTokenizer words(revision, ". \n\r\t");
    if (words.getTokenCount() < 2 || words.getToken(0).empty() || words.getToken(1).empty())
        return v->setValue(0);
    const long major = std::strtol(words.getToken(0).c_str(), nullptr, 10);
    const long minor = std::strtol(words.getToken(1).c_str(), nullptr, 10);
    return v->setValue(static_cast<int16_t>(static_cast<uint16_t>((major << 8) | minor)));
}

// Walker state: the next instance is column `column`, device `row`.
int column = 1;
int row = 0;

bool pciEnumOid(bool first, SnmpOid& oid)
{
    if (first) {
        column = 1;
        row = 0;
    }
    if (column > kColumns) {
        column = 1;
        return false;
    }
    const std::vector<PCIDeviceType>& devices = pciInfo->devices();
    if (row >= static_cast<int>(devices.size())) return false;
    oid.parse(kTablePrefix);
    const PCIDeviceType& d = devices[static_cast<size_t>(row)];
    for (int id : {column, d.bus, d.slot, d.fun}) oid.idPushBack(static_cast<uint32_t>(id));
    if (++row >= static_cast<int>(devices.size())) {
        ++column;
        row = 0;
    }
    return true;
}

// The row an instance .4.1.1.COLUMN.BUS.DEVICE.FUNCTION names, null when there is none.
const PCIInfo* rowOf(const SnmpOid& oid)
{
    if (oid.idSize() != kPrefixLength + 4) return nullptr;
    const int index = pciInfo->getPCIDeviceType(oid.idAt(kPrefixLength + 1), oid.idAt(kPrefixLength + 2),
                                                oid.idAt(kPrefixLength + 3));
    return index < 0 ? nullptr : &pciInfo->info(index);
}

int busOf(const SnmpOid& oid) { return oid.idAt(kPrefixLength + 1); }
int deviceOf(const SnmpOid& oid) { return oid.idAt(kPrefixLength + 2); }

// One column: an integer field of the row, an octet range of its configuration space, or a
// number taken from the instance itself.
struct Column {
    int number;
    SNMP_TYPE type;
    unsigned (*field)(const PCIInfo&);
    unsigned offset;   // octet columns
    unsigned count;
};

const Column kColumnTable[] = {
    {1, SNMP_INTEGER, nullptr, 0, 0},
    {2, SNMP_INTEGER, nullptr, 0, 0},
    {3, SNMP_INTEGER, nullptr, 0, 0},
    {4, SNMP_INTEGER, [](const PCIInfo& p) { return p.getVendorId(); }, 0, 0},
    {5, SNMP_INTEGER, [](const PCIInfo& p) { return p.getDeviceId(); }, 0, 0},
    {6, SNMP_INTEGER, [](const PCIInfo& p) { return p.getRevisionId(); }, 0, 0},
    {7, SNMP_INTEGER, [](const PCIInfo& p) { return p.getHeaderType(); }, 0, 0},
    {8, SNMP_OCTET_STRING, nullptr, 9, 3},
    {9, SNMP_INTEGER, [](const PCIInfo& p) { return p.getCommand(); }, 0, 0},
    {10, SNMP_INTEGER, [](const PCIInfo& p) { return p.getStatus(); }, 0, 0},
    {11, SNMP_INTEGER, [](const PCIInfo& p) { return p.getCacheLineSize(); }, 0, 0},
    {12, SNMP_INTEGER, [](const PCIInfo& p) { return p.getLatencyTimer(); }, 0, 0},
    {13, SNMP_INTEGER, [](const PCIInfo& p) { return p.getBist(); }, 0, 0},
    {14, SNMP_INTEGER, [](const PCIInfo& p) { return p.getInterruptLine(); }, 0, 0},
    {15, SNMP_INTEGER, [](const PCIInfo& p) { return p.getInterruptPin(); }, 0, 0},
    {16, SNMP_INTEGER, [](const PCIInfo& p) { return p.getMaxLat(); }, 0, 0},
    {17, SNMP_INTEGER, [](const PCIInfo& p) { return p.getMinGnt(); }, 0, 0},
    {18, SNMP_OCTET_STRING, nullptr, 16, 256},
    {19, SNMP_OCTET_STRING, nullptr, 48, 256},
    {20, SNMP_OCTET_STRING, nullptr, 64, 192},
    {21, SNMP_INTEGER, nullptr, 0, 0},
};

bool getColumn(int, SnmpValue* v, const SnmpOid& oid)
{
    const PCIInfo* info = rowOf(oid);
    if (info == nullptr) return false;
    const int number = oid.idAt(kPrefixLength);
    if (number < 1 || number > kColumns) return false;
    if (number <= 3) return v->setValue(oid.idAt(kPrefixLength + number));
    if (number == kColumns) return v->setValue(PCISlotInfo().slotNumber(busOf(oid), deviceOf(oid)));
    const Column& c = kColumnTable[number - 1];
    if (c.field) return v->setValue(static_cast<int>(c.field(*info)));
    const std::string bytes = info->bytesFrom(c.offset, c.count);
    return v->setValue(bytes.data(), c.count);
}

struct Scalar {
    SNMP_OBJECT_TYPE kind;
    SNMP_TYPE type;
    const char* oid;
    SNMP_GET_FUNC get;
};

const Scalar kObjects[] = {
    {SNMP_SCALAR, SNMP_INTEGER, ".1.3.6.1.4.1.93071.2.23.10.1.1.0", getMajor},
    {SNMP_SCALAR, SNMP_INTEGER, ".1.3.6.1.4.1.93071.2.23.10.1.2.0", getZero},
    {SNMP_TABULAR, SNMP_INTEGER, ".1.3.6.1.4.1.93071.2.23.10.2.1.1.1.0", getZero},
    {SNMP_TABULAR, SNMP_STRING, ".1.3.6.1.4.1.93071.2.23.10.2.1.1.2.0", getAgentName},
    {SNMP_TABULAR, SNMP_STRING, ".1.3.6.1.4.1.93071.2.23.10.2.1.1.3.0", getAgentVersion},
    {SNMP_TABULAR, SNMP_OCTET_STRING, ".1.3.6.1.4.1.93071.2.23.10.2.1.1.4.0", getAgentDate},
    {SNMP_SCALAR, SNMP_INTEGER, ".1.3.6.1.4.1.93071.2.23.10.3.1.0", getBiosPresent},
    {SNMP_SCALAR, SNMP_INTEGER, ".1.3.6.1.4.1.93071.2.23.10.3.2.0", getBiosVersion},
    {SNMP_SCALAR, SNMP_INTEGER, ".1.3.6.1.4.1.93071.2.23.10.3.3.0", getZero},
};

} // namespace

void initPciAgent(const std::string& programPath)
{
    programFile = programPath;
    pciInfo = std::make_unique<PCIDevices>(qv::sandboxPath("/proc/bus/pci/"));
}

bool loadPciObjects()
{
    SnmpObjectRowList rows;
    for (const Scalar& s : kObjects) {
        const bool tabular = s.kind == SNMP_TABULAR;
        rows.add(s.oid, {s.kind, s.type, SNMP_READONLY, nullptr, s.get, nullptr,
                         tabular ? oneRow : nullptr, tabular ? 1 : 0, 0});
    }
    // Each column object matches only the walker's instances of its own column.
    for (const Column& c : kColumnTable)
        rows.add(std::string(kTablePrefix) + "." + std::to_string(c.number) + ".0.0.0",
                 {SNMP_RAW_TABULAR, c.type, SNMP_READONLY, nullptr, getColumn, nullptr, nullptr, 3, 0,
                  pciEnumOid});
    return addObjectRows(objects, rows.rows());
}
