// Group 5: the miscellaneous scalars.
#include "nic_groups.h"
#include "nic_row_collections.h"

#include <memory>

namespace {

std::unique_ptr<NICMisc> misc;

bool getNicMiscNumBoards(int index, SnmpValue* v, const SnmpOid&)
{
    return index == 0 && v->setValue(static_cast<int>(misc->getNICMiscCount()));
}
bool getNicMiscAdapterType(int index, SnmpValue* v, const SnmpOid&)
{
    return index == 0 && v->setValue(0);
}

} // namespace

void buildMiscGroup() { misc = std::make_unique<NICMisc>(); }

std::vector<NicScalar> miscScalars()
{
    return {{".5.1", SNMP_INTEGER, getNicMiscNumBoards}, {".5.2", SNMP_INTEGER, getNicMiscAdapterType}};
}
