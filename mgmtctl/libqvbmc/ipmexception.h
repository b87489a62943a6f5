// The exception object every class of the library throws, the library's error codes and its
// debug switches. The library owns each exception: constructing one deletes the previous one,
// so catchers never delete what they catch.
#pragma once

#include "qvbmc_records.h"

#include <string>

class CIPMExceptionExport {
public:
    virtual unsigned int GetErrorCode() = 0;
    virtual char* GetCurrentFunction() = 0;
    virtual char* GetFailedInstruction() = 0;
    virtual char* GetErrorMessage() = 0;
    virtual unsigned char* GetExtraData() = 0;
    virtual int GetExtraDataLength() = 0;
    virtual char* GetFormattedOutput(char* pszTitle) = 0;
};

class CIPMException : public CIPMExceptionExport {
public:
    CIPMException();
    CIPMException(CIPMException& other);
    explicit CIPMException(unsigned int nErrorCode);
    explicit CIPMException(const char* pszErrorMessage);
    CIPMException(unsigned int nErrorCode, const char* pszErrorMessage);
    CIPMException(const char* pszCurrentFunction, const char* pszFailedInstruction,
                  const char* pszErrorMessage);
    CIPMException(unsigned int nErrorCode, const char* pszCurrentFunction,
                  const char* pszFailedInstruction, const char* pszErrorMessage);
    CIPMException(const unsigned char* pExtraData, int nExtraDataLength);
    CIPMException(unsigned int nErrorCode, const unsigned char* pExtraData, int nExtraDataLength);
    CIPMException(const char* pszCurrentFunction, const char* pszFailedInstruction,
                  const char* pszErrorMessage, const unsigned char* pExtraData,
                  int nExtraDataLength);
    CIPMException(unsigned int nErrorCode, const char* pszCurrentFunction,
                  const char* pszFailedInstruction, const char* pszErrorMessage,
                  const unsigned char* pExtraData, int nExtraDataLength);
    CIPMException& operator=(const CIPMException&) = delete;

    unsigned int GetErrorCode() override;
    char* GetCurrentFunction() override;
    char* GetFailedInstruction() override;
    char* GetErrorMessage() override;
    unsigned char* GetExtraData() override;
    int GetExtraDataLength() override;
    char* GetFormattedOutput(char* pszTitle) override;
    virtual ~CIPMException();

private:
    void fill(unsigned int code, const char* function, const char* instruction,
              const char* message, const unsigned char* extra, int extraLength);
    void becomeCurrent();

    unsigned int m_nErrorCode = 0;
    char* m_pszCurrentFunction = nullptr;
    char* m_pszFailedInstruction = nullptr;
    char* m_pszErrorMessage = nullptr;
    unsigned char* m_pExtraData = nullptr;
    int m_nExtraDataLength = 0;
    char* m_pszFormattedOutput = nullptr;
};

// Error codes (0 is success; every failure is at least 0x10000).
enum : unsigned int {
    IPMAPI_ERROR_BAD_ARGUMENT = 0xA0010000,
    IPMAPI_ERROR_COMPLETION_CODE = 0xA0020000,
    IPMAPI_ERROR_NO_RESPONSE = 0xA0030000,
    IPMAPI_ERROR_RESPONSE_TOO_LONG = 0xA0040000,
    IPMAPI_ERROR_CHECKSUM = 0xA0050000,
    IPMAPI_ERROR_RESPONDER_ADDRESS = 0xA0060000,
    IPMAPI_ERROR_RESPONDER_LUN = 0xA0070000,
    IPMAPI_ERROR_NET_FUNCTION = 0xA0080000,
    IPMAPI_ERROR_REQUESTER_ADDRESS = 0xA0090000,
    IPMAPI_ERROR_REQUESTER_LUN = 0xA00A0000,
    IPMAPI_ERROR_SEQUENCE = 0xA00B0000,
    IPMAPI_ERROR_COMMAND = 0xA00C0000,
    IPMAPI_ERROR_NO_PATH = 0xA00D0000,
    IPMAPI_ERROR_FRU_HEADER = 0xA00E0000,
    IPMAPI_ERROR_FRU_CHECKSUM = 0xA00F0000,
    IPMAPI_ERROR_FRU_STRUCTURE = 0xA0100000,
    IPMAPI_ERROR_FRU_INCOMPLETE = 0xA0110000,
    IPMAPI_ERROR_WRONG_VERSION = 0xA0120000,
    IPMAPI_ERROR_SHORT_RESPONSE = 0xA0130000,
    IPMAPI_ERROR_FACTOR_M_ZERO = 0xA0140000,
    IPMAPI_ERROR_OUT_OF_RAW_RANGE = 0xA0150000,
    IPMAPI_ERROR_THRESHOLD_ACCESS = 0xA0160000,
    IPMAPI_ERROR_UNSUPPORTED_SENSOR = 0xA0170000,
    IPMAPI_ERROR_RECORD_TYPE = 0xA0190000,
    IPMAPI_ERROR_SCANNING_DISABLED = 0xA01A0000,
    IPMAPI_ERROR_NON_LINEAR = 0xA01B0000,
    IPMAPI_ERROR_NO_THRESHOLDS = 0xA01C0000,
    IPMAPI_ERROR_SEMAPHORE_OPEN = 0xA01D0000,
    IPMAPI_ERROR_EXTERNAL_MESSAGE = 0xA01E0000,
    IPMAPI_ERROR_SEMAPHORE_TIMEOUT = 0xA01F0000,
    IPMAPI_ERROR_SEMAPHORE_RELEASE = 0xA0200000,
    IPMAPI_ERROR_NOT_SUPPORTED = 0xAFFF0000,
};

extern "C" {
extern int g_nIPMAPIDebugMode;
extern int g_nIPMAPIDebugLoggingLevel;
extern CIPMException* g_pGlobalIPMException;

void CleanupAPI();
void SetAPIDebugMode(int nDebugMode);
int GetAPIDebugMode();
void SetAPIDebugLoggingLevel(int nLoggingLevel);
int GetAPIDebugLoggingLevel();
void DbgPrint(int nDebugMode, int nLoggingLevel, const char* pszFormat, ...)
    __attribute__((format(printf, 3, 4)));
char* DumpBytes(unsigned char* pbData, int nLength);
}

namespace qv::bmc {

// "%s (0x%.4x)" for a result or completion code of the error table, else "Unknown Error (0x%.4x)".
std::string completionCodeMessage(unsigned int code);

} // namespace qv::bmc
