// The PCI functions the kernel lists under /proc/bus/pci/: their configuration headers and
// bus/device/function numbers, in ascending order.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class PCIException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PCIInfo {
public:
    static constexpr unsigned kConfigSize = 256;

    PCIInfo() = default;
    virtual ~PCIInfo() = default;
    PCIInfo(const PCIInfo&) = default;
    PCIInfo& operator=(const PCIInfo&) = default;

    // The first 256 bytes of a configuration file (zero-filled when short or unreadable), with
    // bytes 9 and 11 exchanged so the class code reads base class, subclass, interface.
    explicit PCIInfo(const std::string& configPath);

    unsigned getVendorId() const { return word(0); }
    unsigned getDeviceId() const { return word(2); }
    unsigned getCommand() const { return word(4); }
    unsigned getStatus() const { return word(6); }
    unsigned getRevisionId() const { return info[8]; }
    const uint8_t* getClassCode() const { return info + 9; }
    unsigned getCacheLineSize() const { return info[12]; }
    unsigned getLatencyTimer() const { return info[13]; }
    unsigned getHeaderType() const { return info[14]; }
    unsigned getBist() const { return info[15]; }
    const uint8_t* getBaseAddrRegs() const { return info + 16; }
    const uint8_t* getCardBusCis() const { return info + 40; }
    unsigned getSubSysVendorId() const { return word(44); }
    unsigned getSubSysId() const { return word(46); }
    const uint8_t* getExpRomBaseAddr() const { return info + 48; }
    unsigned getCapabilityList() const { return info[52]; }
    const uint8_t* getReserved1() const { return info + 53; }
    unsigned getInterruptLine() const { return info[60]; }
    unsigned getInterruptPin() const { return info[61]; }
    unsigned getMinGnt() const { return info[62]; }
    unsigned getMaxLat() const { return info[63]; }
    const uint8_t* getDeviceSpecific() const { return info + 64; }

    // `count` bytes from `offset`; bytes beyond the configuration space are 0.
    std::string bytesFrom(unsigned offset, unsigned count) const;

private:
    unsigned word(unsigned offset) const { return info[offset] | (info[offset + 1] << 8); }

    uint8_t info[kConfigSize] = {};
};

struct PCIDeviceType {
    int bus;
    int slot;   // device number
    int fun;
    int deviceIndex;
};

class PCIDevices {
public:
    // Reads the tree below `procBusPci` (a missing tree gives no devices). Throws PCIException
    // when a bus directory cannot be read.
    explicit PCIDevices(const std::string& procBusPci);
    PCIDevices() = default;
    virtual ~PCIDevices() = default;

    int configurationCount() const { return static_cast<int>(pciInfo.size()); }
    const std::vector<PCIDeviceType>& devices() const { return devicesList; }
    const PCIInfo& info(int deviceIndex) const { return pciInfo[static_cast<size_t>(deviceIndex)]; }
    // deviceIndex of that function, -1 when it is not listed.
    int getPCIDeviceType(int bus, int device, int function) const;

private:
    void buildFilesList(const std::string& root);
    void buildDevicesList();
    void buildPCIInformation();

    std::vector<PCIInfo> pciInfo;
    std::vector<PCIDeviceType> devicesList;
    std::vector<std::string> filesList;
};
