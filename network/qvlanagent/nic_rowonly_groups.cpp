// Groups 3, 8 and 9: custom statistics and the two token-ring tables. The platform has no data
// for them; they keep a row per interface so their index columns still count the adapters.
#include "nic_groups.h"
#include "nic_row_collections.h"

#include <memory>

namespace {

std::unique_ptr<NICCustomStatistics> customStatistics;
std::unique_ptr<NICTokenRingStatistics> tokenRingStatistics;
std::unique_ptr<NICTokenRingError> tokenRingError;

int nicCustStatCount(int, const SnmpOid&)
{
    return static_cast<int>(customStatistics->getNICCustomStatisticsCount());
}
int nicTokenRingCount(int, const SnmpOid&)
{
    return static_cast<int>(tokenRingStatistics->getNICTokenRingStatisticsCount());
}
int nicTokenRingErrCount(int, const SnmpOid&)
{
    return static_cast<int>(tokenRingError->getNICTokenRingErrorCount());
}

bool getNicCustStatCustIndex(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(customStatistics->getNICCustomStatisticsIndex(static_cast<unsigned>(r)));
}
bool getNicTokenRingStatisticsIndex(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(
        tokenRingStatistics->getNICTokenRingStatisticsIndex(static_cast<unsigned>(r)));
}
bool getNicTokenRingErrIndex(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(tokenRingError->getNICTokenRingErrorIndex(static_cast<unsigned>(r)));
}

constexpr SNMP_TYPE I = SNMP_INTEGER;
constexpr SNMP_TYPE S = SNMP_STRING;
constexpr SNMP_GET_FUNC P = getNicPlaceholder;

const NicColumn kCustomStatistics[] = {
    {I, getNicCustStatCustIndex}, {I, P}, {SNMP_COUNTER, P}, {S, P},
};
const NicColumn kTokenRingStatistics[] = {
    {I, getNicTokenRingStatisticsIndex}, {S, P}, {S, P}, {I, P}, {I, P}, {I, P},
};
const NicColumn kTokenRingErrors[] = {
    {I, getNicTokenRingErrIndex}, {I, P}, {I, P}, {I, P}, {I, P},
    {I, P}, {I, P}, {I, P}, {I, P}, {I, P},
};
static_assert(std::size(kTokenRingErrors) == 10);

} // namespace

void buildRowOnlyGroups()
{
    customStatistics = std::make_unique<NICCustomStatistics>();
    tokenRingStatistics = std::make_unique<NICTokenRingStatistics>();
    tokenRingError = std::make_unique<NICTokenRingError>();
}

NicTable customStatisticsTable() { return {".3.1.1", kCustomStatistics, nicCustStatCount, 1}; }
NicTable tokenRingStatisticsTable() { return {".8.1.1", kTokenRingStatistics, nicTokenRingCount, 1}; }
NicTable tokenRingErrorTable() { return {".9.1.1", kTokenRingErrors, nicTokenRingErrCount, 1}; }
