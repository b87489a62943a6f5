// The interface ioctls (SIOCGIFHWADDR, SIOCGIFMAP, SIOCGIFFLAGS) and uname, behind one seam.
//
// When QV_ROOT is set and the stand-in file $QV_ROOT/var/qvsim/netif exists, answers come from
// it instead of the kernel. One interface per line, words separated by blanks:
//
//     eth0 hwaddr=00:60:b0:0a:1b:2c base=0x300 irq=10 dma=0 mem=0xd0000 flags=0x1143
//
// Numbers take any strtoul base prefix; missing keys read as 0. An interface the file does not
// list fails like a vanished interface (ENODEV). Without the file the real calls are made. The
// kernel release comes from qv::kernelRelease (kernel_release.h).
#pragma once

#include <cstdint>
#include <string>

namespace nic {

struct InterfaceMap {
    uint16_t baseAddress = 0;
    uint8_t irq = 0;
    uint8_t dma = 0;
    unsigned long memStart = 0;
};

// Each returns true on success.
bool queryHardwareAddress(const std::string& interface, unsigned char address[6]);
bool queryInterfaceMap(const std::string& interface, InterfaceMap& map);
bool queryInterfaceFlags(const std::string& interface, unsigned& flags);

} // namespace nic
