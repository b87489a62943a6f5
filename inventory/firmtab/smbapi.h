// SMBAPI: DMI/SMBIOS facts as text in a caller's buffer. Every call goes through the reader
// objects of dmi_globals.h, set up by InitializeDll. Not reentrant.
//
// The server serial number (GetQVSerialNumber, serial_number.h) reads the tables through
// SMBAPI_GetQVSerialNumber.
#pragma once

constexpr int ERR_INDEX_OUT_OF_RANGE = 0x100010;
constexpr int ERR_BUFFER_TOO_SMALL = 0x100012;
constexpr int ERR_INVALID_PARAMETER = 0x100016;
constexpr int ERR_DMI_NOT_PRESENT = 0x100501;

extern "C" {

// Common check of every buffer call: null buffer, length clamp, table present, module index.
int SMBAPI_CheckParam(char* buffer, int* length, int moduleCall, int* index);

int SMBAPI_GetSystemVersion(char* buffer, int length);
int SMBAPI_GetComputerName(char* buffer, int length);
int SMBAPI_GetBiosVersion(char* buffer, int length);
int SMBAPI_GetQVSerialNumber(char* buffer, int length);
int SMBAPI_GetSerialNumber(char* buffer, int length);
int SMBAPI_GetVideoBiosVersion(char* buffer, int length);
int SMBAPI_GetSCSIBiosVersion(char* buffer, int length);
int SMBAPI_GetSystemModel(char* buffer, int length);
int SMBAPI_GetMaxModSize(char* buffer, int length);
int SMBAPI_GetMemNumSlots(char* buffer, int length);
int SMBAPI_GetMemErrMethod(char* buffer, int length);
int SMBAPI_GetMemInterleave(char* buffer, int length);
int SMBAPI_GetMemECCTypes(char* buffer, int length);
int SMBAPI_GetMemVoltage(char* buffer, int length);
int SMBAPI_GetMemSpeed(char* buffer, int length);
int SMBAPI_GetMemTypes(char* buffer, int length);
int SMBAPI_GetProcessorType(char* buffer, int length);
int SMBAPI_GetHardwareSecuritySettings(char* buffer, int length);
int SMBAPI_GetMemModSocket(int index, char* buffer, int length);
int SMBAPI_GetModBankConnect(int index, char* buffer, int length);
int SMBAPI_GetModSpeed(int index, char* buffer, int length);
int SMBAPI_GetModType(int index, char* buffer, int length);
int SMBAPI_GetModInstalledSize(int index, char* buffer, int length);
int SMBAPI_GetModEnabledSize(int index, char* buffer, int length);
int SMBAPI_GetProcessorSpeed(int index, char* buffer, int length);
int SMBAPI_GetProcessorStepping(int index, char* buffer, int length);
int SMBAPI_GetProcessorVersion(int index, char* buffer, int length);
int SMBAPI_GetTotalMemSize(char* buffer, int length);
int SMBAPI_GetSysPwrOnPass(char* buffer, int length);
int SMBAPI_GetkbPassStatus(char* buffer, int length);
int SMBAPI_GetNumberOfMemMod();
int SMBAPI_GetTotalNumberOfProcessors();

} // extern "C"
