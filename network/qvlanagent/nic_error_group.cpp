// Group 4: the error table.
#include "nic_groups.h"
#include "nic_statistics.h"

#include <memory>

namespace {

std::unique_ptr<NICError> errors;

int nicErrStatCount(int, const SnmpOid&) { return static_cast<int>(errors->getNICErrorCount()); }

bool setLive(SnmpValue* v, uint32_t count)
{
    return errors->getOperationStatus() == 0 && v->setValue(static_cast<int>(count));
}

bool getNicErrErrorsIndex(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(errors->getNICErrorIndex(static_cast<unsigned>(r)));
}
bool getNicErrTotalTxErrPacket(int r, SnmpValue* v, const SnmpOid&)
{
    return setLive(v, errors->getTotalTxErrorPacket(static_cast<unsigned>(r)));
}
bool getNicErrTotalRxErrPacket(int r, SnmpValue* v, const SnmpOid&)
{
    return setLive(v, errors->getTotalRxErrorPacket(static_cast<unsigned>(r)));
}

constexpr SNMP_TYPE C = SNMP_COUNTER;
constexpr SNMP_GET_FUNC P = getNicPlaceholder;

const NicColumn kColumns[] = {
    {SNMP_INTEGER, getNicErrErrorsIndex},                        // 1
    {C, P}, {C, P}, {C, P}, {C, P}, {C, P}, {C, P}, {C, P},      // 2-8 collisions, deferrals
    {C, P}, {C, P},                                              // 9-10 alignment, mismatch
    {SNMP_INTEGER, getNicErrTotalTxErrPacket},                   // 11
    {SNMP_INTEGER, getNicErrTotalRxErrPacket},                   // 12
};
static_assert(std::size(kColumns) == 12);

} // namespace

void buildErrorGroup() { errors = std::make_unique<NICError>(); }

NicTable errorTable() { return {".4.1.1", kColumns, nicErrStatCount, 1}; }
