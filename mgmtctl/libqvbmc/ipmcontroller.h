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

    CIPMControllerPolymorph* GetRealController() override;
    CIPMBaseControllerExport* GetBaseController() override;
    UINT8 GetAddress() override;
    void SetAddress(unsigned char bAddress) override;
    UINT8 GetLun() override;
    void SetLun(unsigned char bLun) override;
    int GetUseAddressFlag() override;
    void SetUseAddressFlag(int fUseAddress) override;
    int GetUseLunFlag() override;
    void SetUseLunFlag(int fUseLun) override;
    QVBMC_CONTROLLER_COMMANDS(QVBMC_OVERRIDE_R0, QVBMC_OVERRIDE_R1, QVBMC_OVERRIDE_V0)
    void SendReceiveIPMIMessage(unsigned char netFn, unsigned char command,
                                const unsigned char* pbCommandData, int nCommandDataLength,
                                unsigned char* pbResponseData, int* pnResponseDataLength) override;
    void SendReceiveIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                ImbI2cResponse* pResponse, int* pnResponseLength) override;
    virtual ~CIPMController();

private:
    CIPMControllerPolymorph* real(const char* operation);
    void dropImplementation();

    CIPMControllerPolymorph* m_pRealController = nullptr;
};
