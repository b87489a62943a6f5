// Entry points of the IPMI object library (unmangled names, so programs may also load the
// library at run time and look them up). Factories of the system and package objects join here
// when those classes exist.
#pragma once

#include "ipmcontrollerexport.h"
#include "ipmexception.h"
#include "qvbmc_semaphore.h"

extern "C" {
void RegisterWithAPI();
void UnRegisterWithAPI();
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
