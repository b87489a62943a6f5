// The IPMI system the cache service builds once at start, and the figures it gathers from it.
#pragma once

#include <qvbmc.h>

#include <cstdint>
#include <string>

struct CacheFigures {
    int nPackages = 0;
    int nSdrs = 0;
    uint32_t nSensors = 0;
    uint32_t nFRUs = 0;
    uint8_t bVersion = 0;   // of the baseboard controller's Get Device ID answer (9 or 10)
    uint8_t bDevRev = 0;
    uint8_t bFWRev1 = 0;
    uint8_t bFWRev2 = 0;
    std::string firmwareText;
};

// "%c.%.2d.%.1d%.1d" of a Get Device ID answer: 'A' plus the device revision's low nibble, the
// major firmware revision without its flag bit, the two BCD digits of the minor one.
std::string firmwareText(const GlobGetDeviceIdResponse& id);

// Owns the system object; UnRegisterWithAPI follows its destruction.
class CacheSystem {
public:
    CacheSystem();
    ~CacheSystem();
    CacheSystem(const CacheSystem&) = delete;
    CacheSystem& operator=(const CacheSystem&) = delete;

    // Up to `attempts` set-ups; true after the first that succeeds.
    bool setUp(int attempts);
    CIPMSystemExport* system() const { return system_; }
    const CacheFigures& figures() const { return figures_; }

private:
    // 0 or IPMI_STATUS_STARTUP_FAILED.
    uint32_t trySetUp();

    CIPMSystemExport* system_ = nullptr;
    CacheFigures figures_;
};
