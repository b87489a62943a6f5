// Records that cross the IPMI object library's interfaces: the versioned request and response
// records of the controller operations, the IPMB messages, and the sensor-level records. Every
// record is byte-packed with the wire's layout (multi-byte fields little-endian).
#pragma once

#include <cstdint>

typedef uint8_t UINT8;
typedef uint16_t UINT16;
typedef uint32_t UINT32;
typedef uint32_t ErrorType;

#pragma pack(push, 1)

// An arm that carries no data in one IPMI version.
struct QVBMC_NO_DATA {};

// ---- Data arms of the controller operations ----
struct CHASSIS_Q_CONTROL { UINT8 controlCommand; };
struct CHASSIS_S_CONTROL { UINT8 completionCode; };
struct EVNT_Q_SET_EVENT_RECEIVER { UINT8 eventReceiverSlaveAddress, eventReceiverLUN; };
struct EVNT_S_GET_EVENT_RECEIVER { UINT8 completionCode, eventReceiverSlaveAddress, eventReceiverLUN; };
struct EVNT_S_SET_EVENT_RECEIVER { UINT8 completionCode; };
struct FRU09_Q_READ_FRU_INVENTORY_DATA { UINT16 fruInventoryOffset; UINT8 readRequestCount; };
struct FRU09_Q_WRITE_FRU_INVENTORY_DATA { UINT16 fruInventoryOffset; UINT8 inventoryData[30]; };
struct FRU10_Q_GET_FRU_INVENTORY_AREA_INFO { UINT8 deviceId; };
struct FRU10_Q_READ_FRU_INVENTORY_DATA { UINT8 deviceId; UINT16 fruInventoryOffset; UINT8 readRequestCount; };
struct FRU10_Q_WRITE_FRU_INVENTORY_DATA { UINT8 deviceId; UINT16 fruInventoryOffset; UINT8 inventoryData[30]; };
struct FRU_S_GET_FRU_INVENTORY_AREA_INFO { UINT8 completionCode; UINT16 fruInventoryAreaSize; UINT8 fruAccessSize; };
struct FRU_S_READ_FRU_INVENTORY_DATA { UINT8 completionCode, readActualCount, inventoryData[30]; };
struct FRU_S_WRITE_FRU_INVENTORY_DATA { UINT8 completionCode, writtenCount; };
struct GET_S_CHASSIS_STATUS { UINT8 completionCode, powerState, lastPowerEvent, miscChassisState; };
struct GLOB09_S_GET_DEVICE_ID {
    UINT8 completionCode, deviceType, deviceRevision, firmwareRev1, firmwareRev2, sensorSpecRev,
        ipmDeviceSupport;
};
struct GLOB09_S_GET_SELF_TEST_RESULTS { UINT8 completionCode, results; };
struct GLOB10_S_GET_DEVICE_ID {
    UINT8 completionCode, deviceType, deviceRevision, firmwareRev1, firmwareRev2, ipmiVersion,
        ipmDeviceSupport, manufacturerIdLo, manufacturerIdMid, manufacturerIdHi, productIdLo,
        productIdHi;
};
struct GLOB10_S_GET_SELF_TEST_RESULTS { UINT8 completionCode, results, failReason; };
struct GLOB_S_COLD_RESET { UINT8 completionCode; };
struct GLOB_S_MFG_TEST_ON { UINT8 completionCode; };
struct GLOB_S_WARM_RESET { UINT8 completionCode; };
struct SD09_Q_GET_SENSOR_EVENT_MESSAGE_ENABLE { UINT8 sensorNumber, offset; };
struct SD09_Q_GET_SENSOR_EVENT_STATUS { UINT8 sensorNumber; };
struct SD09_Q_GET_SENSOR_THRESHOLD { UINT8 sensorNumber, thresholdCode; };
struct SD09_Q_RE_ARM_SENSOR_EVENTS { UINT8 sensorNumber, reArmBits; };
struct SD09_Q_SET_SENSOR_EVENT_MESSAGE_ENABLE { UINT8 sensorNumber, enableBits; };
struct SD09_Q_SET_SENSOR_THRESHOLD { UINT8 sensorNumber, thresholdCode, thresholdValue; };
struct SD09_S_GET_SENSOR_EVENT_MESSAGE_ENABLE { UINT8 completionCode, enableBits; };
struct SD09_S_GET_SENSOR_EVENT_STATUS { UINT8 completionCode, status[2]; };
struct SD09_S_GET_SENSOR_READING { UINT8 completionCode, reading[3]; };
struct SD09_S_GET_SENSOR_THRESHOLD { UINT8 completionCode, thresholdValue; };
struct SD09_S_RE_ARM_SENSOR_EVENTS { UINT8 completionCode; };
struct SD09_S_SET_SENSOR_EVENT_MESSAGE_ENABLE { UINT8 completionCode; };
struct SD09_S_SET_SENSOR_THRESHOLD { UINT8 completionCode; };
struct SD10_Q_GET_SENSOR_EVENT_MESSAGE_ENABLE { UINT8 sensorNumber; };
struct SD10_Q_GET_SENSOR_EVENT_STATUS { UINT8 sensorNumber; };
struct SD10_Q_GET_SENSOR_THRESHOLD { UINT8 sensorNumber; };
struct SD10_Q_RE_ARM_SENSOR_EVENTS { UINT8 sensorNumber, reArmControl, reArmAssertion[2], reArmDeassertion[2]; };
struct SD10_Q_SET_SENSOR_EVENT_MESSAGE_ENABLE { UINT8 sensorNumber, enableBits, selectAssertion[2], selectDeassertion[2]; };
struct SD10_Q_SET_SENSOR_THRESHOLD {
    UINT8 sensorNumber, thresholdMask, lNCThresholdValue, lCThresholdValue, lNRThresholdValue,
        uNCThresholdValue, uCThresholdValue, uNRThresholdValue;
};
struct SD10_S_GET_SENSOR_EVENT_MESSAGE_ENABLE { UINT8 completionCode, enableBits, assertionEnabled[2], deassertionEnabled[2]; };
struct SD10_S_GET_SENSOR_EVENT_STATUS { UINT8 completionCode, status, assertionStatus[2], deassertionStatus[2]; };
struct SD10_S_GET_SENSOR_READING { UINT8 completionCode, readingValue, sensorStatus, readingStatus[2]; };
struct SD10_S_GET_SENSOR_THRESHOLD {
    UINT8 completionCode, thresholdMask, lNCThresholdValue, lCThresholdValue, lNRThresholdValue,
        uNCThresholdValue, uCThresholdValue, uNRThresholdValue;
};
struct SD10_S_RE_ARM_SENSOR_EVENTS { UINT8 completionCode; };
struct SD10_S_SET_SENSOR_EVENT_MESSAGE_ENABLE { UINT8 completionCode; };
struct SD10_S_SET_SENSOR_THRESHOLD { UINT8 completionCode; };
struct SDRR10_Q_RUN_INITIALIZATION_AGENT { UINT8 runOrGetProgress; };
struct SDRR10_S_EXIT_UPDATE_MODE { UINT8 completionCode; };
struct SDRR10_S_RUN_INITIALIZATION_AGENT { UINT8 completionCode, initializationStatus; };
struct SDRR_Q_ADD_SDR { UINT8 sdrData[32]; };
struct SDRR_Q_CLEAR_SDR_REPOSITORY { UINT16 reservationId; UINT8 password[3], action; };
struct SDRR_Q_DELETE_SDR { UINT16 reservationId, recordId; };
struct SDRR_Q_GET_SDR { UINT16 reservationId, recordId; UINT8 offset, bytes; };
struct SDRR_Q_PARTIAL_ADD_SDR { UINT16 reservationId, recordId; UINT8 offset, options, sdrData[26]; };
struct SDRR_Q_SET_SDR_REPOSITORY_TIME { UINT32 time; };
struct SDRR_S_ADD_SDR { UINT8 completionCode; UINT16 addedRecordId; };
struct SDRR_S_CLEAR_SDR_REPOSITORY { UINT8 completionCode, erasureProgress; };
struct SDRR_S_DELETE_SDR { UINT8 completionCode; UINT16 deletedRecordId; };
struct SDRR_S_GET_SDR { UINT8 completionCode; UINT16 nextRecordId; UINT8 sdrData[31]; };
struct SDRR_S_GET_SDR_REPOSITORY_ALLOCATION_INFO {
    UINT8 completionCode;
    UINT16 possibleAllocationUnits, allocationUnitSize, freeAllocationUnits, largestFreeBlock;
    UINT8 maxRecordSize;
};
struct SDRR_S_GET_SDR_REPOSITORY_INFO {
    UINT8 completionCode, sdrVersion;
    UINT16 recordCount, freeSpace;
    UINT32 mostRecentAdditionTimestamp, mostRecentEraseTimestamp;
    UINT8 operationSupport;
};
struct SDRR_S_GET_SDR_REPOSITORY_TIME { UINT8 completionCode; UINT32 time; };
struct SDRR_S_PARTIAL_ADD_SDR { UINT8 completionCode; UINT16 addedRecordId; };
struct SDRR_S_RESERVE_DEVICE_SDR_REPOSITORY { UINT8 completionCode; UINT16 reservationId; };
struct SDRR_S_RESERVE_SDR_REPOSITORY { UINT8 completionCode; UINT16 reservationId; };
struct SDRR_S_SET_SDR_REPOSITORY_TIME { UINT8 completionCode; };
struct SD_Q_GET_DEVICE_SDR { UINT16 reservationId, recordId; UINT8 offset, requestedGetLength; };
struct SD_Q_GET_SENSOR_HYSTERISIS { UINT8 sensorNumber, hysterisisMask; };
struct SD_Q_GET_SENSOR_READING { UINT8 sensorNumber; };
struct SD_Q_GET_SENSOR_READING_FACTORS { UINT8 sensorNumber, readingByte; };
struct SD_Q_GET_SENSOR_TYPE { UINT8 sensorNumber; };
struct SD_Q_SET_SENSOR_HYSTERISIS { UINT8 sensorNumber, hysterisisMask, positiveHysterisisValue, negativeHysterisisValue; };
struct SD_Q_SET_SENSOR_TYPE { UINT8 sensorNumber, sensorType, eventReadingType; };
struct SD_S_GET_DEVICE_SDR { UINT8 completionCode; UINT16 nextRecordId; UINT8 sdrData[30]; };
struct SD_S_GET_DEVICE_SDR_INFO { UINT8 completionCode, numberOfSensors, flags; UINT32 sensorPopulationChangeIndicator; };
struct SD_S_GET_SENSOR_HYSTERISIS { UINT8 completionCode, positiveHysterisisValue, negativeHysterisisValue; };
struct SD_S_GET_SENSOR_READING_FACTORS { UINT8 completionCode, nextReading; UINT16 m, b; UINT8 accuracy, exponents; };
struct SD_S_GET_SENSOR_TYPE { UINT8 completionCode, sensorType, eventReadingType; };
struct SD_S_SET_SENSOR_HYSTERISIS { UINT8 completionCode; };
struct SD_S_SET_SENSOR_TYPE { UINT8 completionCode; };
struct SEL_Q_ADD_SEL_ENTRY { UINT8 selData[16]; };
struct SEL_Q_CLEAR_SEL { UINT16 reservationId; UINT8 password[3], action; };
struct SEL_Q_DELETE_SEL_ENTRY { UINT16 reservationId, recordId; };
struct SEL_Q_GET_SEL_ENTRY { UINT16 reservationId, recordId; UINT8 offset, bytes; };
struct SEL_Q_PARTIAL_ADD_SEL_ENTRY { UINT16 reservationId, recordId; UINT8 offset, options, selData[16]; };
struct SEL_Q_SET_SEL_TIME { UINT32 time; };
struct SEL_S_ADD_SEL_ENTRY { UINT8 completionCode; UINT16 addedRecordId; };
struct SEL_S_CLEAR_SEL { UINT8 completionCode, erasureProgress; };
struct SEL_S_DELETE_SEL_ENTRY { UINT8 completionCode; UINT16 deletedRecordId; };
struct SEL_S_GET_SEL_ALLOCATION_INFO {
    UINT8 completionCode;
    UINT16 possibleAllocationUnits, allocationUnitSize, freeAllocationUnits, largestFreeBlock;
    UINT8 maxRecordSize;
};
struct SEL_S_GET_SEL_ENTRY { UINT8 completionCode; UINT16 nextRecordId; UINT8 selData[16]; };
struct SEL_S_GET_SEL_INFO {
    UINT8 completionCode, selVersion;
    UINT16 recordCount, freeSpace;
    UINT32 mostRecentAdditionTimestamp, mostRecentEraseTimestamp;
    UINT8 operationSupport;
};
struct SEL_S_GET_SEL_TIME { UINT8 completionCode; UINT32 time; };
struct SEL_S_PARTIAL_ADD_SEL_ENTRY { UINT8 completionCode; UINT16 addedRecordId; };
struct SEL_S_RESERVE_SEL { UINT8 completionCode; UINT16 reservationId; };
struct SEL_S_SET_SEL_TIME { UINT8 completionCode; };

// ---- Data arms of the base controller's added operations ----
struct MMC09_Q_READ_MMC_MEMORY { UINT8 memorySpace; UINT16 address; };
struct MMC_S_COMPLETION { UINT8 completionCode; };
struct MMC_S_COMPLETION_BYTE { UINT8 completionCode, value; };
struct MMC_Q_FLAGS { UINT8 flags; };
struct MMC_S_READ_MMC_MEMORY { UINT8 completionCode, readData; };
struct MMC_Q_SET_GLOBAL_ENABLES { UINT8 enables; };
struct MMC_S_GET_GLOBAL_ENABLES { UINT8 completionCode, enables; };
struct MMC_S_FLAGS { UINT8 completionCode, flags; };
struct MMC_Q_SET_WATCHDOG_TIMER {
    UINT8 use, actions, preTimeoutInterval, useExpirationBitsClear;
    UINT16 initialCountdownValue;
};
struct MMC_S_GET_WATCHDOG_TIMER {
    UINT8 completionCode, use, actions, preTimeoutInterval, useExpirationBits;
    UINT16 initialCountdownValue, presentCountdownValue;
};
struct MMC_S_ENABLE_MSG_CHANNEL_REC { UINT8 completionCode, channelNumber, channelState; };
struct MMC_S_GET_MESSAGE { UINT8 completionCode, channelNumber, messageBytes[34]; };
struct MMC_Q_SEND_MESSAGE { UINT8 channelNumber, messageBytes[34]; };
// An IPMB message without its first address byte, as the message buffers hold it.
struct MmcSmxMessage {
    UINT8 rsLun : 2, netFn : 6;
    UINT8 checksum1, rqSA;
    UINT8 rqLun : 2, rqSeq : 6;
    UINT8 command, cmdData[27];
};
typedef MmcSmxMessage MMC_SMX_MESSAGE;
struct MMC_S_READ_EVENT_MESSAGE_BUFFER { UINT8 completionCode; MmcSmxMessage eventMessage; };
struct MMC_S_READ_SMM_MESSAGE_BUFFER { UINT8 completionCode; MmcSmxMessage smmMessage; };
struct MMC_S_READ_SMS_MESSAGE_BUFFER { UINT8 completionCode; MmcSmxMessage smsMessage; };
struct MMC09_Q_MASTER_WRITE_I2C { UINT8 busId, slaveAddress, writeData[38]; };
struct MMC09_Q_MASTER_READ_I2C { UINT8 busId, slaveAddress, numberOfBytesToRead; };
struct MMC09_S_MASTER_READ_I2C { UINT8 completionCode, readData[31]; };
struct MMC_Q_MASTER_WRITE_READ_I2C { UINT8 busId, slaveAddress, numberOfBytesToRead, writeData[44]; };
struct MMC_S_MASTER_WRITE_READ_I2C { UINT8 completionCode, readData[44]; };

// ---- Versioned records: bVersion, an optional length byte, then the two arms ----
#define QVBMC_RECORD(Name, Alias, Arm09, Arm10)                                                    \
    struct Name {                                                                                  \
        UINT8 bVersion;                                                                            \
        union { Arm09 Ver09; Arm10 Ver10; };                                                       \
    };                                                                                             \
    typedef Name Alias;
#define QVBMC_RECORD_LEN(Name, Alias, LengthField, Arm09, Arm10)                                   \
    struct Name {                                                                                  \
        UINT8 bVersion;                                                                            \
        UINT8 LengthField;                                                                         \
        union { Arm09 Ver09; Arm10 Ver10; };                                                       \
    };                                                                                             \
    typedef Name Alias;

QVBMC_RECORD(GlobGetDeviceIdResponse, GLOB_GET_DEVICE_ID_RESPONSE, GLOB09_S_GET_DEVICE_ID, GLOB10_S_GET_DEVICE_ID)
QVBMC_RECORD(GlobColdResetResponse, GLOB_COLD_RESET_RESPONSE, GLOB_S_COLD_RESET, GLOB_S_COLD_RESET)
QVBMC_RECORD(GlobWarmResetResponse, GLOB_WARM_RESET_RESPONSE, GLOB_S_WARM_RESET, GLOB_S_WARM_RESET)
QVBMC_RECORD(GlobGetSelfTestResultsResponse, GLOB_GET_SELF_TEST_RESULTS_RESPONSE, GLOB09_S_GET_SELF_TEST_RESULTS, GLOB10_S_GET_SELF_TEST_RESULTS)
QVBMC_RECORD(GlobMfgTestOnResponse, GLOB_MFG_TEST_ON_RESPONSE, GLOB_S_MFG_TEST_ON, GLOB_S_MFG_TEST_ON)
QVBMC_RECORD(EvntSetEventReceiverRequest, EVNT_SET_EVENT_RECEIVER_REQUEST, EVNT_Q_SET_EVENT_RECEIVER, EVNT_Q_SET_EVENT_RECEIVER)
QVBMC_RECORD(EvntSetEventReceiverResponse, EVNT_SET_EVENT_RECEIVER_RESPONSE, EVNT_S_SET_EVENT_RECEIVER, EVNT_S_SET_EVENT_RECEIVER)
QVBMC_RECORD(EvntGetEventReceiverResponse, EVNT_GET_EVENT_RECEIVER_RESPONSE, EVNT_S_GET_EVENT_RECEIVER, EVNT_S_GET_EVENT_RECEIVER)
QVBMC_RECORD(SdGetDeviceSdrInfoResponse, SD_GET_DEVICE_SDR_INFO_RESPONSE, SD_S_GET_DEVICE_SDR_INFO, SD_S_GET_DEVICE_SDR_INFO)
QVBMC_RECORD(SdGetDeviceSdrRequest, SD_GET_DEVICE_SDR_REQUEST, SD_Q_GET_DEVICE_SDR, SD_Q_GET_DEVICE_SDR)
QVBMC_RECORD_LEN(SdGetDeviceSdrResponse, SD_GET_DEVICE_SDR_RESPONSE, bResponseLength, SD_S_GET_DEVICE_SDR, SD_S_GET_DEVICE_SDR)
QVBMC_RECORD(SdrrReserveDeviceSdrRepositoryResponse, SDRR_RESERVE_DEVICE_SDR_REPOSITORY_RESPONSE, SDRR_S_RESERVE_DEVICE_SDR_REPOSITORY, SDRR_S_RESERVE_DEVICE_SDR_REPOSITORY)
QVBMC_RECORD(SdGetSensorReadingFactorsRequest, SD_GET_SENSOR_READING_FACTORS_REQUEST, SD_Q_GET_SENSOR_READING_FACTORS, SD_Q_GET_SENSOR_READING_FACTORS)
QVBMC_RECORD(SdGetSensorReadingFactorsResponse, SD_GET_SENSOR_READING_FACTORS_RESPONSE, SD_S_GET_SENSOR_READING_FACTORS, SD_S_GET_SENSOR_READING_FACTORS)
QVBMC_RECORD(SdSetSensorHysterisisRequest, SD_SET_SENSOR_HYSTERISIS_REQUEST, SD_Q_SET_SENSOR_HYSTERISIS, SD_Q_SET_SENSOR_HYSTERISIS)
QVBMC_RECORD(SdSetSensorHysterisisResponse, SD_SET_SENSOR_HYSTERISIS_RESPONSE, SD_S_SET_SENSOR_HYSTERISIS, SD_S_SET_SENSOR_HYSTERISIS)
QVBMC_RECORD(SdGetSensorHysterisisRequest, SD_GET_SENSOR_HYSTERISIS_REQUEST, SD_Q_GET_SENSOR_HYSTERISIS, SD_Q_GET_SENSOR_HYSTERISIS)
QVBMC_RECORD(SdGetSensorHysterisisResponse, SD_GET_SENSOR_HYSTERISIS_RESPONSE, SD_S_GET_SENSOR_HYSTERISIS, SD_S_GET_SENSOR_HYSTERISIS)
QVBMC_RECORD(SdSetSensorThresholdRequest, SD_SET_SENSOR_THRESHOLD_REQUEST, SD09_Q_SET_SENSOR_THRESHOLD, SD10_Q_SET_SENSOR_THRESHOLD)
QVBMC_RECORD(SdSetSensorThresholdResponse, SD_SET_SENSOR_THRESHOLD_RESPONSE, SD09_S_SET_SENSOR_THRESHOLD, SD10_S_SET_SENSOR_THRESHOLD)
QVBMC_RECORD(SdGetSensorThresholdRequest, SD_GET_SENSOR_THRESHOLD_REQUEST, SD09_Q_GET_SENSOR_THRESHOLD, SD10_Q_GET_SENSOR_THRESHOLD)
QVBMC_RECORD(SdGetSensorThresholdResponse, SD_GET_SENSOR_THRESHOLD_RESPONSE, SD09_S_GET_SENSOR_THRESHOLD, SD10_S_GET_SENSOR_THRESHOLD)
QVBMC_RECORD(SdSetSensorEventMessageEnableRequest, SD_SET_SENSOR_EVENT_MESSAGE_ENABLE_REQUEST, SD09_Q_SET_SENSOR_EVENT_MESSAGE_ENABLE, SD10_Q_SET_SENSOR_EVENT_MESSAGE_ENABLE)
QVBMC_RECORD(SdSetSensorEventMessageEnableResponse, SD_SET_SENSOR_EVENT_MESSAGE_ENABLE_RESPONSE, SD09_S_SET_SENSOR_EVENT_MESSAGE_ENABLE, SD10_S_SET_SENSOR_EVENT_MESSAGE_ENABLE)
QVBMC_RECORD(SdGetSensorEventMessageEnableRequest, SD_GET_SENSOR_EVENT_MESSAGE_ENABLE_REQUEST, SD09_Q_GET_SENSOR_EVENT_MESSAGE_ENABLE, SD10_Q_GET_SENSOR_EVENT_MESSAGE_ENABLE)
QVBMC_RECORD(SdGetSensorEventMessageEnableResponse, SD_GET_SENSOR_EVENT_MESSAGE_ENABLE_RESPONSE, SD09_S_GET_SENSOR_EVENT_MESSAGE_ENABLE, SD10_S_GET_SENSOR_EVENT_MESSAGE_ENABLE)
QVBMC_RECORD(SdReArmSensorEventsRequest, SD_RE_ARM_SENSOR_EVENTS_REQUEST, SD09_Q_RE_ARM_SENSOR_EVENTS, SD10_Q_RE_ARM_SENSOR_EVENTS)
QVBMC_RECORD(SdReArmSensorEventsResponse, SD_RE_ARM_SENSOR_EVENTS_RESPONSE, SD09_S_RE_ARM_SENSOR_EVENTS, SD10_S_RE_ARM_SENSOR_EVENTS)
QVBMC_RECORD(SdGetSensorEventStatusRequest, SD_GET_SENSOR_EVENT_STATUS_REQUEST, SD09_Q_GET_SENSOR_EVENT_STATUS, SD10_Q_GET_SENSOR_EVENT_STATUS)
QVBMC_RECORD_LEN(SdGetSensorEventStatusResponse, SD_GET_SENSOR_EVENT_STATUS_RESPONSE, bResponseLength, SD09_S_GET_SENSOR_EVENT_STATUS, SD10_S_GET_SENSOR_EVENT_STATUS)
QVBMC_RECORD(SdGetSensorReadingRequest, SD_GET_SENSOR_READING_REQUEST, SD_Q_GET_SENSOR_READING, SD_Q_GET_SENSOR_READING)
QVBMC_RECORD_LEN(SdGetSensorReadingResponse, SD_GET_SENSOR_READING_RESPONSE, bResponseLength, SD09_S_GET_SENSOR_READING, SD10_S_GET_SENSOR_READING)
QVBMC_RECORD(SdSetSensorTypeRequest, SD_SET_SENSOR_TYPE_REQUEST, QVBMC_NO_DATA, SD_Q_SET_SENSOR_TYPE)
QVBMC_RECORD(SdSetSensorTypeResponse, SD_SET_SENSOR_TYPE_RESPONSE, QVBMC_NO_DATA, SD_S_SET_SENSOR_TYPE)
QVBMC_RECORD(SdGetSensorTypeRequest, SD_GET_SENSOR_TYPE_REQUEST, QVBMC_NO_DATA, SD_Q_GET_SENSOR_TYPE)
QVBMC_RECORD(SdGetSensorTypeResponse, SD_GET_SENSOR_TYPE_RESPONSE, QVBMC_NO_DATA, SD_S_GET_SENSOR_TYPE)
QVBMC_RECORD(ChassisGetChassisStatusResponse, CHASSIS_GET_CHASSIS_STATUS_RESPONSE, QVBMC_NO_DATA, GET_S_CHASSIS_STATUS)
QVBMC_RECORD(ChassisControlRequest, CHASSIS_CONTROL_REQUEST, QVBMC_NO_DATA, CHASSIS_Q_CONTROL)
QVBMC_RECORD(ChassisControlResponse, CHASSIS_CONTROL_RESPONSE, QVBMC_NO_DATA, CHASSIS_S_CONTROL)
QVBMC_RECORD_LEN(FruGetFruInventoryInfoRequest, FRU_GET_FRU_INVENTORY_INFO_REQUEST, bRequestLength, QVBMC_NO_DATA, FRU10_Q_GET_FRU_INVENTORY_AREA_INFO)
QVBMC_RECORD(FruGetFruInventoryInfoResponse, FRU_GET_FRU_INVENTORY_INFO_RESPONSE, FRU_S_GET_FRU_INVENTORY_AREA_INFO, FRU_S_GET_FRU_INVENTORY_AREA_INFO)
QVBMC_RECORD(FruReadFruInventoryDataRequest, FRU_READ_FRU_INVENTORY_DATA_REQUEST, FRU09_Q_READ_FRU_INVENTORY_DATA, FRU10_Q_READ_FRU_INVENTORY_DATA)
QVBMC_RECORD_LEN(FruReadFruInventoryDataResponse, FRU_READ_FRU_INVENTORY_DATA_RESPONSE, bResponseLength, FRU_S_READ_FRU_INVENTORY_DATA, FRU_S_READ_FRU_INVENTORY_DATA)
QVBMC_RECORD_LEN(FruWriteFruInventoryDataRequest, FRU_WRITE_FRU_INVENTORY_DATA_REQUEST, bRequestLength, FRU09_Q_WRITE_FRU_INVENTORY_DATA, FRU10_Q_WRITE_FRU_INVENTORY_DATA)
QVBMC_RECORD(FruWriteFruInventoryDataResponse, FRU_WRITE_FRU_INVENTORY_DATA_RESPONSE, FRU_S_WRITE_FRU_INVENTORY_DATA, FRU_S_WRITE_FRU_INVENTORY_DATA)
QVBMC_RECORD(SdrrGetSdrRepositoryInfoResponse, SDRR_GET_SDR_REPOSITORY_INFO_RESPONSE, SDRR_S_GET_SDR_REPOSITORY_INFO, SDRR_S_GET_SDR_REPOSITORY_INFO)
QVBMC_RECORD(SdrrGetSdrRepositoryAllocationInfoResponse, SDRR_GET_SDR_REPOSITORY_ALLOCATION_INFO_RESPONSE, SDRR_S_GET_SDR_REPOSITORY_ALLOCATION_INFO, SDRR_S_GET_SDR_REPOSITORY_ALLOCATION_INFO)
QVBMC_RECORD(SdrrReserveSdrRepositoryResponse, SDRR_RESERVE_SDR_REPOSITORY_RESPONSE, SDRR_S_RESERVE_SDR_REPOSITORY, SDRR_S_RESERVE_SDR_REPOSITORY)
QVBMC_RECORD(SdrrGetSdrRequest, SDRR_GET_SDR_REQUEST, SDRR_Q_GET_SDR, SDRR_Q_GET_SDR)
QVBMC_RECORD_LEN(SdrrGetSdrResponse, SDRR_GET_SDR_RESPONSE, bResponseLength, SDRR_S_GET_SDR, SDRR_S_GET_SDR)
QVBMC_RECORD_LEN(SdrrAddSdrRequest, SDRR_ADD_SDR_REQUEST, bRequestLength, SDRR_Q_ADD_SDR, SDRR_Q_ADD_SDR)
QVBMC_RECORD(SdrrAddSdrResponse, SDRR_ADD_SDR_RESPONSE, SDRR_S_ADD_SDR, SDRR_S_ADD_SDR)
QVBMC_RECORD_LEN(SdrrPartialAddSdrRequest, SDRR_PARTIAL_ADD_SDR_REQUEST, bRequestLength, SDRR_Q_PARTIAL_ADD_SDR, SDRR_Q_PARTIAL_ADD_SDR)
QVBMC_RECORD(SdrrPartialAddSdrResponse, SDRR_PARTIAL_ADD_SDR_RESPONSE, SDRR_S_PARTIAL_ADD_SDR, SDRR_S_PARTIAL_ADD_SDR)
QVBMC_RECORD(SdrrDeleteSdrRequest, SDRR_DELETE_SDR_REQUEST, SDRR_Q_DELETE_SDR, SDRR_Q_DELETE_SDR)
QVBMC_RECORD(SdrrDeleteSdrResponse, SDRR_DELETE_SDR_RESPONSE, SDRR_S_DELETE_SDR, SDRR_S_DELETE_SDR)
QVBMC_RECORD(SdrrClearSdrRepositoryRequest, SDRR_CLEAR_SDR_REPOSITORY_REQUEST, SDRR_Q_CLEAR_SDR_REPOSITORY, SDRR_Q_CLEAR_SDR_REPOSITORY)
QVBMC_RECORD(SdrrClearSdrRepositoryResponse, SDRR_CLEAR_SDR_REPOSITORY_RESPONSE, SDRR_S_CLEAR_SDR_REPOSITORY, SDRR_S_CLEAR_SDR_REPOSITORY)
QVBMC_RECORD(SdrrGetSdrRepositoryTimeResponse, SDRR_GET_SDR_REPOSITORY_TIME_RESPONSE, SDRR_S_GET_SDR_REPOSITORY_TIME, SDRR_S_GET_SDR_REPOSITORY_TIME)
QVBMC_RECORD(SdrrSetSdrRepositoryTimeRequest, SDRR_SET_SDR_REPOSITORY_TIME_REQUEST, SDRR_Q_SET_SDR_REPOSITORY_TIME, SDRR_Q_SET_SDR_REPOSITORY_TIME)
QVBMC_RECORD(SdrrSetSdrRepositoryTimeResponse, SDRR_SET_SDR_REPOSITORY_TIME_RESPONSE, SDRR_S_SET_SDR_REPOSITORY_TIME, SDRR_S_SET_SDR_REPOSITORY_TIME)
QVBMC_RECORD(SdrrEnterUpdateModeResponse, SDRR_ENTER_UPDATE_MODE_RESPONSE, QVBMC_NO_DATA, SDRR10_S_EXIT_UPDATE_MODE)
QVBMC_RECORD(SdrrExitUpdateModeResponse, SDRR_EXIT_UPDATE_MODE_RESPONSE, QVBMC_NO_DATA, SDRR10_S_EXIT_UPDATE_MODE)
QVBMC_RECORD(SdrrRunInitializationAgentRequest, SDRR_RUN_INITIALIZATION_AGENT_REQUEST, QVBMC_NO_DATA, SDRR10_Q_RUN_INITIALIZATION_AGENT)
QVBMC_RECORD(SdrrRunInitializationAgentResponse, SDRR_RUN_INITIALIZATION_AGENT_RESPONSE, QVBMC_NO_DATA, SDRR10_S_RUN_INITIALIZATION_AGENT)
QVBMC_RECORD(SelGetSelInfoResponse, SEL_GET_SEL_INFO_RESPONSE, SEL_S_GET_SEL_INFO, SEL_S_GET_SEL_INFO)
QVBMC_RECORD(SelGetSelAllocationInfoResponse, SEL_GET_SEL_ALLOCATION_INFO_RESPONSE, SEL_S_GET_SEL_ALLOCATION_INFO, SEL_S_GET_SEL_ALLOCATION_INFO)
QVBMC_RECORD(SelReserveSelResponse, SEL_RESERVE_SEL_RESPONSE, SEL_S_RESERVE_SEL, SEL_S_RESERVE_SEL)
QVBMC_RECORD(SelGetSelEntryRequest, SEL_GET_SEL_ENTRY_REQUEST, SEL_Q_GET_SEL_ENTRY, SEL_Q_GET_SEL_ENTRY)
QVBMC_RECORD(SelGetSelEntryResponse, SEL_GET_SEL_ENTRY_RESPONSE, SEL_S_GET_SEL_ENTRY, SEL_S_GET_SEL_ENTRY)
QVBMC_RECORD(SelAddSelEntryRequest, SEL_ADD_SEL_ENTRY_REQUEST, SEL_Q_ADD_SEL_ENTRY, SEL_Q_ADD_SEL_ENTRY)
QVBMC_RECORD(SelAddSelEntryResponse, SEL_ADD_SEL_ENTRY_RESPONSE, SEL_S_ADD_SEL_ENTRY, SEL_S_ADD_SEL_ENTRY)
QVBMC_RECORD_LEN(SelPartialAddSelEntryRequest, SEL_PARTIAL_ADD_SEL_ENTRY_REQUEST, bRequestLength, SEL_Q_PARTIAL_ADD_SEL_ENTRY, SEL_Q_PARTIAL_ADD_SEL_ENTRY)
QVBMC_RECORD(SelPartialAddSelEntryResponse, SEL_PARTIAL_ADD_SEL_ENTRY_RESPONSE, SEL_S_PARTIAL_ADD_SEL_ENTRY, SEL_S_PARTIAL_ADD_SEL_ENTRY)
QVBMC_RECORD(SelDeleteSelEntryRequest, SEL_DELETE_SEL_ENTRY_REQUEST, SEL_Q_DELETE_SEL_ENTRY, SEL_Q_DELETE_SEL_ENTRY)
QVBMC_RECORD(SelDeleteSelEntryResponse, SEL_DELETE_SEL_ENTRY_RESPONSE, SEL_S_DELETE_SEL_ENTRY, SEL_S_DELETE_SEL_ENTRY)
QVBMC_RECORD(SelClearSelRequest, SEL_CLEAR_SEL_REQUEST, SEL_Q_CLEAR_SEL, SEL_Q_CLEAR_SEL)
QVBMC_RECORD(SelClearSelResponse, SEL_CLEAR_SEL_RESPONSE, SEL_S_CLEAR_SEL, SEL_S_CLEAR_SEL)
QVBMC_RECORD(SelGetSelTimeResponse, SEL_GET_SEL_TIME_RESPONSE, SEL_S_GET_SEL_TIME, SEL_S_GET_SEL_TIME)
QVBMC_RECORD(SelSetSelTimeRequest, SEL_SET_SEL_TIME_REQUEST, SEL_Q_SET_SEL_TIME, SEL_Q_SET_SEL_TIME)
QVBMC_RECORD(SelSetSelTimeResponse, SEL_SET_SEL_TIME_RESPONSE, SEL_S_SET_SEL_TIME, SEL_S_SET_SEL_TIME)

QVBMC_RECORD(MmcReadMmcMemoryRequest, MMC_READ_MMC_MEMORY_REQUEST, MMC09_Q_READ_MMC_MEMORY, QVBMC_NO_DATA)
QVBMC_RECORD(MmcReadMmcMemoryResponse, MMC_READ_MMC_MEMORY_RESPONSE, MMC_S_READ_MMC_MEMORY, QVBMC_NO_DATA)
QVBMC_RECORD(MmcSetMmcGlobalEnablesRequest, MMC_SET_MMC_GLOBAL_ENABLES_REQUEST, MMC_Q_SET_GLOBAL_ENABLES, MMC_Q_SET_GLOBAL_ENABLES)
QVBMC_RECORD(MmcSetMmcGlobalEnablesResponse, MMC_SET_MMC_GLOBAL_ENABLES_RESPONSE, MMC_S_COMPLETION, MMC_S_COMPLETION)
QVBMC_RECORD(MmcResetWatchdogTimerResponse, MMC_RESET_WATCHDOG_TIMER_RESPONSE, MMC_S_COMPLETION, MMC_S_COMPLETION)
QVBMC_RECORD(MmcSetWatchdogTimerResponse, MMC_SET_WATCHDOG_TIMER_RESPONSE, MMC_S_COMPLETION, MMC_S_COMPLETION)
QVBMC_RECORD(MmcClearMessageFlagsResponse, MMC_CLEAR_MESSAGE_FLAGS_RESPONSE, QVBMC_NO_DATA, MMC_S_COMPLETION)
QVBMC_RECORD(MmcSendMessageResponse, MMC_SEND_MESSAGE_RESPONSE, QVBMC_NO_DATA, MMC_S_COMPLETION)
QVBMC_RECORD(MmcClearInterruptFlagsResponse, MMC_CLEAR_INTERRUPT_FLAGS_RESPONSE, MMC_S_COMPLETION, QVBMC_NO_DATA)
QVBMC_RECORD(MmcMasterWriteI2CResponse, MMC_MASTER_WRITE_I2C_RESPONSE, MMC_S_COMPLETION, MMC_S_COMPLETION)
QVBMC_RECORD(MmcGetMmcGlobalEnablesResponse, MMC_GET_MMC_GLOBAL_ENABLES_RESPONSE, MMC_S_GET_GLOBAL_ENABLES, MMC_S_GET_GLOBAL_ENABLES)
QVBMC_RECORD(MmcSetWatchdogTimerRequest, MMC_SET_WATCHDOG_TIMER_REQUEST, MMC_Q_SET_WATCHDOG_TIMER, MMC_Q_SET_WATCHDOG_TIMER)
QVBMC_RECORD(MmcGetWatchdogTimerResponse, MMC_GET_WATCHDOG_TIMER_RESPONSE, MMC_S_GET_WATCHDOG_TIMER, MMC_S_GET_WATCHDOG_TIMER)
QVBMC_RECORD(MmcClearInterruptFlagsRequest, MMC_CLEAR_INTERRUPT_FLAGS_REQUEST, MMC_Q_FLAGS, QVBMC_NO_DATA)
QVBMC_RECORD(MmcGetInterruptFlagsResponse, MMC_GET_INTERRUPT_FLAGS_RESPONSE, MMC_S_FLAGS, QVBMC_NO_DATA)
QVBMC_RECORD(MmcClearMessageFlagsRequest, MMC_CLEAR_MESSAGE_FLAGS_REQUEST, QVBMC_NO_DATA, MMC_Q_FLAGS)
QVBMC_RECORD(MmcGetMessageFlagsResponse, MMC_GET_MESSAGE_FLAGS_RESPONSE, QVBMC_NO_DATA, MMC_S_FLAGS)
QVBMC_RECORD(MmcEnableMsgChannelRecResponse, MMC_ENABLE_MSG_CHANNEL_REC_RESPONSE, QVBMC_NO_DATA, MMC_S_ENABLE_MSG_CHANNEL_REC)
QVBMC_RECORD_LEN(MmcGetMessageResponse, MMC_GET_MESSAGE_RESPONSE, bResponseLength, QVBMC_NO_DATA, MMC_S_GET_MESSAGE)
QVBMC_RECORD_LEN(MmcSendMessageRequest, MMC_SEND_MESSAGE_REQUEST, bRequestLength, QVBMC_NO_DATA, MMC_Q_SEND_MESSAGE)
QVBMC_RECORD(MmcReadEventMessageBufferResponse, MMC_READ_EVENT_MESSAGE_BUFFER_RESPONSE, MMC_S_READ_EVENT_MESSAGE_BUFFER, MMC_S_READ_EVENT_MESSAGE_BUFFER)
QVBMC_RECORD(MmcReadSmmMessageBufferResponse, MMC_READ_SMM_MESSAGE_BUFFER_RESPONSE, MMC_S_READ_SMM_MESSAGE_BUFFER, MMC_S_READ_SMM_MESSAGE_BUFFER)
QVBMC_RECORD(MmcReadSmsMessageBufferResponse, MMC_READ_SMS_MESSAGE_BUFFER_RESPONSE, MMC_S_READ_SMS_MESSAGE_BUFFER, QVBMC_NO_DATA)
QVBMC_RECORD_LEN(MmcMasterWriteI2CRequest, MMC_MASTER_WRITE_I2C_REQUEST, bRequestLength, MMC09_Q_MASTER_WRITE_I2C, QVBMC_NO_DATA)
QVBMC_RECORD(MmcMasterReadI2CRequest, MMC_MASTER_READ_I2C_REQUEST, MMC09_Q_MASTER_READ_I2C, QVBMC_NO_DATA)
QVBMC_RECORD_LEN(MmcMasterReadI2CResponse, MMC_MASTER_READ_I2C_RESPONSE, bResponseLength, MMC09_S_MASTER_READ_I2C, QVBMC_NO_DATA)
QVBMC_RECORD_LEN(MmcMasterWriteReadI2CRequest, MMC_MASTER_WRITE_READ_I2C_REQUEST, bRequestLength, MMC_Q_MASTER_WRITE_READ_I2C, MMC_Q_MASTER_WRITE_READ_I2C)
QVBMC_RECORD_LEN(MmcMasterWriteReadI2CResponse, MMC_MASTER_WRITE_READ_I2C_RESPONSE, bResponseLength, MMC_S_MASTER_WRITE_READ_I2C, MMC_S_MASTER_WRITE_READ_I2C)

// ---- IPMB messages (39 bytes; bit fields fill each byte from its least significant bit) ----
struct ImbI2cRequestHeader {
    UINT8 rsSA;
    UINT8 rsLun : 2, netFn : 6;
    UINT8 checksum1, rqSA;
    UINT8 rqLun : 2, rqSeq : 6;
    UINT8 command;
};
struct ImbI2cResponseHeader {
    UINT8 rqSA;
    UINT8 rqLun : 2, netFn : 6;
    UINT8 checksum1, rsSA;
    UINT8 rsLun : 2, rqSeq : 6;
    UINT8 command;
};
struct ImbI2cRequest {
    UINT8 rsSA;
    UINT8 rsLun : 2, netFn : 6;
    UINT8 checksum1, rqSA;
    UINT8 rqLun : 2, rqSeq : 6;
    UINT8 command;
    UINT8 cmdData[33];
};
struct ImbI2cResponse {
    UINT8 rqSA;
    UINT8 rqLun : 2, netFn : 6;
    UINT8 checksum1, rsSA;
    UINT8 rsLun : 2, rqSeq : 6;
    UINT8 command;
    UINT8 cmdData[33];
};
typedef ImbI2cRequestHeader IMB_I2C_REQUEST_HEADER;
typedef ImbI2cResponseHeader IMB_I2C_RESPONSE_HEADER;
typedef ImbI2cRequest IMB_I2C_REQUEST;
typedef ImbI2cResponse IMB_I2C_RESPONSE;

// ---- Sensor interface records ----
enum ThresholdType : uint32_t {
    ThresholdType_LNC = 0, ThresholdType_LC = 1, ThresholdType_LNR = 2,
    ThresholdType_UNC = 3, ThresholdType_UC = 4, ThresholdType_UNR = 5,
};
struct SensorReadingStruct {
    UINT32 ReadingType;
    UINT32 SensorType;
    union {
        struct {
            UINT8 bRawReading, bThresholdStatus;
            UINT32 SensorUnitsBase, SensorUnitsModifier;
            double rConvertedReading;
        } tAnalog;
        struct { UINT16 wStateAssertions; } tDiscrete;
    };
};
struct GetThresholdReadingStruct {
    UINT32 SensorType, SensorUnitsBase, SensorUnitsModifier;
    UINT8 bRawReading;
    double rConvertedReading;
};
struct SetThresholdValueStruct {
    ThresholdType eThreshold;
    double rConvertedValue;
};

// ---- One cached sensor data record ----
struct Sdr {
    UINT16 recordId;
    UINT8 sdrVersion, recordType, recordLength;
    union {
        struct {
            UINT8 sensorOwnerId, sensorOwnerLUN, sensorNumber, confirmationDeviceId,
                confirmationMajorRevision, sensorModuleFruInventoryDeviceOwnerId,
                sensorInitialization, sensorCapabilities, sensorType, eventReadingBaseType;
            UINT16 eventTriggerMask, eventReadingMask;
            UINT8 sensorUnits1, sensorUnits2, sensorUnits3, linearization, mLSB, mTolerance, bLSB,
                bAccuracy, accuracy, exponents, analogCharacteristicFlags, nominalReading,
                normalMaximum, normalMinimum, sensorMaximumReading, sensorMinimumReading,
                readableThresholdMask, settableThresholdMask, threshold[6], positiveHysterisis,
                negativeHysterisis, oem, entityId, nameTypeLength, name[16];
        } t09_01;
        struct {
            UINT8 sensorOwnerId, sensorOwnerLUN, sensorNumber, entityId, entityInstance,
                sensorInitialization, sensorCapabilities, sensorType, eventReadingBaseType;
            UINT16 eventAssertionMask, eventDeassertionMask, settableReadableMask;
            UINT8 sensorUnits1, sensorUnits2, sensorUnits3, linearization, mLSB, mTolerance, bLSB,
                bAccuracy, accuracy, exponents, analogCharacteristicFlags, nominalReading,
                normalMaximum, normalMinimum, sensorMaximumReading, sensorMinimumReading,
                threshold[6], positiveHysterisis, negativeHysterisis, reserved1, reserved2, oem,
                nameTypeLength, name[16];
        } t10_01;
        struct {
            UINT8 sensorOwnerId, sensorOwnerLUN, sensorNumber, confirmationDeviceId,
                confirmationMajorRevision, sensorModuleFruInventoryDeviceOwnerId,
                sensorInitialization, sensorCapabilities;
            UINT16 sensorRecordSharing;
            UINT8 sensorType, eventReadingBaseType;
            UINT16 eventTriggerMask, eventReadingMask;
            UINT8 sensorUnits1, sensorUnits2, sensorUnits3, oem, entityId, nameTypeLength, name[16];
        } t09_02;
        struct {
            UINT8 sensorOwnerId, sensorOwnerLUN, sensorNumber, entityId, entityInstance,
                sensorInitialization, sensorCapabilities, sensorType, eventReadingBaseType;
            UINT16 eventAssertionMask, eventDeassertionMask, eventReadingMask;
            UINT8 sensorUnits1, sensorUnits2, sensorUnits3;
            UINT16 sensorRecordSharing;
            UINT8 positiveHysterisis, negativeHysterisis, reserved1, reserved2, reserved3, oem,
                nameTypeLength, name[16];
        } t10_02;
        struct {
            UINT8 containerEntityId, containerEntityInstance, flags, containedEntity1Range,
                containedEntity1Instance, containedEntity2Range, containedEntity2Instance,
                containedEntity3Range, containedEntity3Instance, containedEntity4Range,
                containedEntity4Instance;
        } t10_08;
        struct {
            UINT8 deviceSlaveAddress, imbBusId, addressSpan, confirmationDeviceId,
                confirmationMajorRevision, deviceType, deviceTypeModifier, deviceLocation,
                optionalCommandSupport, oem, nameTypeLength, name[16];
        } t09_10;
        struct {
            UINT8 deviceAccessAddress, deviceSlaveAddress, accessIdBusLun, addressSpan, reserved,
                deviceType, deviceTypeModifier, entityId, entityInstance, oem, nameTypeLength,
                name[16];
        } t10_10;
        struct {
            UINT8 deviceAccessAddress, fruDeviceIdSlaveAddress, accessIdBusLun, reserved1,
                reserved2, deviceType, deviceTypeModifier, fruEntityId, fruEntityInstance, oem,
                nameTypeLength, name[16];
        } t10_11;
        struct {
            UINT8 deviceSlaveAddress, powerStateGlobalInit, deviceCapabilities, reserved1,
                reserved2, reserved3, reserved4, EntityId, EntityInstance, oem, nameTypeLength,
                name[16];
        } t10_12;
        struct {
            UINT8 deviceSlaveAddress, deviceId, deviceRevision, firmwareRevision1,
                firmwareRevision2, IPMIversion, mfgrId0, mfgrId1, mfgrId2, systemId, oem,
                deviceGuid[16];
        } t10_13;
        struct {
            UINT8 messageChannel0Info, messageChannel1Info, messageChannel2Info,
                messageChannel3Info, messageChannel4Info, messageChannel5Info,
                messageChannel6Info, messageChannel7Info, messagingInterruptType,
                eventMessageBufferInterruptType, reserved;
        } t10_14;
        struct {
            UINT32 timestamp;
            UINT8 systemModel[16], romBiosVersion[8], videoBiosVersion[8], scsiBiosVersion[8],
                pciIsaSlots, securityFlags;
            UINT16 processorModel[4];
            UINT32 processorSpeed;
        } t09_20;
        struct {
            UINT32 timestamp;
            UINT8 floppyDrive1, floppyDrive2;
            UINT16 memorySizes[8];
            UINT8 reserved28;
        } t09_21;
        struct { UINT8 version[16]; } t09_C0;
        struct { UINT8 manufacturerId[3], version[56]; } t10_C0;
    } body;
};
typedef Sdr SDR;

// ---- One system event log record (shared with the event-log library, same bytes) ----
#ifndef QV_SEL_RECORD_DEFINED
#define QV_SEL_RECORD_DEFINED
struct Sel {
    UINT16 recordId;
    UINT8 recordType;
    UINT32 timestamp;
    UINT8 generatorId, generatorLun, eventVersion, sensorType, sensorNumber, eventTrigger,
        eventData1, eventData2, eventData3;
};
typedef Sel SEL;
#endif

#pragma pack(pop)

#undef QVBMC_RECORD
#undef QVBMC_RECORD_LEN

static_assert(sizeof(GlobGetDeviceIdResponse) == 13);
static_assert(sizeof(SdGetDeviceSdrResponse) == 35);
static_assert(sizeof(SdSetSensorThresholdRequest) == 9);
static_assert(sizeof(SdGetSensorReadingResponse) == 7);
static_assert(sizeof(SdSetSensorTypeRequest) == 4);
static_assert(sizeof(ChassisGetChassisStatusResponse) == 5);
static_assert(sizeof(FruGetFruInventoryInfoRequest) == 3);
static_assert(sizeof(FruReadFruInventoryDataResponse) == 34);
static_assert(sizeof(FruWriteFruInventoryDataRequest) == 35);
static_assert(sizeof(SdrrGetSdrRepositoryInfoResponse) == 16);
static_assert(sizeof(SdrrGetSdrResponse) == 36);
static_assert(sizeof(SdrrAddSdrRequest) == 34);
static_assert(sizeof(SdrrPartialAddSdrRequest) == 34);
static_assert(sizeof(SelGetSelEntryResponse) == 20);
static_assert(sizeof(SelPartialAddSelEntryRequest) == 24);
static_assert(sizeof(SelGetSelInfoResponse) == 16);
static_assert(sizeof(SdGetSensorReadingFactorsResponse) == 9);
static_assert(sizeof(MmcReadMmcMemoryRequest) == 4);
static_assert(sizeof(MmcSetWatchdogTimerRequest) == 7);
static_assert(sizeof(MmcGetWatchdogTimerResponse) == 10);
static_assert(sizeof(MmcSmxMessage) == 32);
static_assert(sizeof(MmcReadEventMessageBufferResponse) == 34);
static_assert(sizeof(MmcGetMessageResponse) == 38);
static_assert(sizeof(MmcSendMessageRequest) == 37);
static_assert(sizeof(MmcMasterWriteI2CRequest) == 42);
static_assert(sizeof(MmcMasterReadI2CResponse) == 34);
static_assert(sizeof(MmcMasterWriteReadI2CRequest) == 49);
static_assert(sizeof(MmcMasterWriteReadI2CResponse) == 47);
static_assert(sizeof(ImbI2cRequestHeader) == 6 && sizeof(ImbI2cResponseHeader) == 6);
static_assert(sizeof(ImbI2cRequest) == 39 && sizeof(ImbI2cResponse) == 39);
static_assert(sizeof(ThresholdType) == 4);
static_assert(sizeof(SensorReadingStruct) == 26);
static_assert(sizeof(GetThresholdReadingStruct) == 21);
static_assert(sizeof(SetThresholdValueStruct) == 12);
static_assert(sizeof(Sdr) == 64);
static_assert(sizeof(Sel) == 16);
static_assert(sizeof(Sdr::body.t10_02) == 43 && sizeof(Sdr::body.t09_02) == 38);
static_assert(sizeof(Sdr::body.t09_20) == 58 && sizeof(Sdr::body.t09_21) == 23);
static_assert(sizeof(Sdr::body.t09_01) == 59 && sizeof(Sdr::body.t10_01) == 59);
