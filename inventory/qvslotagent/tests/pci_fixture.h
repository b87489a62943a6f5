// A /proc/bus/pci tree as the kernel lays it out: one directory per bus holding one 256-byte
// configuration file per function ("DD.F"), and the "devices" summary in the kernel's format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "temp_root.h"

namespace qv::test {

struct PciFunction {
    uint8_t bus;
    uint8_t device;   // 0 to 31
    uint8_t function; // 0 to 7
    uint16_t vendor;
    uint16_t deviceId;
    uint8_t baseClass;
    uint8_t subclass;
    uint8_t progIf;
    uint8_t revision = 0x02;
    uint8_t irq = 11;
};

// A type 0 header with the given identity, one I/O base address and interrupt pin A.
inline std::string configSpace(const PciFunction& f)
{
    std::string bytes(256, '\0');
    bytes[0] = char(f.vendor & 0xFF), bytes[1] = char(f.vendor >> 8);
    bytes[2] = char(f.deviceId & 0xFF), bytes[3] = char(f.deviceId >> 8);
    bytes[8] = char(f.revision);
    bytes[9] = char(f.progIf), bytes[10] = char(f.subclass), bytes[11] = char(f.baseClass);
    bytes[16] = 0x01;
    bytes[60] = char(f.irq), bytes[61] = 1;
    bytes[255] = char(0xEE);
    return bytes;
}

// Writes every function's configuration file and the "devices" file listing them.
inline void writeProcBusPci(const TempRoot& root, const std::vector<PciFunction>& functions)
{
    std::string devices;
    char text[64];
    for (const PciFunction& f : functions) {
        std::snprintf(text, sizeof text, "/proc/bus/pci/%02x/%02x.%x", f.bus, f.device, f.function);
        root.writeFile(text, configSpace(f));
        // bus and devfn, vendor and device, IRQ, then seven resource starts and seven sizes.
        std::snprintf(text, sizeof text, "%02x%02x\t%04x%04x\t%x", f.bus, (f.device << 3) | f.function,
                      f.vendor, f.deviceId, f.irq);
        devices += text;
        for (int i = 0; i < 14; ++i) devices += "\t               0";
        devices += "\t\n";
    }
    root.writeFile("/proc/bus/pci/devices", devices);
}

} // namespace qv::test
