#include "nic_driver_config.h"

#include "nic_interfaces.h"
#include "nic_system.h"
#include "kernel_release.h"
#include "sandbox_path.h"
#include "snmp_log.h"
#include "tokenizer.h"

#include <net/if.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace nic {
namespace {

const char* const kBlanks = " \n\f\t\r";

// The module configuration, the first of the two historic names that opens.
std::unique_ptr<FileTokenizer> openModuleConfiguration()
{
    std::string message;
    for (const char* path : {"/etc/conf.modules", "/etc/modules.conf"}) {
        const std::string real = qv::sandboxPath(path);
        // Usually neither exists on a current system: an exception thrown for each interface
        // of every request costs more than the rest of the lookup.
        if (::access(real.c_str(), F_OK) != 0) {
            message = FileTokenizerError::kFileNotFound;
            continue;
        }
        try {
            return std::make_unique<FileTokenizer>(real, kBlanks);
        } catch (const TokenizerError& e) {
            message = e.getMessage();
        }
    }
    log(LOG_WARNING, "%s", message.c_str());
    return nullptr;
}

bool moduleLoaded(FileTokenizer* modules, const std::string& module)
{
    if (!modules) return false;
    for (unsigned i = 0; i < modules->getLinesCount(); ++i) {
        StringTokenizer& line = modules->getLine(i);
        if (line.getTokenCount() > 0 && line.getToken(0) == module) return true;
    }
    return false;
}

int firstReleaseNumber()
{
    std::string release;
    if (!qv::kernelRelease(release)) return -1;
    StringTokenizer parts(release, " \n\f\t\r.-");
    return parts.getTokenCount() > 0 ? std::atoi(parts.getToken(0).c_str()) : 0;
}

} // namespace

int _getDriverName(const std::string& interface, std::string& driver_name)
{
    std::unique_ptr<FileTokenizer> config = openModuleConfiguration();
    std::unique_ptr<FileTokenizer> modules;
    try {
        modules = std::make_unique<FileTokenizer>(qv::sandboxPath("/proc/modules"), kBlanks);
    } catch (const TokenizerError&) {
    }
    if (!config) return 0;
    for (unsigned i = 0; i < config->getLinesCount(); ++i) {
        StringTokenizer& line = config->getLine(i);
        // An alias line without its module word names no driver.
        if (line.getTokenCount() < 3 || line.getToken(0) != "alias" ||
            line.getToken(1) != interface)
            continue;
        const std::string& module = line.getToken(2);
        driver_name = moduleLoaded(modules.get(), module) ? module : "embedded in kernel";
    }
    return 0;
}

int _getPhysicalAddress(const std::string& interface, std::string& physical_address)
{
    unsigned char b[6];
    if (!queryHardwareAddress(interface, b)) return -1;
    char text[32];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2], b[3],
                  b[4], b[5]);
    physical_address = text;
    return 0;
}

int _getDriverMajor() { return firstReleaseNumber(); }
// The historic reader takes the same first number of the release.
int _getDriverMinor() { return firstReleaseNumber(); }

int _getIOPort(const std::string& interface, int& io_port)
{
    InterfaceMap map;
    if (!queryInterfaceMap(interface, map)) return -1;
    io_port = map.baseAddress;
    return 0;
}

int _getInterrupt(const std::string& interface, int& interrupt)
{
    InterfaceMap map;
    if (!queryInterfaceMap(interface, map)) return -1;
    interrupt = map.irq;
    return 0;
}

int _getDMA(const std::string& interface, int& dma)
{
    InterfaceMap map;
    if (!queryInterfaceMap(interface, map)) return -1;
    dma = map.dma;
    return 0;
}

int _getMemory(const std::string& interface, long& memory)
{
    InterfaceMap map;
    if (!queryInterfaceMap(interface, map)) return -1;
    memory = static_cast<long>(map.memStart);
    return 0;
}

int _getMulticast(const std::string& interface, int& multicast)
{
    unsigned flags;
    if (!queryInterfaceFlags(interface, flags)) return -1;
    multicast = (flags & IFF_MULTICAST) ? 1 : 0;
    return 0;
}

int _getPromiscous(const std::string& interface, int& promiscuous)
{
    unsigned flags;
    if (!queryInterfaceFlags(interface, flags)) return -1;
    promiscuous = (flags & IFF_PROMISC) ? 1 : 0;
    return 0;
}

} // namespace nic

void NICDriverConfig::updateInterfaces()
{
    _error = 0;
    std::vector<std::string> names;
    if (!nic::readEthInterfaces(names)) {
        _error = -1;
        return;
    }
    for (const std::string& name : names) {
        NICDriverConfigInfo info;
        info.setInterfaceName(name);
        std::string text;
        nic::_getDriverName(name, text);
        info.setDriverName(text);
        info.setDriverDescription(name);
        int value = 0;
        long memory = 0;
        const int major = nic::_getDriverMajor();
        const int minor = nic::_getDriverMinor();
        // Readers run in the historic order; the first failure ends the table.
        bool ok = nic::_getPhysicalAddress(name, text) == 0;
        if (ok) info.setPhysicalAddress(text);
        ok = ok && major != -1 && minor != -1;
        if (ok) {
            info.setDriverMajor(major);
            info.setDriverMinor(minor);
        }
        ok = ok && nic::_getIOPort(name, value) == 0;
        if (ok) info.setIOPort(value);
        ok = ok && nic::_getInterrupt(name, value) == 0;
        if (ok) info.setInterrupt(value);
        ok = ok && nic::_getDMA(name, value) == 0;
        if (ok) info.setDMA(value);
        ok = ok && nic::_getMemory(name, memory) == 0;
        if (ok) info.setMemory(memory);
        ok = ok && nic::_getMulticast(name, value) == 0;
        if (ok) info.setMulticast(value);
        ok = ok && nic::_getPromiscous(name, value) == 0;
        if (ok) info.setPromiscuous(value);
        if (!ok) {
            _error = -1;
            return;
        }
        _data.push_back(info);
    }
}

const NICDriverConfigInfo* NICDriverConfig::row(unsigned i)
{
    _error = i < _data.size() ? 0 : -1;
    return _error == 0 ? &_data[i] : nullptr;
}

template <class T>
T NICDriverConfig::field(unsigned i, T (NICDriverConfigInfo::*getter)() const, T notFound)
{
    const NICDriverConfigInfo* r = row(i);
    return r ? (r->*getter)() : notFound;
}

int NICDriverConfig::getNICDriverConfigIndex(unsigned i)
{
    return row(i) ? static_cast<int>(i) + 1 : -1;
}

std::string NICDriverConfig::getInterfaceName(unsigned i)
{
    return field<std::string>(i, &NICDriverConfigInfo::getInterfaceName, "");
}
std::string NICDriverConfig::getDriverName(unsigned i)
{
    return field<std::string>(i, &NICDriverConfigInfo::getDriverName, "");
}
std::string NICDriverConfig::getDriverDescription(unsigned i)
{
    return field<std::string>(i, &NICDriverConfigInfo::getDriverDescription, "");
}
std::string NICDriverConfig::getPhysicalAddress(unsigned i)
{
    return field<std::string>(i, &NICDriverConfigInfo::getPhysicalAddress, "");
}
int NICDriverConfig::getDriverMajorVersion(unsigned i)
{
    return field(i, &NICDriverConfigInfo::getDriverMajor, -1);
}
int NICDriverConfig::getDriverMinorVersion(unsigned i)
{
    return field(i, &NICDriverConfigInfo::getDriverMinor, -1);
}
int NICDriverConfig::getIOPort(unsigned i) { return field(i, &NICDriverConfigInfo::getIOPort, -1); }
int NICDriverConfig::getInterrupt(unsigned i)
{
    return field(i, &NICDriverConfigInfo::getInterrupt, -1);
}
int NICDriverConfig::getDMA(unsigned i) { return field(i, &NICDriverConfigInfo::getDMA, -1); }
int NICDriverConfig::getMulticast(unsigned i)
{
    return field(i, &NICDriverConfigInfo::getMulticast, -1);
}
int NICDriverConfig::getPromiscuous(unsigned i)
{
    return field(i, &NICDriverConfigInfo::getPromiscuous, -1);
}
long NICDriverConfig::getMemory(unsigned i)
{
    return field(i, &NICDriverConfigInfo::getMemory, 0L);
}
