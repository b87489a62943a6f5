// The interface row rule shared by every NIC collection: the Ethernet interfaces of
// /proc/net/dev, in file order.
#pragma once

#include <string>
#include <vector>

namespace nic {

// Appends the name of every "eth" interface of /proc/net/dev to `names`. False (nothing
// appended) when the file cannot be read or has two lines or fewer.
bool readEthInterfaces(std::vector<std::string>& names);

// While one lives, every readEthInterfaces answers from a single reading of /proc/net/dev: an
// agent builds all its collections at once, and they must agree on the rows anyway.
class InterfaceListScope {
public:
    InterfaceListScope();
    ~InterfaceListScope();
    InterfaceListScope(const InterfaceListScope&) = delete;
    InterfaceListScope& operator=(const InterfaceListScope&) = delete;
};

// The path of /proc/net/dev below the sandbox root.
std::string procNetDevPath();

} // namespace nic
