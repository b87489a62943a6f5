// What the IPMI 1.0 and 0.9 satellite controllers share: each operation becomes one IPMB request
// handed to the controller's private base controller, whose answer fills the operation's record.
#pragma once

#include "ipmcontrollerexport.h"

#include <string>

class CIPMBaseController;

class CIPMSatelliteController : public CIPMControllerPolymorph {
public:
    void Destruct() override;
    QVBMC_CONTROLLER_OVERRIDES

    virtual int version() const = 0;
    virtual const char* className() const = 0;
    // The broadcast form of Get Device ID, framed by hand.
    GLOB_GET_DEVICE_ID_RESPONSE broadcastGetDeviceId();

protected:
    CIPMSatelliteController(unsigned char bAddress, unsigned char bLun,
                            CIPMBaseController* pBaseController);

    UINT8 m_bAddress;
    UINT8 m_bLun;
    int m_fUseAddress = 1;
    int m_fUseLun = 1;
    CIPMBaseController* m_pBaseController = nullptr;

private:
    std::string function(const char* operation) const;
};

class CIPM10Controller : public CIPMSatelliteController {
public:
    CIPM10Controller(unsigned char bAddress, unsigned char bLun,
                     CIPMBaseController* pBaseController)
        : CIPMSatelliteController(bAddress, bLun, pBaseController) {}
    int version() const override { return 10; }
    const char* className() const override { return "CIPM10Controller"; }
};

class CIPM09Controller : public CIPMSatelliteController {
public:
    CIPM09Controller(unsigned char bAddress, unsigned char bLun,
                     CIPMBaseController* pBaseController)
        : CIPMSatelliteController(bAddress, bLun, pBaseController) {}
    int version() const override { return 9; }
    const char* className() const override { return "CIPM09Controller"; }
};
