// Module files and the interface stand-in files. Input: NUL-separated contents of
// /etc/modules.conf (or /etc/conf.modules when the selector byte is odd), /proc/modules,
// /var/qvsim/netif and /var/qvsim/uname; /proc/net/dev lists three Ethernet interfaces.
#include "fuzz_root.h"
#include "nic_driver_config.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static const std::string kDev =
        "Inter-|   Receive                |  Transmit\n"
        " face |bytes packets errs drop fifo frame compressed multicast|bytes packets\n"
        "  eth0: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n"
        "  eth1: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n"
        "  eth2: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n";
    qv::fuzz::writeRootFile("/proc/net/dev", kDev.data(), kDev.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::InputCursor in(data, size);
    const bool oldName = in.u8() & 1;
    qv::fuzz::removeRootFile("/etc/modules.conf");
    qv::fuzz::removeRootFile("/etc/conf.modules");
    for (const char* path : {oldName ? "/etc/conf.modules" : "/etc/modules.conf", "/proc/modules",
                             "/var/qvsim/netif", "/var/qvsim/uname"}) {
        const auto contents = in.until('\0');
        qv::fuzz::writeRootFile(path, contents.data(), contents.size());
    }

    NICDriverConfig config;
    for (unsigned i = 0; i <= config.getNICDriverConfigCount(); ++i) {
        (void)config.getNICDriverConfigIndex(i);
        (void)config.getInterfaceName(i);
        (void)config.getDriverName(i);
        (void)config.getDriverDescription(i);
        (void)config.getPhysicalAddress(i);
        (void)config.getDriverMajorVersion(i);
        (void)config.getDriverMinorVersion(i);
        (void)config.getIOPort(i);
        (void)config.getInterrupt(i);
        (void)config.getDMA(i);
        (void)config.getMulticast(i);
        (void)config.getPromiscuous(i);
        (void)config.getMemory(i);
    }
    return 0;
}
