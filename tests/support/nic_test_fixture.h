// A sandbox root with a supported model, a /proc/net/dev and interface fixture, and a private
// NIC parameter segment that is removed again.
#pragma once

#include "registry.h"
#include "shared_memory.h"
#include "temp_root.h"

#include <sys/ipc.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>

namespace lantest {

inline const char* const kProcNetDev =
    "Inter-|   Receive                                                |  Transmit\n"
    " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
    "drop fifo colls carrier compressed\n"
    "    lo: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n"
    "  eth0: 1000 30 7 0 0 0 0 0 2000 40 3 0 0 0 0 0\n"
    "  eth1: 500 4 2 0 0 0 0 0 600 5 12 0 0 0 0 0\n";

inline const char* const kNetif =
    "eth0 hwaddr=00:60:b0:0a:1b:2c base=0x1000 irq=10 dma=3 mem=0xd0000 flags=0x1143\n"
    "eth1 hwaddr=00:60:b0:0a:1b:2d base=0x2000 irq=11 dma=0 mem=0 flags=0x1043\n";

// A segment key of its own for each fixture: test binaries run in parallel.
inline std::string uniqueSegmentKey(unsigned family)
{
    static std::atomic<int> next{0};
    return std::to_string(family << 28 | (static_cast<unsigned>(::getpid()) & 0xFFFFF) << 7 |
                          static_cast<unsigned>(next++ & 0x7F));
}

class NicRoot {
public:
    explicit NicRoot(unsigned keyFamily)
        : key_(uniqueSegmentKey(keyFamily)), keyEnv_("QV_NIC_SHM_KEY", key_.c_str()),
          logEnv_("QV_LOG_FILE", root.at("/qv.log").c_str())
    {
        const uint32_t model = 55;
        SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model);
        root.writeFile("/proc/net/dev", kProcNetDev);
        root.writeFile("/var/qvsim/netif", kNetif);
        root.writeFile("/var/qvsim/uname", "2.2.14-5.0\n");
    }
    ~NicRoot()
    {
        if (segment) segment->destroy();
    }
    // What the trap daemon does at start: the segment exists from now on.
    void createSegment() { segment = std::make_unique<SharedMemory>(168, IPC_CREAT | 0600); }
    std::string settings() const
    {
        return root.exists("/usr/qvserver/etc/vknicagt.cfg")
                   ? root.readFile("/usr/qvserver/etc/vknicagt.cfg")
                   : std::string();
    }
    std::string logText() const
    {
        return root.exists("/qv.log") ? root.readFile("/qv.log") : std::string();
    }
    const std::string& key() const { return key_; }

    qv::test::TempRoot root;
    std::unique_ptr<SharedMemory> segment;

private:
    std::string key_;
    qv::test::ScopedEnv keyEnv_;
    qv::test::ScopedEnv logEnv_;
};

} // namespace lantest
