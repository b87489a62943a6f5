// Group 2: the statistics table. Reading a total records it as the baseline of its delta.
#include "nic_baselines.h"
#include "nic_groups.h"
#include "nic_statistics.h"

#include <cstdint>
#include <memory>

namespace {

std::unique_ptr<NICStatistics> statistics;

int nicStatCount(int, const SnmpOid&) { return static_cast<int>(statistics->getNICStatisticsCount()); }

struct Counter {
    const char* baselinePrefix;
    uint32_t (NICStatistics::*read)(unsigned);
};
constexpr Counter kTotalTxPacket{"TotalTxPacket/", &NICStatistics::getTotalTxPackets};
constexpr Counter kTotalRxPacket{"TotalRxPacket/", &NICStatistics::getTotalRxPackets};
constexpr Counter kTxOkByte{"TxOkByte/", &NICStatistics::getTxOkByte};
constexpr Counter kRxOkByte{"RxOkByte/", &NICStatistics::getRxOkByte};
constexpr Counter kTxMisc{nullptr, &NICStatistics::getTxMisc};
constexpr Counter kRxMisc{nullptr, &NICStatistics::getRxMisc};

bool readCounter(const Counter& c, unsigned row, uint32_t& value)
{
    value = (statistics.get()->*c.read)(row);
    return statistics->getOperationStatus() == 0;
}

// The baseline key, or false when the row does not exist.
bool baselineKey(const Counter& c, unsigned row, std::string& key)
{
    key = c.baselinePrefix + statistics->getInterfaceName(row);
    return statistics->getOperationStatus() == 0;
}

template <const Counter& C>
bool getCurrent(int r, SnmpValue* v, const SnmpOid&)
{
    uint32_t value = 0;
    return readCounter(C, static_cast<unsigned>(r), value) && v->setValue(static_cast<int>(value));
}

template <const Counter& C>
bool getTotal(int r, SnmpValue* v, const SnmpOid&)
{
    const auto row = static_cast<unsigned>(r);
    std::string key;
    uint32_t value = 0;
    if (!baselineKey(C, row, key) || !readCounter(C, row, value)) return false;
    v->setValue(static_cast<int>(value));
    // A baseline that cannot be written is not the manager's concern: the total stands.
    if (readCounter(C, row, value)) nicbaseline::write(key, value);
    return true;
}

template <const Counter& C>
bool getDelta(int r, SnmpValue* v, const SnmpOid&)
{
    const auto row = static_cast<unsigned>(r);
    std::string key;
    uint32_t value = 0;
    if (!baselineKey(C, row, key)) return false;
    const uint32_t baseline = nicbaseline::read(key);
    if (!readCounter(C, row, value)) return false;
    return v->setValue(static_cast<int>(value - baseline));   // modulo 2^32, then signed
}

bool getNicStatStatisticsIndex(int r, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(statistics->getStatisticsIndex(static_cast<unsigned>(r)));
}
constexpr SNMP_GET_FUNC getNicStatTotalTxPacket = getTotal<kTotalTxPacket>;
constexpr SNMP_GET_FUNC getNicStatDeltaTotalTxPacket = getDelta<kTotalTxPacket>;
constexpr SNMP_GET_FUNC getNicStatTotalRxPacket = getTotal<kTotalRxPacket>;
constexpr SNMP_GET_FUNC getNicStatDeltaTotalRxPacket = getDelta<kTotalRxPacket>;
constexpr SNMP_GET_FUNC getNicStatTxMisc = getCurrent<kTxMisc>;
constexpr SNMP_GET_FUNC getNicStatRxMisc = getCurrent<kRxMisc>;
constexpr SNMP_GET_FUNC getNicStatTxOkByte = getTotal<kTxOkByte>;
constexpr SNMP_GET_FUNC getNicStatDeltaTxOkByte = getDelta<kTxOkByte>;
constexpr SNMP_GET_FUNC getNicStatRxOkByte = getTotal<kRxOkByte>;
constexpr SNMP_GET_FUNC getNicStatDeltaRxOkByte = getDelta<kRxOkByte>;

constexpr SNMP_TYPE I = SNMP_INTEGER;
constexpr SNMP_TYPE C = SNMP_COUNTER;
constexpr SNMP_GET_FUNC P = getNicPlaceholder;

const NicColumn kColumns[] = {
    {I, getNicStatStatisticsIndex},     // 1
    {C, getNicStatTotalTxPacket},       // 2
    {I, getNicStatDeltaTotalTxPacket},  // 3
    {C, getNicStatTotalRxPacket},       // 4
    {I, getNicStatDeltaTotalRxPacket},  // 5
    {C, P}, {C, P}, {C, P}, {C, P},     // 6-9 GetECBFails, TxTooBig, RxTooBig, RxOverflow
    {C, getNicStatTxMisc},              // 10
    {C, getNicStatRxMisc},              // 11
    {C, P},                             // 12 RxCRC
    {C, getNicStatTxOkByte},            // 13
    {I, getNicStatDeltaTxOkByte},       // 14
    {C, getNicStatRxOkByte},            // 15
    {I, getNicStatDeltaRxOkByte},       // 16
    {C, P}, {I, P}, {C, P}, {I, P},     // 17-20 Tx/Rx group and their deltas
    {C, P}, {C, P}, {C, P}, {C, P}, {C, P},   // 21-25 AdapterReset .. RcvBuffersCkOut
    {I, P}, {I, P},                     // 26-27 RcvBuffersMaxSize, NumCustCounter
};
static_assert(std::size(kColumns) == 27);

} // namespace

void buildStatisticsGroup() { statistics = std::make_unique<NICStatistics>(); }

NicTable statisticsTable() { return {".2.1.1", kColumns, nicStatCount, 1}; }
