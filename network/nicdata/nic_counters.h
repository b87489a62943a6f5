// Counter readers of /proc/net/dev. Each reads the file afresh; result 0 when it was read (an
// interface not in it reads 0), -1 when it has two lines or fewer. Values above 32 bits read as
// 4294967295.
#pragma once

#include <string>

namespace nic {
int _getTotalTxPackets(const std::string& interface, unsigned& value);
int _getTotalRxPackets(const std::string& interface, unsigned& value);
int _getTxOkByte(const std::string& interface, unsigned& value);
int _getRxOkByte(const std::string& interface, unsigned& value);
int _getTxMisc(const std::string& interface, unsigned& value);
int _getRxMisc(const std::string& interface, unsigned& value);
int _getTxErrorCount(const std::string& interface, unsigned& value);
int _getRxErrorCount(const std::string& interface, unsigned& value);

using CounterReader = int (*)(const std::string&, unsigned&);
} // namespace nic
