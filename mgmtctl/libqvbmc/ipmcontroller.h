// The controller object programs hold for one management controller: a facade over the IPMI 1.0
// or 0.9 satellite implementation chosen by a Device ID probe at construction.
#pragma once

#include "ipmcontrollerexport.h"

class CIPMBaseController;

class CIPMController : public CIPMControllerExport {
public:
    CIPMController(unsigned char bAddress, unsigned char bLun, CIPMBaseController* pBaseController,
                   int nUseGetDeviceId);
    CIPMController(const CIPMController&) = delete;
    CIPMController& operator=(const CIPMController&) = delete;

    QVBMC_CONTROLLER_OVERRIDES
    virtual ~CIPMController();

private:
    CIPMControllerPolymorph* real(const char* operation);
    void dropImplementation();

    CIPMControllerPolymorph* m_pRealController = nullptr;
};
