// /proc/net/dev as arbitrary text: the interface rows and every counter reader.
#include "fuzz_root.h"
#include "nic_counters.h"
#include "nic_interfaces.h"
#include "nic_statistics.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::writeRootFile("/proc/net/dev", data, size);
    static const nic::CounterReader kReaders[] = {
        nic::_getTotalTxPackets, nic::_getTotalRxPackets, nic::_getTxOkByte, nic::_getRxOkByte,
        nic::_getTxMisc, nic::_getRxMisc, nic::_getTxErrorCount, nic::_getRxErrorCount};

    std::vector<std::string> names;
    nic::readEthInterfaces(names);
    names.push_back("eth0");
    names.push_back("");
    for (const std::string& name : names)
        for (auto reader : kReaders) {
            unsigned value = 0;
            (void)reader(name, value);
        }

    NICStatistics stats;
    for (unsigned i = 0; i <= stats.getNICStatisticsCount(); ++i) {
        (void)stats.getStatisticsIndex(i);
        (void)stats.getInterfaceName(i);
        (void)stats.getTotalTxPackets(i);
        (void)stats.getTotalRxPackets(i);
        (void)stats.getTxOkByte(i);
        (void)stats.getRxOkByte(i);
        (void)stats.getTxMisc(i);
        (void)stats.getRxMisc(i);
    }
    NICError errors;
    for (unsigned i = 0; i <= errors.getNICErrorCount(); ++i) {
        (void)errors.getNICErrorIndex(i);
        (void)errors.getTotalTxErrorPacket(i);
        (void)errors.getTotalRxErrorPacket(i);
    }
    return 0;
}
