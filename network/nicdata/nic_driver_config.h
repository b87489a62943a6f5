// Driver module, hardware address, kernel version and resources of every Ethernet interface.
#pragma once

#include "nic_base_info.h"

#include <string>
#include <vector>

class NICDriverConfigInfo {
    NIC_ROW_FIELD(std::string, InterfaceName, _interface_name);
    NIC_ROW_FIELD(std::string, DriverName, _driver_name);
    NIC_ROW_FIELD(std::string, DriverDescription, _driver_description);
    NIC_ROW_FIELD(std::string, PhysicalAddress, _physical_address);
    NIC_ROW_FIELD(int, DriverMajor, _driver_major);
    NIC_ROW_FIELD(int, DriverMinor, _driver_minor);
    NIC_ROW_FIELD(int, IOPort, _io_port);
    NIC_ROW_FIELD(int, Interrupt, _interrupt);
    NIC_ROW_FIELD(int, DMA, _dma);
    NIC_ROW_FIELD(int, Type, _type);
    NIC_ROW_FIELD(int, Slot, _slot);
    NIC_ROW_FIELD(long, Memory, _memory);
    NIC_ROW_FIELD(int, Multicast, _mcast);
    NIC_ROW_FIELD(int, Promiscuous, _promiscuous);
    NIC_ROW_FIELD(int, MaxSize, _max_size);
    NIC_ROW_FIELD(int, Speed, _speed);
    NIC_ROW_FIELD(int, TransTime, _trans_time);
    NIC_ROW_FIELD(int, SendRetries, _send_retries);
    NIC_ROW_FIELD(int, Mode, _mode);
    NIC_ROW_FIELD(int, NumFrames, _num_frames);
    NIC_ROW_FIELD(int, AftGroupId, _aft_group_id);
    NIC_ROW_FIELD(std::string, AftBusNo, _aft_bus_no);
    NIC_ROW_FIELD(std::string, AftBusDeviceId, _aft_bus_device_id);
    NIC_ROW_FIELD(std::string, AftPciVendorId, _aft_pci_vendor_id);
    NIC_ROW_FIELD(std::string, AftPciDeviceId, _aft_pci_device_id);
    NIC_ROW_FIELD(std::string, AftPciSubsysVendorId, _aft_pci_subsys_vendor_id);
    NIC_ROW_FIELD(std::string, AftPciSubsysDeviceId, _aft_pci_subsys_device_id);
    NIC_ROW_FIELD(int, AftStatus, _aft_status);
    NIC_ROW_FIELD(int, AftMode, _aft_mode);
};

class NICDriverConfig {
public:
    NICDriverConfig() { updateInterfaces(); }
    NICDriverConfig(const NICDriverConfig&) = default;
    NICDriverConfig& operator=(const NICDriverConfig&) = default;
    ~NICDriverConfig() = default;

    int getOperationStatus() const { return _error; }
    unsigned getNICDriverConfigCount() const { return static_cast<unsigned>(_data.size()); }
    int getNICDriverConfigIndex(unsigned i);

    std::string getInterfaceName(unsigned i);
    std::string getDriverName(unsigned i);
    std::string getDriverDescription(unsigned i);
    std::string getPhysicalAddress(unsigned i);
    int getDriverMajorVersion(unsigned i);
    int getDriverMinorVersion(unsigned i);
    int getIOPort(unsigned i);
    int getInterrupt(unsigned i);
    int getDMA(unsigned i);
    int getMulticast(unsigned i);
    int getPromiscuous(unsigned i);
    long getMemory(unsigned i);

    void updateInterfaces();
    void clearInterfaces() { _data.clear(); }

private:
    // Status 0 and the row for a valid index, else status -1 and null.
    const NICDriverConfigInfo* row(unsigned i);
    template <class T>
    T field(unsigned i, T (NICDriverConfigInfo::*getter)() const, T notFound);

    std::vector<NICDriverConfigInfo> _data;
    int _error = 0;
};

namespace nic {
// File-level readers; those with an out-parameter return 0 on success, -1 on failure.
int _getDriverName(const std::string& interface, std::string& driver_name);
int _getPhysicalAddress(const std::string& interface, std::string& physical_address);
int _getDriverMajor();
int _getDriverMinor();
int _getIOPort(const std::string& interface, int& io_port);
int _getInterrupt(const std::string& interface, int& interrupt);
int _getDMA(const std::string& interface, int& dma);
int _getMemory(const std::string& interface, long& memory);
int _getMulticast(const std::string& interface, int& multicast);
int _getPromiscous(const std::string& interface, int& promiscuous);
} // namespace nic
