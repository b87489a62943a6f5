// Entry points of the IPMI object library (unmangled names, so programs may also load the
// library at run time and look them up).
#pragma once

#include "ipmcontrollerexport.h"
#include "ipmexception.h"
#include "ipmobjectsexport.h"
#include "qvbmc_semaphore.h"

extern "C" {
void RegisterWithAPI();
void UnRegisterWithAPI();
CIPMSystemExport* CreateIPMSystem();
void DestroyIPMSystem(CIPMSystemExport* pIPMSystem);
CIPMPackageExport* CreateIPMPackage(int bAddress, int bLun, CIPMSystemExport* pIPMSystem);
void DestroyIPMPackage(CIPMPackageExport* pIPMPackage);
CIPMControllerExport* CreateIPMController(int bAddress, int bLun,
                                          CIPMBaseControllerExport* pBaseController,
                                          int nUseGetDeviceId);
void DestroyIPMController(CIPMControllerExport* pIPMController);
CIPMBaseControllerExport* CreateIPMBaseController(int nIPMICommandRetryMaximum,
                                                  int nIPMICommandRetrySleepInterval,
                                                  int nPreSMSDataCheckSleep,
                                                  int nSMSDataRetryMaximum,
                                                  int nSMSDataRetrySleepInterval);
void DestroyIPMBaseController(CIPMBaseControllerExport* pIPMBaseController);
}
