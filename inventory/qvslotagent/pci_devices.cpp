#include "pci_devices.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "tokenizer.h"

PCIInfo::PCIInfo(const std::string& configPath)
{
    const int fd = open(configPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        size_t got = 0;
        while (got < kConfigSize) {
            const ssize_t n = read(fd, info + got, kConfigSize - got);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        close(fd);
    }
    std::swap(info[9], info[11]);
}

std::string PCIInfo::bytesFrom(unsigned offset, unsigned count) const
{
    std::string bytes(count, '\0');
    for (unsigned i = 0; i < count && offset + i < kConfigSize; ++i)
        bytes[i] = static_cast<char>(info[offset + i]);
    return bytes;
}

namespace {

using DirHandle = std::unique_ptr<DIR, int (*)(DIR*)>;

DirHandle openDirectory(const std::string& path)
{
    return DirHandle(opendir(path.c_str()), closedir);
}

} // namespace

PCIDevices::PCIDevices(const std::string& procBusPci)
{
    buildFilesList(procBusPci);
    buildDevicesList();
    buildPCIInformation();
}

void PCIDevices::buildFilesList(const std::string& root)
{
    struct stat rootInfo {};
    if (stat(root.c_str(), &rootInfo) != 0) return;   // no PCI tree: no devices
    DirHandle top = openDirectory(root);
    if (!top) throw PCIException("void PCIInfo::buildFilesList():opendir(): unable to open " + root);
    while (const dirent* bus = readdir(top.get())) {
        if (bus->d_name[0] == '.') continue;
        const std::string busPath = root + bus->d_name;
        struct stat st {};
        if (stat(busPath.c_str(), &st) != 0)
            throw PCIException("void PCIInfo::buildFilesList():stat(): " + busPath);
        if (!S_ISDIR(st.st_mode)) continue;
        DirHandle functions = openDirectory(busPath + "/");
        if (!functions)
            throw PCIException("void PCIInfo::buildFilesList():opendir(): unable to open " + busPath + "/");
        while (const dirent* fn = readdir(functions.get()))
            if (fn->d_name[0] != '.') filesList.push_back(busPath + "/" + fn->d_name);
    }
}

void PCIDevices::buildDevicesList()
{
    std::vector<std::string> named;
    for (const std::string& path : filesList) {
        StringTokenizer words(path, "/. \n\t\r");
        const unsigned n = words.getTokenCount();
        if (n < 3) continue;   // not a bus/device.function name
        const int bus = static_cast<int>(std::strtoul(words.getToken(n - 3).c_str(), nullptr, 16));
        const int dev = static_cast<int>(std::strtoul(words.getToken(n - 2).c_str(), nullptr, 16));
        const int fun = static_cast<int>(std::strtoul(words.getToken(n - 1).c_str(), nullptr, 16));
        devicesList.push_back({bus, dev, fun, static_cast<int>(named.size())});
        named.push_back(path);
    }
    // Directory order is the kernel's; the table walk needs ascending instances.
    std::vector<PCIDeviceType> sorted = devicesList;
    std::stable_sort(sorted.begin(), sorted.end(), [](const PCIDeviceType& a, const PCIDeviceType& b) {
        return std::tie(a.bus, a.slot, a.fun) < std::tie(b.bus, b.slot, b.fun);
    });
    filesList.clear();
    devicesList.clear();
    for (const PCIDeviceType& d : sorted) {
        devicesList.push_back({d.bus, d.slot, d.fun, static_cast<int>(filesList.size())});
        filesList.push_back(named[static_cast<size_t>(d.deviceIndex)]);
    }
}

void PCIDevices::buildPCIInformation()
{
    for (const std::string& path : filesList) pciInfo.emplace_back(path);
}

int PCIDevices::getPCIDeviceType(int bus, int device, int function) const
{
    for (const PCIDeviceType& d : devicesList)
        if (d.bus == bus && d.slot == device && d.fun == function) return d.deviceIndex;
    return -1;
}
