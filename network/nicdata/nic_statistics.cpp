#include "nic_statistics.h"

void NICStatistics::updateInterfaces()
{
    _error = 0;
    std::vector<std::string> names;
    if (!nic::readEthInterfaces(names)) {
        _error = -1;
        return;
    }
    for (const std::string& name : names) {
        NICStatisticsInfo info;
        info.setInterface(name);
        _data.push_back(info);
    }
}

int NICStatistics::getStatisticsIndex(unsigned i)
{
    _error = i < _data.size() ? 0 : -1;
    return _error == 0 ? static_cast<int>(i) + 1 : -1;
}

std::string NICStatistics::getInterfaceName(unsigned i)
{
    _error = i < _data.size() ? 0 : -1;
    return _error == 0 ? _data[i].getInterface() : std::string();
}

uint32_t NICStatistics::readInto(unsigned i, nic::CounterReader reader,
                                 void (NICStatisticsInfo::*setter)(const uint32_t&))
{
    _error = i < _data.size() ? 0 : -1;
    if (_error != 0) return 0xFFFFFFFFU;
    unsigned value = 0;
    _error = reader(_data[i].getInterface(), value);
    if (_error != 0) return 0xFFFFFFFFU;
    (_data[i].*setter)(value);
    return value;
}

uint32_t NICStatistics::getTotalTxPackets(unsigned i)
{
    return readInto(i, nic::_getTotalTxPackets, &NICStatisticsInfo::setTotalTxPackets);
}
uint32_t NICStatistics::getTotalRxPackets(unsigned i)
{
    return readInto(i, nic::_getTotalRxPackets, &NICStatisticsInfo::setTotalRxPackets);
}
uint32_t NICStatistics::getTxOkByte(unsigned i)
{
    return readInto(i, nic::_getTxOkByte, &NICStatisticsInfo::setTxOkByte);
}
uint32_t NICStatistics::getRxOkByte(unsigned i)
{
    return readInto(i, nic::_getRxOkByte, &NICStatisticsInfo::setRxOkByte);
}
uint32_t NICStatistics::getTxMisc(unsigned i)
{
    return readInto(i, nic::_getTxMisc, &NICStatisticsInfo::setTxMisc);
}
uint32_t NICStatistics::getRxMisc(unsigned i)
{
    return readInto(i, nic::_getRxMisc, &NICStatisticsInfo::setRxMisc);
}

uint32_t NICError::readLive(unsigned i, nic::CounterReader reader)
{
    NICErrorInfo* r = row(i);
    unsigned value = 0;
    if (!r || reader(r->getInterfaceName(), value) != 0) {
        _error = -1;
        return 0xFFFFFFFFU;
    }
    return value;
}
