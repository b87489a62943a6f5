// The base controller object the library and its users hold: a facade over the IPMI 1.0 or 0.9
// implementation chosen by a Device ID probe at construction, applying the IPMB message rules
// (sequence numbers, requester fields, checksums, response match) around the bridged exchange.
#pragma once

#include "ipmcontrollerexport.h"

class CIPMBaseController : public CIPMBaseControllerExport {
public:
    CIPMBaseController(int nIPMICommandRetryMaximum, int nIPMICommandRetrySleepInterval,
                       int nPreSMSDataCheckSleep, int nSMSDataRetryMaximum,
                       int nSMSDataRetrySleepInterval);
    CIPMBaseController(CIPMBaseController& other);
    CIPMBaseController& operator=(const CIPMBaseController&) = delete;

    QVBMC_CONTROLLER_OVERRIDES
    CIPMBaseControllerPolymorph* GetRealBaseController() override;
    QVBMC_BASE_CONTROLLER_SETTINGS(QVBMC_OVERRIDE_SETTING)
    QVBMC_BASE_CONTROLLER_COMMANDS(QVBMC_OVERRIDE_R0, QVBMC_OVERRIDE_R1)
    void SendReceiveExternalIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                        ImbI2cResponse* pResponse, int* pnResponseLength) override;
    int GetUseSequenceFlag() override;
    void SetUseSequenceFlag(int fUseSequence) override;
    int GetCalculateRequestChecksumFlag() override;
    void SetCalculateRequestChecksumFlag(int fCalculate) override;
    int GetValidateResponseFlag() override;
    void SetValidateResponseFlag(int fValidate) override;
    virtual ~CIPMBaseController();

    // IPMB message rules, open to every caller.
    void ComputeRequestChecksums(ImbI2cRequest* pRequest, int nDataLength);
    void ComputeResponseChecksums(ImbI2cResponse* pResponse, int nResponseLength);
    void CheckResponseChecksums(const ImbI2cResponse* pResponse, int nResponseLength);
    void CheckRequestVsResponse(const ImbI2cRequest* pRequest, const ImbI2cResponse* pResponse);

    UINT8 m_bSequence = 0;

protected:
    CIPMBaseControllerPolymorph* m_pRealBaseController = nullptr;
    int m_nRealBaseControllerVersion = 0;
    int m_fUseSequence = 1;
    int m_fCalculateRequestChecksum = 1;
    int m_fValidateResponse = 1;

private:
    CIPMBaseControllerPolymorph* real(const char* operation);
    void dropImplementation();
};
