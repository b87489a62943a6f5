// Controller interfaces of the IPMI object library: CIPMControllerExport (what programs hold for
// one management controller) and CIPMBaseControllerExport (the baseboard controller, the only road
// to the hardware), with the implementation bases CIPMControllerPolymorph and
// CIPMBaseControllerPolymorph. Operation lists are kept once, as X-macros, so every class that
// implements them declares the same slots in the same order.
#pragma once

#include "qvbmc_records.h"

// The IPMI command operations of the controller interface, in slot order.
// R0: result, no argument; R1: result and a request record; V0: no result, no argument.
#define QVBMC_CONTROLLER_COMMANDS(R0, R1, V0)                                                      \
    R0(GLOB_GET_DEVICE_ID_RESPONSE, GetDeviceId)                                                   \
    R0(GLOB_COLD_RESET_RESPONSE, ColdReset)                                                        \
    V0(ColdResetIgnoreResponse)                                                                    \
    R0(GLOB_WARM_RESET_RESPONSE, WarmReset)                                                        \
    V0(WarmResetIgnoreResponse)                                                                    \
    R0(GLOB_GET_SELF_TEST_RESULTS_RESPONSE, GetSelfTestResults)                                    \
    R0(GLOB_MFG_TEST_ON_RESPONSE, MfgTestOn)                                                       \
    R0(GLOB_GET_DEVICE_ID_RESPONSE, BroadcastGetDeviceId)                                          \
    R1(EVNT_SET_EVENT_RECEIVER_RESPONSE, SetEventReceiver, EVNT_SET_EVENT_RECEIVER_REQUEST)        \
    R0(EVNT_GET_EVENT_RECEIVER_RESPONSE, GetEventReceiver)                                         \
    R0(SD_GET_DEVICE_SDR_INFO_RESPONSE, GetDeviceSdrInfo)                                          \
    R1(SD_GET_DEVICE_SDR_RESPONSE, GetDeviceSdr, SD_GET_DEVICE_SDR_REQUEST)                        \
    R0(SDRR_RESERVE_DEVICE_SDR_REPOSITORY_RESPONSE, ReserveDeviceSdrRepository)                    \
    R1(SD_GET_SENSOR_READING_FACTORS_RESPONSE, GetSensorReadingFactors,                            \
       SD_GET_SENSOR_READING_FACTORS_REQUEST)                                                      \
    R1(SD_SET_SENSOR_HYSTERISIS_RESPONSE, SetSensorHysterisis, SD_SET_SENSOR_HYSTERISIS_REQUEST)   \
    R1(SD_GET_SENSOR_HYSTERISIS_RESPONSE, GetSensorHysterisis, SD_GET_SENSOR_HYSTERISIS_REQUEST)   \
    R1(SD_SET_SENSOR_THRESHOLD_RESPONSE, SetSensorThreshold, SD_SET_SENSOR_THRESHOLD_REQUEST)      \
    R1(SD_GET_SENSOR_THRESHOLD_RESPONSE, GetSensorThreshold, SD_GET_SENSOR_THRESHOLD_REQUEST)      \
    R1(SD_SET_SENSOR_EVENT_MESSAGE_ENABLE_RESPONSE, SetSensorEventMessageEnable,                   \
       SD_SET_SENSOR_EVENT_MESSAGE_ENABLE_REQUEST)                                                 \
    R1(SD_GET_SENSOR_EVENT_MESSAGE_ENABLE_RESPONSE, GetSensorEventMessageEnable,                   \
       SD_GET_SENSOR_EVENT_MESSAGE_ENABLE_REQUEST)                                                 \
    R1(SD_RE_ARM_SENSOR_EVENTS_RESPONSE, ReArmSensorEvents, SD_RE_ARM_SENSOR_EVENTS_REQUEST)       \
    R1(SD_GET_SENSOR_EVENT_STATUS_RESPONSE, GetSensorEventStatus,                                  \
       SD_GET_SENSOR_EVENT_STATUS_REQUEST)                                                         \
    R1(SD_GET_SENSOR_READING_RESPONSE, GetSensorReading, SD_GET_SENSOR_READING_REQUEST)            \
    R1(SD_SET_SENSOR_TYPE_RESPONSE, SetSensorType, SD_SET_SENSOR_TYPE_REQUEST)                     \
    R1(SD_GET_SENSOR_TYPE_RESPONSE, GetSensorType, SD_GET_SENSOR_TYPE_REQUEST)                     \
    R0(CHASSIS_GET_CHASSIS_STATUS_RESPONSE, GetChassisStatus)                                      \
    R1(CHASSIS_CONTROL_RESPONSE, ChassisControl, CHASSIS_CONTROL_REQUEST)                          \
    R1(FRU_GET_FRU_INVENTORY_INFO_RESPONSE, GetFruInventoryInfo,                                   \
       FRU_GET_FRU_INVENTORY_INFO_REQUEST)                                                         \
    R1(FRU_READ_FRU_INVENTORY_DATA_RESPONSE, ReadFruInventoryData,                                 \
       FRU_READ_FRU_INVENTORY_DATA_REQUEST)                                                        \
    R1(FRU_WRITE_FRU_INVENTORY_DATA_RESPONSE, WriteFruInventoryData,                               \
       FRU_WRITE_FRU_INVENTORY_DATA_REQUEST)                                                       \
    R0(SDRR_GET_SDR_REPOSITORY_INFO_RESPONSE, GetSdrRepositoryInfo)                                \
    R0(SDRR_GET_SDR_REPOSITORY_ALLOCATION_INFO_RESPONSE, GetSdrRepositoryAllocationInfo)           \
    R0(SDRR_RESERVE_SDR_REPOSITORY_RESPONSE, ReserveSdrRepository)                                 \
    R1(SDRR_GET_SDR_RESPONSE, GetSdr, SDRR_GET_SDR_REQUEST)                                        \
    R1(SDRR_ADD_SDR_RESPONSE, AddSdr, SDRR_ADD_SDR_REQUEST)                                        \
    R1(SDRR_PARTIAL_ADD_SDR_RESPONSE, PartialAddSdr, SDRR_PARTIAL_ADD_SDR_REQUEST)                 \
    R1(SDRR_DELETE_SDR_RESPONSE, DeleteSdr, SDRR_DELETE_SDR_REQUEST)                               \
    R1(SDRR_CLEAR_SDR_REPOSITORY_RESPONSE, ClearSdrRepository, SDRR_CLEAR_SDR_REPOSITORY_REQUEST)  \
    R0(SDRR_GET_SDR_REPOSITORY_TIME_RESPONSE, GetSdrRepositoryTime)                                \
    R1(SDRR_SET_SDR_REPOSITORY_TIME_RESPONSE, SetSdrRepositoryTime,                                \
       SDRR_SET_SDR_REPOSITORY_TIME_REQUEST)                                                       \
    R0(SDRR_ENTER_UPDATE_MODE_RESPONSE, EnterUpdateMode)                                           \
    R0(SDRR_EXIT_UPDATE_MODE_RESPONSE, ExitUpdateMode)                                             \
    R1(SDRR_RUN_INITIALIZATION_AGENT_RESPONSE, RunInitializationAgent,                             \
       SDRR_RUN_INITIALIZATION_AGENT_REQUEST)                                                      \
    R0(SEL_GET_SEL_INFO_RESPONSE, GetSelInfo)                                                      \
    R0(SEL_GET_SEL_ALLOCATION_INFO_RESPONSE, GetSelAllocationInfo)                                 \
    R0(SEL_RESERVE_SEL_RESPONSE, ReserveSel)                                                       \
    R1(SEL_GET_SEL_ENTRY_RESPONSE, GetSelEntry, SEL_GET_SEL_ENTRY_REQUEST)                         \
    R1(SEL_ADD_SEL_ENTRY_RESPONSE, AddSelEntry, SEL_ADD_SEL_ENTRY_REQUEST)                         \
    R1(SEL_PARTIAL_ADD_SEL_ENTRY_RESPONSE, PartialAddSelEntry, SEL_PARTIAL_ADD_SEL_ENTRY_REQUEST)  \
    R1(SEL_DELETE_SEL_ENTRY_RESPONSE, DeleteSelEntry, SEL_DELETE_SEL_ENTRY_REQUEST)                \
    R1(SEL_CLEAR_SEL_RESPONSE, ClearSel, SEL_CLEAR_SEL_REQUEST)                                    \
    R0(SEL_GET_SEL_TIME_RESPONSE, GetSelTime)                                                      \
    R1(SEL_SET_SEL_TIME_RESPONSE, SetSelTime, SEL_SET_SEL_TIME_REQUEST)

// The controller operations the base controller adds, in slot order.
#define QVBMC_BASE_CONTROLLER_COMMANDS(R0, R1)                                                     \
    R1(MMC_READ_MMC_MEMORY_RESPONSE, ReadMmcMemory, MMC_READ_MMC_MEMORY_REQUEST)                   \
    R1(MMC_SET_MMC_GLOBAL_ENABLES_RESPONSE, SetMmcGlobalEnables,                                   \
       MMC_SET_MMC_GLOBAL_ENABLES_REQUEST)                                                         \
    R0(MMC_GET_MMC_GLOBAL_ENABLES_RESPONSE, GetMmcGlobalEnables)                                   \
    R0(MMC_RESET_WATCHDOG_TIMER_RESPONSE, ResetWatchdogTimer)                                      \
    R1(MMC_SET_WATCHDOG_TIMER_RESPONSE, SetWatchdogTimer, MMC_SET_WATCHDOG_TIMER_REQUEST)          \
    R0(MMC_GET_WATCHDOG_TIMER_RESPONSE, GetWatchdogTimer)                                          \
    R1(MMC_CLEAR_INTERRUPT_FLAGS_RESPONSE, ClearInterruptFlags, MMC_CLEAR_INTERRUPT_FLAGS_REQUEST) \
    R0(MMC_GET_INTERRUPT_FLAGS_RESPONSE, GetInterruptFlags)                                        \
    R1(MMC_CLEAR_MESSAGE_FLAGS_RESPONSE, ClearMessageFlags, MMC_CLEAR_MESSAGE_FLAGS_REQUEST)       \
    R0(MMC_GET_MESSAGE_FLAGS_RESPONSE, GetMessageFlags)                                            \
    R1(MMC_ENABLE_MSG_CHANNEL_REC_RESPONSE, EnableMsgChannelRec, MMC_CLEAR_MESSAGE_FLAGS_REQUEST)  \
    R0(MMC_GET_MESSAGE_RESPONSE, GetMessage)                                                       \
    R1(MMC_SEND_MESSAGE_RESPONSE, SendMessage, MMC_SEND_MESSAGE_REQUEST)                           \
    R0(MMC_READ_EVENT_MESSAGE_BUFFER_RESPONSE, ReadEventMessageBuffer)                             \
    R0(MMC_READ_SMM_MESSAGE_BUFFER_RESPONSE, ReadSmmMessageBuffer)                                 \
    R0(MMC_READ_SMS_MESSAGE_BUFFER_RESPONSE, ReadSmsMessageBuffer)                                 \
    R1(MMC_MASTER_WRITE_I2C_RESPONSE, MasterWriteI2C, MMC_MASTER_WRITE_I2C_REQUEST)                \
    R1(MMC_MASTER_READ_I2C_RESPONSE, MasterReadI2C, MMC_MASTER_READ_I2C_REQUEST)                   \
    R1(MMC_MASTER_WRITE_READ_I2C_RESPONSE, MasterWriteReadI2C, MMC_MASTER_WRITE_READ_I2C_REQUEST)

// The five base controller settings, in order.
#define QVBMC_BASE_CONTROLLER_SETTINGS(S)                                                          \
    S(IPMICommandRetryMaximum)                                                                     \
    S(IPMICommandRetrySleepInterval)                                                               \
    S(PreSMSDataCheckSleep)                                                                        \
    S(SMSDataRetryMaximum)                                                                         \
    S(SMSDataRetrySleepInterval)

#define QVBMC_DECLARE_R0(Result, Name) virtual Result Name() = 0;
#define QVBMC_DECLARE_R1(Result, Name, Request) virtual Result Name(Request request) = 0;
#define QVBMC_DECLARE_V0(Name) virtual void Name() = 0;
#define QVBMC_DECLARE_SETTING(Name)                                                                \
    virtual int Get##Name() = 0;                                                                   \
    virtual void Set##Name(int value) = 0;

#define QVBMC_OVERRIDE_R0(Result, Name) Result Name() override;
#define QVBMC_OVERRIDE_R1(Result, Name, Request) Result Name(Request request) override;
#define QVBMC_OVERRIDE_V0(Name) void Name() override;
#define QVBMC_OVERRIDE_SETTING(Name)                                                               \
    int Get##Name() override;                                                                      \
    void Set##Name(int value) override;

// What every controller implementation and facade overrides besides the command operations:
// the addressing accessors and the two exchanges.
#define QVBMC_CONTROLLER_OVERRIDES                                                                 \
    CIPMControllerPolymorph* GetRealController() override;                                         \
    CIPMBaseControllerExport* GetBaseController() override;                                        \
    UINT8 GetAddress() override;                                                                   \
    void SetAddress(unsigned char bAddress) override;                                              \
    UINT8 GetLun() override;                                                                       \
    void SetLun(unsigned char bLun) override;                                                      \
    int GetUseAddressFlag() override;                                                              \
    void SetUseAddressFlag(int fUseAddress) override;                                              \
    int GetUseLunFlag() override;                                                                  \
    void SetUseLunFlag(int fUseLun) override;                                                      \
    QVBMC_CONTROLLER_COMMANDS(QVBMC_OVERRIDE_R0, QVBMC_OVERRIDE_R1, QVBMC_OVERRIDE_V0)             \
    void SendReceiveIPMIMessage(unsigned char netFn, unsigned char command,                        \
                                const unsigned char* pbCommandData, int nCommandDataLength,        \
                                unsigned char* pbResponseData, int* pnResponseDataLength) override; \
    void SendReceiveIPMIMessage(ImbI2cRequest request, int nRequestLength,                         \
                                ImbI2cResponse* pResponse, int* pnResponseLength) override;

class CIPMControllerPolymorph;
class CIPMBaseControllerPolymorph;
class CIPMBaseControllerExport;

// The accessors and exchanges around the command operations, shared by the export interface and
// the implementation base (only GetRealController's result type differs, and is given by Real).
#define QVBMC_CONTROLLER_INTERFACE(Real)                                                           \
    virtual Real* GetRealController() = 0;                                                         \
    virtual CIPMBaseControllerExport* GetBaseController() = 0;                                     \
    virtual UINT8 GetAddress() = 0;                                                                \
    virtual void SetAddress(unsigned char bAddress) = 0;                                           \
    virtual UINT8 GetLun() = 0;                                                                    \
    virtual void SetLun(unsigned char bLun) = 0;                                                   \
    virtual int GetUseAddressFlag() = 0;                                                           \
    virtual void SetUseAddressFlag(int fUseAddress) = 0;                                           \
    virtual int GetUseLunFlag() = 0;                                                               \
    virtual void SetUseLunFlag(int fUseLun) = 0;                                                   \
    QVBMC_CONTROLLER_COMMANDS(QVBMC_DECLARE_R0, QVBMC_DECLARE_R1, QVBMC_DECLARE_V0)                \
    virtual void SendReceiveIPMIMessage(unsigned char netFn, unsigned char command,                \
                                        const unsigned char* pbCommandData,                        \
                                        int nCommandDataLength, unsigned char* pbResponseData,     \
                                        int* pnResponseDataLength) = 0;                            \
    virtual void SendReceiveIPMIMessage(ImbI2cRequest request, int nRequestLength,                 \
                                        ImbI2cResponse* pResponse, int* pnResponseLength) = 0;

class CIPMControllerExport {
public:
    GlobGetDeviceIdResponse* m_pDeviceId = nullptr;
    QVBMC_CONTROLLER_INTERFACE(CIPMControllerPolymorph)

protected:
    ~CIPMControllerExport() = default;
};

class CIPMBaseControllerExport : public CIPMControllerExport {
public:
    virtual CIPMBaseControllerPolymorph* GetRealBaseController() = 0;
    QVBMC_BASE_CONTROLLER_SETTINGS(QVBMC_DECLARE_SETTING)
    QVBMC_BASE_CONTROLLER_COMMANDS(QVBMC_DECLARE_R0, QVBMC_DECLARE_R1)
    virtual void SendReceiveExternalIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                                ImbI2cResponse* pResponse,
                                                int* pnResponseLength) = 0;
    virtual int GetUseSequenceFlag() = 0;
    virtual void SetUseSequenceFlag(int fUseSequence) = 0;
    virtual int GetCalculateRequestChecksumFlag() = 0;
    virtual void SetCalculateRequestChecksumFlag(int fCalculate) = 0;
    virtual int GetValidateResponseFlag() = 0;
    virtual void SetValidateResponseFlag(int fValidate) = 0;

protected:
    ~CIPMBaseControllerExport() = default;
};

// Implementation base of the version-specific controllers. Destruct releases what the
// implementation owns; the owner then deletes the object.
class CIPMControllerPolymorph {
public:
    virtual void Destruct() = 0;
    QVBMC_CONTROLLER_INTERFACE(CIPMControllerPolymorph)
    virtual ~CIPMControllerPolymorph() = default;
};

class CIPMBaseControllerPolymorph : public CIPMControllerPolymorph {
public:
    virtual CIPMBaseControllerPolymorph* GetRealBaseController() = 0;
    QVBMC_BASE_CONTROLLER_SETTINGS(QVBMC_DECLARE_SETTING)
    QVBMC_BASE_CONTROLLER_COMMANDS(QVBMC_DECLARE_R0, QVBMC_DECLARE_R1)
    virtual void SendReceiveExternalIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                                ImbI2cResponse* pResponse,
                                                int* pnResponseLength) = 0;

protected:
    int m_nIPMICommandRetryMaximum = 0;
    int m_nIPMICommandRetrySleepInterval = 0;
    int m_nPreSMSDataCheckSleep = 0;
    int m_nSMSDataRetryMaximum = 0;
    int m_nSMSDataRetrySleepInterval = 0;
};
