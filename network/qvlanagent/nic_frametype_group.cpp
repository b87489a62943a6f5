// Group 6: the frame-type table, instances <col>.<group>.<entry>.
#include "nic_groups.h"
#include "nic_row_collections.h"

#include <memory>

namespace {

std::unique_ptr<NICFrameType> frameTypes;

// The group arc of an instance (next-to-last), from 0; -1 when the OID is too short.
long long groupOf(const SnmpOid& oid)
{
    if (oid.idSize() < 2) return -1;
    return static_cast<long long>(oid.idAtUnsigned(oid.idSize() - 2)) - 1;
}

int nicFrmTypeCount(int index, const SnmpOid& oid)
{
    if (index == 1) return static_cast<int>(frameTypes->getNICFrameTypeCount());
    if (index != 2) return 0;
    const long long g = groupOf(oid);
    if (g < 0 || g >= frameTypes->getNICFrameTypeCount()) return 0;
    return static_cast<int>(frameTypes->getNICIntoFrameTypeCount(static_cast<unsigned>(g)));
}

// True when the instance names an existing entry; `g` and `e` then hold it.
bool entryOf(int index, const SnmpOid& oid, unsigned& g, unsigned& e)
{
    const long long group = groupOf(oid);
    if (group < 0 || group >= frameTypes->getNICFrameTypeCount() || index < 0) return false;
    g = static_cast<unsigned>(group);
    e = static_cast<unsigned>(index);
    return e < frameTypes->getNICIntoFrameTypeCount(g);
}

bool getEntryNumber(int index, SnmpValue* v, const SnmpOid& oid)
{
    unsigned g = 0, e = 0;
    return entryOf(index, oid, g, e) && v->setValue(static_cast<int>(e + 1));
}

bool getNicFrmTypeFrameTypeString(int index, SnmpValue* v, const SnmpOid& oid)
{
    unsigned g = 0, e = 0;
    return entryOf(index, oid, g, e) && v->setValue(frameTypes->getFrameTypeString(g, e).c_str(), 0);
}

constexpr SNMP_GET_FUNC getNicFrmTypeIndex = getEntryNumber;
constexpr SNMP_GET_FUNC getNicFrmTypeCardIndex = getEntryNumber;

const NicColumn kColumns[] = {
    {SNMP_INTEGER, getNicFrmTypeIndex},
    {SNMP_INTEGER, getNicFrmTypeCardIndex},
    {SNMP_STRING, getNicFrmTypeFrameTypeString},
};

} // namespace

void buildFrameTypeGroup() { frameTypes = std::make_unique<NICFrameType>(); }

NicTable frameTypeTable() { return {".6.1.1", kColumns, nicFrmTypeCount, 2}; }
