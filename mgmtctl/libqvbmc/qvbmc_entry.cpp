#include "qvbmc.h"

#include "ipmbasecontroller.h"
#include "ipmcontroller.h"
#include "ipmpackage.h"
#include "ipmsystem.h"

#include <memory>

namespace {

// Hands out a new object only when it reached the hardware; an exception of its constructor
// reaches the caller with the storage already released by new.
template <class Object, class Export, class... Args>
Export* createReached(bool (*reached)(Object&), Args... args)
{
    std::unique_ptr<Object> object(new Object(args...));
    if (!reached(*object)) return nullptr;
    return object.release();
}

} // namespace

extern "C" void RegisterWithAPI() {}

extern "C" void UnRegisterWithAPI() { CleanupAPI(); }

extern "C" CIPMSystemExport* CreateIPMSystem()
{
    return createReached<CIPMSystem, CIPMSystemExport>(
        +[](CIPMSystem& s) { return s.GetBaseController() != nullptr; });
}

extern "C" void DestroyIPMSystem(CIPMSystemExport* pIPMSystem)
{
    delete static_cast<CIPMSystem*>(pIPMSystem);
}

extern "C" CIPMPackageExport* CreateIPMPackage(int bAddress, int bLun, CIPMSystemExport* pIPMSystem)
{
    // Systems handed out by this library are always CIPMSystem objects.
    return createReached<CIPMPackage, CIPMPackageExport>(
        +[](CIPMPackage& p) { return p.GetController() != nullptr; },
        static_cast<unsigned char>(bAddress & 0xFF), static_cast<unsigned char>(bLun & 0xFF),
        static_cast<CIPMSystem*>(pIPMSystem));
}

extern "C" void DestroyIPMPackage(CIPMPackageExport* pIPMPackage)
{
    delete static_cast<CIPMPackage*>(pIPMPackage);
}

extern "C" CIPMControllerExport* CreateIPMController(int bAddress, int bLun,
                                                     CIPMBaseControllerExport* pBaseController,
                                                     int nUseGetDeviceId)
{
    // Base controllers handed out by this library are always CIPMBaseController objects.
    return createReached<CIPMController, CIPMControllerExport>(
        +[](CIPMController& c) { return c.GetRealController() != nullptr; },
        static_cast<unsigned char>(bAddress & 0xFF), static_cast<unsigned char>(bLun & 0xFF),
        static_cast<CIPMBaseController*>(pBaseController), nUseGetDeviceId);
}

extern "C" void DestroyIPMController(CIPMControllerExport* pIPMController)
{
    delete static_cast<CIPMController*>(pIPMController);
}

extern "C" CIPMBaseControllerExport* CreateIPMBaseController(int nIPMICommandRetryMaximum,
                                                             int nIPMICommandRetrySleepInterval,
                                                             int nPreSMSDataCheckSleep,
                                                             int nSMSDataRetryMaximum,
                                                             int nSMSDataRetrySleepInterval)
{
    return createReached<CIPMBaseController, CIPMBaseControllerExport>(
        +[](CIPMBaseController& b) { return b.GetRealBaseController() != nullptr; },
        nIPMICommandRetryMaximum, nIPMICommandRetrySleepInterval, nPreSMSDataCheckSleep,
        nSMSDataRetryMaximum, nSMSDataRetrySleepInterval);
}

extern "C" void DestroyIPMBaseController(CIPMBaseControllerExport* pIPMBaseController)
{
    delete static_cast<CIPMBaseController*>(pIPMBaseController);
}
