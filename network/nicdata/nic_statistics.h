// Traffic and error counters per Ethernet interface, read live from /proc/net/dev.
#pragma once

#include "nic_base_info.h"
#include "nic_counters.h"
#include "nic_row_collection.h"

#include <cstdint>
#include <string>
#include <vector>

class NICStatisticsInfo {
    NIC_ROW_FIELD(std::string, Interface, _interface);
    NIC_ROW_FIELD(uint32_t, TotalTxPackets, _total_tx_packets);
    NIC_ROW_FIELD(uint32_t, TotalRxPackets, _total_rx_packets);
    NIC_ROW_FIELD(uint32_t, TxMisc, _tx_misc);
    NIC_ROW_FIELD(uint32_t, RxMisc, _rx_misc);
    NIC_ROW_FIELD(uint32_t, TxOkByte, _tx_ok_byte);
    NIC_ROW_FIELD(uint32_t, RxOkByte, _rx_ok_byte);
};

class NICErrorInfo : public NICBaseInfo {
public:
    using NICBaseInfo::operator=;
    NICErrorInfo() = default;
    NICErrorInfo(const NICErrorInfo&) = default;
    virtual NICErrorInfo& operator=(const NICErrorInfo& other)
    {
        NICBaseInfo::operator=(other);
        _tx_error_packet = other._tx_error_packet;
        _rx_error_packet = other._rx_error_packet;
        return *this;
    }
    uint32_t _tx_error_packet = 0;
    uint32_t _rx_error_packet = 0;
};


class NICStatistics {
public:
    NICStatistics() { updateInterfaces(); }
    int getOperationStatus() const { return _error; }
    unsigned getNICStatisticsCount() const { return static_cast<unsigned>(_data.size()); }
    int getStatisticsIndex(unsigned i);
    std::string getInterfaceName(unsigned i);

    uint32_t getTotalTxPackets(unsigned i);
    uint32_t getTotalRxPackets(unsigned i);
    uint32_t getTxOkByte(unsigned i);
    uint32_t getRxOkByte(unsigned i);
    uint32_t getTxMisc(unsigned i);
    uint32_t getRxMisc(unsigned i);

    void updateInterfaces();
    void clearInterfaces() { _data.clear(); }

private:
    uint32_t readInto(unsigned i, nic::CounterReader reader,
                      void (NICStatisticsInfo::*setter)(const uint32_t&));

    std::vector<NICStatisticsInfo> _data;
    int _error = 0;
};

class NICError : public NICRowCollection<NICErrorInfo> {
public:
    unsigned getNICErrorCount() const { return rowCount(); }
    int getNICErrorIndex(unsigned i) { return rowIndex(i, 1); }
    uint32_t getTotalTxErrorPacket(unsigned i) { return readLive(i, nic::_getTxErrorCount); }
    uint32_t getTotalRxErrorPacket(unsigned i) { return readLive(i, nic::_getRxErrorCount); }

private:
    uint32_t readLive(unsigned i, nic::CounterReader reader);
};
