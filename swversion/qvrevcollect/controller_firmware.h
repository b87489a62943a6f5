// The management controllers' firmware rows, read through the IPMI object library, which is
// loaded by name at run time so the collector starts on systems without it.
#pragma once

#include <vector>

#include "firmware_rows.h"

class CIPMControllerExport;
class CIPMBaseControllerExport;

class ControllerLibrary {
public:
    // Opens "libqvbmc.so.1" and resolves its four entry points; loaded() tells whether it worked.
    ControllerLibrary();
    ~ControllerLibrary();
    ControllerLibrary(const ControllerLibrary&) = delete;
    ControllerLibrary& operator=(const ControllerLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }

    // Adds a row per controller of [firmware] in qvswarh.cfg that answers Get Device ID.
    void addControllerRows(std::vector<BIOSFirmware>& rows) const;

private:
    void* handle_ = nullptr;
    void (*registerWithApi_)() = nullptr;
    void (*unregisterWithApi_)() = nullptr;
    CIPMControllerExport* (*createController_)(int, int, CIPMBaseControllerExport*, int) = nullptr;
    void (*destroyController_)(CIPMControllerExport*) = nullptr;
};
