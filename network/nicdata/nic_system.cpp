#include "nic_system.h"

#include "sandbox_path.h"

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace nic {
namespace {

// Key/value words of the stand-in line for `interface`; false when the stand-in is not in use
// (`used` false) or does not list the interface (`used` true).
bool standInLine(const std::string& interface, std::map<std::string, std::string>& words,
                 bool& used)
{
    used = false;
    if (qv::sandboxRoot().empty()) return false;
    std::ifstream in(qv::sandboxPath("/var/qvsim/netif"));
    if (!in) return false;
    used = true;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream split(line);
        std::string name;
        if (!(split >> name) || name != interface) continue;
        std::string word;
        while (split >> word) {
            const auto eq = word.find('=');
            if (eq != std::string::npos) words[word.substr(0, eq)] = word.substr(eq + 1);
        }
        return true;
    }
    errno = ENODEV;
    return false;
}

unsigned long standInNumber(const std::map<std::string, std::string>& words, const char* key)
{
    const auto it = words.find(key);
    return it == words.end() ? 0 : std::strtoul(it->second.c_str(), nullptr, 0);
}

// One interface request. The datagram socket only carries requests, so one serves the process:
// an agent asks several per interface on every run.
bool interfaceIoctl(const std::string& interface, unsigned long request, ifreq& req)
{
    std::memset(&req, 0, sizeof req);
    std::strncpy(req.ifr_name, interface.c_str(), sizeof req.ifr_name - 1);
    static int fd = -1;
    if (fd < 0) fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    return ::ioctl(fd, request, &req) >= 0;
}

} // namespace

bool queryHardwareAddress(const std::string& interface, unsigned char address[6])
{
    std::map<std::string, std::string> words;
    bool used;
    if (standInLine(interface, words, used)) {
        unsigned b[6] = {};
        const auto it = words.find("hwaddr");
        if (it != words.end() &&
            std::sscanf(it->second.c_str(), "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3],
                        &b[4], &b[5]) != 6)
            return false;
        for (int i = 0; i < 6; ++i) address[i] = static_cast<unsigned char>(b[i]);
        return true;
    }
    if (used) return false;
    ifreq req;
    if (!interfaceIoctl(interface, SIOCGIFHWADDR, req)) return false;
    std::memcpy(address, req.ifr_hwaddr.sa_data, 6);
    return true;
}

bool queryInterfaceMap(const std::string& interface, InterfaceMap& map)
{
    std::map<std::string, std::string> words;
    bool used;
    if (standInLine(interface, words, used)) {
        map.baseAddress = static_cast<uint16_t>(standInNumber(words, "base"));
        map.irq = static_cast<uint8_t>(standInNumber(words, "irq"));
        map.dma = static_cast<uint8_t>(standInNumber(words, "dma"));
        map.memStart = standInNumber(words, "mem");
        return true;
    }
    if (used) return false;
    ifreq req;
    if (!interfaceIoctl(interface, SIOCGIFMAP, req)) return false;
    map.baseAddress = req.ifr_map.base_addr;
    map.irq = req.ifr_map.irq;
    map.dma = req.ifr_map.dma;
    map.memStart = req.ifr_map.mem_start;
    return true;
}

bool queryInterfaceFlags(const std::string& interface, unsigned& flags)
{
    std::map<std::string, std::string> words;
    bool used;
    if (standInLine(interface, words, used)) {
        flags = static_cast<unsigned>(standInNumber(words, "flags"));
        return true;
    }
    if (used) return false;
    ifreq req;
    if (!interfaceIoctl(interface, SIOCGIFFLAGS, req)) return false;
    flags = static_cast<unsigned short>(req.ifr_flags);
    return true;
}

} // namespace nic
