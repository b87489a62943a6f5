#include "cache_system.h"

#include <ipmipipe_protocol.h>

#include <cstdio>

std::string firmwareText(const GlobGetDeviceIdResponse& id)
{
    const GLOB09_S_GET_DEVICE_ID& d = id.Ver09;   // the fields used sit alike in both answers
    char text[32];
    std::snprintf(text, sizeof text, "%c.%.2d.%.1d%.1d", 'A' + (d.deviceRevision & 0x0F),
                  d.firmwareRev1 & 0x7F, d.firmwareRev2 >> 4, d.firmwareRev2 & 0x0F);
    return text;
}

CacheSystem::CacheSystem() { RegisterWithAPI(); }

CacheSystem::~CacheSystem()
{
    DestroyIPMSystem(system_);
    UnRegisterWithAPI();
}

bool CacheSystem::setUp(int attempts)
{
    for (int i = 0; i < attempts; ++i)
        if (trySetUp() == IPMI_STATUS_OK)
            return true;
    return false;
}

uint32_t CacheSystem::trySetUp()
{
    try {
        if (!system_)
            system_ = CreateIPMSystem();
        if (!system_)
            return IPMI_STATUS_STARTUP_FAILED;
        system_->RebuildPackageList();
        CacheFigures f;
        f.nPackages = system_->GetPackageCount();
        f.nSdrs = system_->GetSdrCount();
        if (f.nPackages == 0 || f.nSdrs == 0)
            return IPMI_STATUS_STARTUP_FAILED;
        for (int i = 0; i < f.nPackages; ++i) {
            CIPMPackageExport* package = system_->GetPackage(i);
            if (!package)
                continue;
            f.nSensors += static_cast<uint32_t>(package->GetSensorCount());
            f.nFRUs += static_cast<uint32_t>(package->GetFruCount());
        }
        CIPMControllerExport* controller = system_->GetPackage(0)
                                               ? system_->GetPackage(0)->GetController()
                                               : nullptr;
        if (!controller)
            return IPMI_STATUS_STARTUP_FAILED;
        const GlobGetDeviceIdResponse id = controller->GetDeviceId();
        f.bVersion = id.bVersion;
        f.bDevRev = id.Ver09.deviceRevision;
        f.bFWRev1 = id.Ver09.firmwareRev1;
        f.bFWRev2 = id.Ver09.firmwareRev2;
        if (id.bVersion >= 9)
            f.firmwareText = firmwareText(id);
        figures_ = f;
        return IPMI_STATUS_OK;
    } catch (CIPMExceptionExport*) {
        // The library keeps its exception objects; the attempt simply failed.
        return IPMI_STATUS_STARTUP_FAILED;
    }
}
