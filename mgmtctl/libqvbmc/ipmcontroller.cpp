#include "ipmcontroller.h"

#include "command_table.h"
#include "ipmbasecontroller.h"
#include "ipmexception.h"
#include "ipmsatellitecontroller.h"

#include <cstring>

CIPMController::CIPMController(unsigned char bAddress, unsigned char bLun,
                               CIPMBaseController* pBaseController, int nUseGetDeviceId)
{
    m_pDeviceId = new GlobGetDeviceIdResponse;
    memset(m_pDeviceId, 0, sizeof *m_pDeviceId);
    m_pRealController = new CIPM10Controller(bAddress, bLun, pBaseController);
    CIPMBaseControllerExport* base = m_pRealController->GetBaseController();
    if (!base) return;

    try {
        const int saved[5] = {base->GetIPMICommandRetryMaximum(),
                              base->GetIPMICommandRetrySleepInterval(),
                              base->GetPreSMSDataCheckSleep(), base->GetSMSDataRetryMaximum(),
                              base->GetSMSDataRetrySleepInterval()};
        auto applySettings = [base](const int (&settings)[5]) {
            base->SetIPMICommandRetryMaximum(settings[0]);
            base->SetIPMICommandRetrySleepInterval(settings[1]);
            base->SetPreSMSDataCheckSleep(settings[2]);
            base->SetSMSDataRetryMaximum(settings[3]);
            base->SetSMSDataRetrySleepInterval(settings[4]);
        };
        memset(m_pDeviceId, 0, sizeof *m_pDeviceId);
        GlobGetDeviceIdResponse answer;
        if (nUseGetDeviceId) {
            applySettings({2, 50, 10, 5, 3});
            answer = m_pRealController->GetDeviceId();
        } else {
            applySettings({0, 0, 10, 5, 3});
            answer = m_pRealController->BroadcastGetDeviceId();
        }
        const UINT8 version = answer.Ver10.ipmiVersion;
        if (answer.Ver10.firmwareRev1 & 0x80) {
            dropImplementation();
        } else if (version == 0x01) {
            *m_pDeviceId = answer;
            applySettings(saved);
        } else if (version == 0x10 || version == 0x90) {
            dropImplementation();
            m_pRealController = new CIPM09Controller(bAddress, bLun, pBaseController);
            *m_pDeviceId = answer;
        } else {
            dropImplementation();
        }
    } catch (CIPMException*) {
        // The library keeps the exception; the facade is simply left without a controller.
        dropImplementation();
    }
}

CIPMController::~CIPMController()
{
    dropImplementation();
    delete m_pDeviceId;
}

void CIPMController::dropImplementation()
{
    if (!m_pRealController) return;
    m_pRealController->Destruct();
    delete m_pRealController;
    m_pRealController = nullptr;
}

CIPMControllerPolymorph* CIPMController::real(const char* operation)
{
    if (!m_pRealController) {
        const std::string fn = qv::bmc::functionName("CIPMController", operation);
        throw new CIPMException(IPMAPI_ERROR_NO_PATH, fn.c_str(), "if ( !m_pRealController )",
                                "No path to hardware");
    }
    return m_pRealController;
}

CIPMControllerPolymorph* CIPMController::GetRealController() { return m_pRealController; }

CIPMBaseControllerExport* CIPMController::GetBaseController()
{
    return m_pRealController ? m_pRealController->GetBaseController() : nullptr;
}

#define QVBMC_PASS_ON(Type, Getter, Setter)                                                        \
    Type CIPMController::Getter() { return m_pRealController ? m_pRealController->Getter() : 0; } \
    void CIPMController::Setter(Type value)                                                        \
    {                                                                                              \
        if (m_pRealController) m_pRealController->Setter(value);                                   \
    }
QVBMC_PASS_ON(UINT8, GetAddress, SetAddress)
QVBMC_PASS_ON(UINT8, GetLun, SetLun)
QVBMC_PASS_ON(int, GetUseAddressFlag, SetUseAddressFlag)
QVBMC_PASS_ON(int, GetUseLunFlag, SetUseLunFlag)
#undef QVBMC_PASS_ON

#define QVBMC_FORWARD_R0(Result, Name)                                                             \
    Result CIPMController::Name() { return real(#Name)->Name(); }
#define QVBMC_FORWARD_R1(Result, Name, Request)                                                    \
    Result CIPMController::Name(Request request) { return real(#Name)->Name(request); }
#define QVBMC_FORWARD_V0(Name)                                                                     \
    void CIPMController::Name() { real(#Name)->Name(); }
QVBMC_CONTROLLER_COMMANDS(QVBMC_FORWARD_R0, QVBMC_FORWARD_R1, QVBMC_FORWARD_V0)
#undef QVBMC_FORWARD_R0
#undef QVBMC_FORWARD_R1
#undef QVBMC_FORWARD_V0

void CIPMController::SendReceiveIPMIMessage(unsigned char netFn, unsigned char command,
                                            const unsigned char* pbCommandData,
                                            int nCommandDataLength, unsigned char* pbResponseData,
                                            int* pnResponseDataLength)
{
    if (m_pRealController)
        m_pRealController->SendReceiveIPMIMessage(netFn, command, pbCommandData,
                                                  nCommandDataLength, pbResponseData,
                                                  pnResponseDataLength);
}

void CIPMController::SendReceiveIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                            ImbI2cResponse* pResponse, int* pnResponseLength)
{
    if (m_pRealController)
        m_pRealController->SendReceiveIPMIMessage(request, nRequestLength, pResponse,
                                                  pnResponseLength);
}
