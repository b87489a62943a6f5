#include "load_objects.h"

#include <cstdint>
#include <cstdlib>

#include "agent_frontend.h"
#include "agent_info.h"
#include "tokenizer.h"

namespace {

SysinfoSource readSysinfo = sysinfo;

// The kernel counts memory in units of mem_unit bytes; a figure beyond 32 bits is clamped.
struct Figures {
    uint64_t totalram, freeram, totalswap, freeswap, load1;
};

bool currentFigures(Figures& f)
{
    struct sysinfo info {};
    if (readSysinfo(&info) != 0) return false;
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    f = {info.totalram * unit, info.freeram * unit, info.totalswap * unit, info.freeswap * unit,
         info.loads[0]};
    return true;
}

uint64_t used(uint64_t total, uint64_t free) { return total > free ? total - free : 0; }

bool setClamped(SnmpValue* v, uint64_t figure)
{
    return v->setValue(static_cast<int>(static_cast<uint32_t>(figure > UINT32_MAX ? UINT32_MAX : figure)));
}

template <uint64_t (*compute)(const Figures&)>
bool getFigure(int, SnmpValue* v, const SnmpOid&)
{
    Figures f{};
    return currentFigures(f) && setClamped(v, compute(f));
}

uint64_t available(const Figures& f) { return f.freeram; }
uint64_t commitLimit(const Figures& f) { return f.totalram + f.totalswap; }
uint64_t committed(const Figures& f) { return used(f.totalram, f.freeram) + used(f.totalswap, f.freeswap); }
uint64_t physical(const Figures& f) { return f.totalram; }
uint64_t processorLoad(const Figures& f) { return f.load1 * 100 / 65536; }

bool getMajorRevision(int, SnmpValue* v, const SnmpOid&)
{
    const std::string version = qv::inventory::readRegistryText("SOFTWARE\\Quorvane\\Trivoke=Version", 37);
    StringTokenizer words(version, ". \n\r\t\f");
    if (words.getTokenCount() == 0 || words.getToken(0).empty()) return false;
    return v->setValue(static_cast<int>(std::strtol(words.getToken(0).c_str(), nullptr, 10)));
}

struct Row {
    SNMP_TYPE type;
    const char* oid;
    SNMP_GET_FUNC get;
};

const Row kObjects[] = {
    {SNMP_COUNTER, ".1.3.6.1.4.1.944.2.1.10.1.0", getFigure<available>},
    {SNMP_COUNTER, ".1.3.6.1.4.1.944.2.1.10.5.0", getFigure<commitLimit>},
    {SNMP_COUNTER, ".1.3.6.1.4.1.944.2.1.10.6.0", getFigure<committed>},
    {SNMP_COUNTER, ".1.3.6.1.4.1.944.2.2.4.6.0", getFigure<physical>},
    {SNMP_GAUGE, ".1.3.6.1.4.1.944.2.2.5.1.0", getFigure<processorLoad>},
    {SNMP_INTEGER, ".1.3.6.1.4.1.944.2.2.6.1.0", getMajorRevision},
};

} // namespace

void setSysinfoSource(SysinfoSource source) { readSysinfo = source ? source : sysinfo; }

bool loadPerformanceObjects()
{
    SnmpObjectRowList rows;
    for (const Row& r : kObjects) rows.add(r.oid, {SNMP_SCALAR, r.type, SNMP_READONLY, nullptr, r.get});
    return addObjectRows(objects, rows.rows());
}
