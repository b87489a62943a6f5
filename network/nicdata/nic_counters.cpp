#include "nic_counters.h"

#include "nic_interfaces.h"
#include "tokenizer.h"

#include <cerrno>
#include <cstdlib>

namespace nic {
namespace {

enum CounterColumn : unsigned {
    kRxBytes = 1,
    kRxPackets = 2,
    kRxErrors = 3,
    kTxBytes = 9,
    kTxPackets = 10,
    kTxErrors = 11,
};

unsigned toCounter(const std::string& text)
{
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value > 4294967295ULL) return 4294967295U;
    return static_cast<unsigned>(value);
}

int readCounter(const std::string& interface, unsigned column, unsigned& value)
{
    value = 0;
    try {
        FileTokenizer file(procNetDevPath(), " \n\f\t\r:");
        if (file.getLinesCount() <= 2) return -1;
        for (unsigned i = 0; i < file.getLinesCount(); ++i) {
            StringTokenizer& line = file.getLine(i);
            if (line.getTokenCount() == 0 || line.getToken(0) != interface) continue;
            if (column < line.getTokenCount()) value = toCounter(line.getToken(column));
            return 0;
        }
        return 0;
    } catch (const TokenizerError&) {
        return -1;
    }
}

} // namespace

int _getTotalTxPackets(const std::string& i, unsigned& v) { return readCounter(i, kTxPackets, v); }
int _getTotalRxPackets(const std::string& i, unsigned& v) { return readCounter(i, kRxPackets, v); }
int _getTxOkByte(const std::string& i, unsigned& v) { return readCounter(i, kTxBytes, v); }
int _getRxOkByte(const std::string& i, unsigned& v) { return readCounter(i, kRxBytes, v); }
int _getTxMisc(const std::string& i, unsigned& v) { return readCounter(i, kTxErrors, v); }
int _getRxMisc(const std::string& i, unsigned& v) { return readCounter(i, kRxErrors, v); }
int _getTxErrorCount(const std::string& i, unsigned& v) { return readCounter(i, kTxErrors, v); }
int _getRxErrorCount(const std::string& i, unsigned& v) { return readCounter(i, kRxErrors, v); }

} // namespace nic
