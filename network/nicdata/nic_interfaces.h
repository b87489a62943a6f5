// The interface row rule shared by every NIC collection: the Ethernet interfaces of
// /proc/net/dev, in file order.
#pragma once

#include <string>
#include <vector>

namespace nic {

// Appends the name of every "eth" interface of /proc/net/dev to `names`. False (nothing
// appended) when the file cannot be read or has two lines or fewer.
bool readEthInterfaces(std::vector<std::string>& names);

// The path of /proc/net/dev below the sandbox root.
std::string procNetDevPath();

} // namespace nic
