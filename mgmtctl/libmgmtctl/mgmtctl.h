// Controller command library: plain functions with unmangled names through which every program
// talks to the management controller. Results: 0 success, 1..255 the IPMI completion code of the
// answer, 256..265 the library's own codes below.
//
// Callers open the device around each operation or group of operations:
//   RetryMMC_OpenDevice(); MMC_...(); RetryMMC_CloseDevice();
#pragma once

// The 64-byte sensor data record and the 16-byte SEL record are defined by the IPMI object library
// and the event-log library; this library only moves their bytes.
struct Sdr;
typedef struct Sdr SDR;
struct Sel;
typedef struct Sel SEL;

enum MMC_ResultCode {
    MMC_DRIVER_FAILURE = 256,      // open, close or ioctl failed, or a port other than 1..3
    MMC_DRIVER_TIMEOUT = 257,      // reported by the driver only
    MMC_DEVICE_BUSY = 258,         // open failed with EBUSY
    MMC_NO_HARDWARE = 259,         // open failed with ENODEV
    MMC_NO_MEMORY = 260,
    MMC_BAD_PARAMETERS = 261,      // a required length pointer is null or a length negative
    MMC_BAD_DATA = 262,            // answer does not match, wrong count, or request too long
    MMC_BUFFER_TOO_SMALL = 263,    // the controller returned more than the caller's capacity
    MMC_NOT_IN_FW_XFER_MODE = 265,
};

enum { MMC_SDR_RECORD_SIZE = 64, MMC_SEL_RECORD_SIZE = 16 };

#ifdef __cplusplus
extern "C" {
#endif

// ---- Driver tunnel (linux_tunnl) ----
int TunnelOpenDriver(void);
int TunnelCloseDriver(void);
int TunnelSendReceive(unsigned char* input, int ilen, unsigned char* output, int* olen);
int TunnelGetVersionNumber(char* oem_name, char* version_letter, unsigned char* version_major,
                           unsigned char* version_minor);
int TunnelReadPort(int port, unsigned char* data);
int TunnelWritePort(int port, int data);

// ---- Device, retries, message exchange, ports (dev_driv) ----
int MMC_OpenDevice(void);
int MMC_CloseDevice(void);
int RetryMMC_OpenDevice(void);
int RetryMMC_CloseDevice(void);
int MMC_GetKernelDriverVersion(char* oem_name, char* version_letter, unsigned char* version_major,
                               unsigned char* version_minor);
int MMC_GetDriverVersion(char* oem_name, char* version_letter, unsigned char* version_major,
                         unsigned char* version_minor);
int MMC_ReadPort(int nPort, unsigned char* pbData);
int MMC_WritePort(int nPort, int bData);
int MMC_IsSMSDataAvailable(int* pnTrueFalse);
int MMC_SendRcvMesg(int sNetFnLun, int scommand, void* smesg, int slen, void* rmesg, int* rlen);

// ---- Millisecond sleep of every retry loop (mmcsleep) ----
void MMCSleep(int ms);

// ---- Application commands (app_dev) ----
int MMC_GetDeviceID(unsigned char* DevType, unsigned char* DevRev, unsigned char* FwRev1,
                    unsigned char* FwRev2, unsigned char* SensorSpecRev, unsigned char* DevSupport);
int MMC_ColdReset(void);
int MMC_WarmReset(void);
int MMC_GetSelfTestResults(unsigned char* Result);
int MMC_MfgTestOn(void);
int MMC_ReadMMCRAM(int MemSpace, int RAMAddr, unsigned char* RAMData);
int MMC_SetMMCGlobalEnables(int Flags);
int MMC_GetMMCGlobalEnables(unsigned char* Flags);
int MMC_SetInterruptFlags(int Flags);
int MMC_GetInterruptFlags(unsigned char* Flags);
int MMC_ErrorReport(unsigned char* Command, unsigned char* ErrorCode);

// ---- Watchdog (asr_func) ----
int MMC_ResetOSWatchdogTimer(void);
int MMC_SetOSWatchdogTimer(int Use, int Actions, int PreTimeOutInterval,
                           int UseExpirationBitsClear, int InitialCountdownValue);
int MMC_GetOSWatchdogTimer(unsigned char* Use, unsigned char* Actions,
                           unsigned char* PreTimeOutInterval, unsigned char* UseExpirationBits,
                           unsigned short* InitialCountdownValue,
                           unsigned short* PresentCountdownValue);

// ---- Message buffers (mmc_ipm) ----
// *Length: in, the size of Message; out, the count (SMM: completion code and data, SMS: data).
int MMC_ReadSMMMessageBuffer(void* Message, unsigned char* Length);
int MMC_ReadSMSMessageBuffer(void* Message, unsigned char* Length);

// ---- Master I2C (i2c_func) ----
int MMC_MasterWriteI2C(int busID, int addr, const void* data, int len);
int MMC_MasterReadI2C(int busID, int addr, void* data, int* len);
int MMC_MasterWriteReadI2C(int busID, int addr, const void* idata, int ilength, void* odata,
                           int* olength);

// ---- Sensor device (sd_func) ----
int MMC_GetDeviceSDR(int ReservationID, int RecID, int Offset, int Count, unsigned short* NextNum,
                     SDR* Data);
int MMC_ReserveDeviceSDRRepository(unsigned short* Reservation);
int MMC_SetSensorHysterisis(int SensorNum, int HysterisisMask, int Positive, int Negative);
int MMC_GetSensorHysterisis(int SensorNum, int HysterisisMask, unsigned char* Positive,
                            unsigned char* Negative);
int MMC_SetSensorThreshold(int SensorNum, int Threshold, int Value);
int MMC_GetSensorThreshold(int SensorNum, int Threshold, unsigned char* Value);
int MMC_SetSensorEventEnable(int SensorNum, int flags);
int MMC_GetSensorEventEnable(int SensorNum, unsigned char* Flags);
int MMC_RearmSensorEvents(int SensorNum, int flags);
int MMC_GetSensorReading(int SensorNum, unsigned char* Reading);

// ---- SDR repository (sdrr_fun) ----
int MMC_GetSDRRepositoryInfo(unsigned char* Version, unsigned short* RecCount,
                             unsigned short* FreeSpace, unsigned long* AddTime,
                             unsigned long* EraseTime, unsigned char* OperationSupport);
int MMC_GetSDRRepositoryAllocInfo(unsigned short* NumPossAlloc, unsigned short* AllocUnitSize,
                                  unsigned short* NumFreeAllocUnits,
                                  unsigned short* LargestFreeBlock, unsigned char* MaxRecordSize);
int MMC_ReserveSDRRepository(unsigned short* Reservation);
int RetryMMC_ReserveSDRRepository(unsigned short* ReservationID);
int MMC_GetSDR(int Reservation, int RecID, int Offset, int ReadBytes, unsigned short* NextID,
               SDR* Data);
int MMC_AddSDR(SDR* RecData, unsigned short* RecID);
int MMC_PartialAddSDR(int Reservation, int RecID, int Offset, int Length, int Progress,
                      const void* Data, unsigned short* RecIDout);
int MMC_DeleteSDR(int Reservation, int RecID, unsigned short* RecIDout);
int MMC_ClearSDRRepository(int Reservation, int Flags, unsigned char* Progress);

// ---- System event log (sel_func) ----
int MMC_GetSELInfo(unsigned char* Version, unsigned short* RecCount, unsigned short* FreeSpace,
                   unsigned long* AddTime, unsigned long* EraseTime,
                   unsigned char* OperationSupport);
int MMC_GetSELAllocInfo(unsigned short* NumPossAlloc, unsigned short* AllocUnitSize,
                        unsigned short* NumFreeAllocUnits, unsigned short* LargestFreeBlock,
                        unsigned char* MaxRecordSize);
int MMC_ReserveSEL(unsigned short* Reservation);
int RetryMMC_ReserveSEL(unsigned short* ReservationID);
int MMC_GetSELEntry(int Reservation, int RecID, int Offset, int ReadBytes, unsigned short* NextID,
                    void* Data);
int MMC_AddSELEntry(SEL* RecData, unsigned short* RecID);
int MMC_PartialAddSELEntry(int Reservation, int RecID, int Offset, int Length, int Progress,
                           const void* Data, unsigned short* RecIDout);
int MMC_DeleteSELEntry(int Reservation, int RecID, unsigned short* RecIDout);
int MMC_ClearSELRepository(int Reservation, int Flags, unsigned char* Progress);
int MMC_GetSELTime(unsigned long* Time);
int MMC_SetSELTime(int Time);

// ---- FRU inventory (fru_func) ----
int MMC_GetFRUInventoryAreaInfo(unsigned short* AreaSize, unsigned char* DevAccess);
// Data must hold Count bytes.
int MMC_ReadFRUInventoryData(int Offset, int Count, unsigned char* CountReturned,
                             unsigned char* Data);
int MMC_WriteFRUInventoryData(int Offset, int Length, const unsigned char* Data,
                              unsigned char* CountWritten);

// ---- Firmware transfer (firmware) ----
int MMC_QVEnterFirmwareTransferMode(void);
int MMC_QVSetFirmwareTransferAddress(const unsigned char* Address);
int MMC_QVFirmwareProgram(int Length, const void* Data, unsigned char* Count,
                          unsigned char* Status);
int MMC_QVFirmwareRead(int Length, void* Buffer, unsigned char* Count);
int MMC_QVGetFirmwareChecksum(unsigned char* StartAddress, unsigned char* EndAddress,
                              unsigned char* Checksum, unsigned char* Block1Status,
                              unsigned char* Block2Status);
int MMC_QVExitFirmwareTransferMode(void);

// ---- Legacy I2C interface (i2c_lega); results 0, 2, 4, 8, 16, 32 ----
int I2C_OpenDevice(void);
int I2C_CloseDevice(void);
int I2C_SendMessage(int addr, const unsigned char* data, int len);
int I2C_ReceiveMessage(int addr, unsigned char* data, int len);
int I2C_RepeatStartMesg(int addr, const unsigned char* idata, int ilen, unsigned char* odata,
                        int olen);
int I2C_GetOutputShadow(int slave_addr, unsigned char* outp_data);
int I2C_Reset8584(int own_addr, int slc_clock);
int I2C_ResetBus(int own_addr, int slc_clock);
// oem_name must hold 8 bytes.
void I2C_GetDriverVersion(char* oem_name, char* version_letter, unsigned char* version_major,
                          unsigned char* version_minor);
int I2C_GetKernelDriverVersion(char* oem_name, char* version_letter,
                               unsigned char* version_major, unsigned char* version_minor);

#ifdef __cplusplus
}
#endif
