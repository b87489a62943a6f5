#include "ipmexception.h"

#include "mgmtctl.h"

#include <algorithm>
#include <cstdarg>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
int g_nIPMAPIDebugMode = 0;
int g_nIPMAPIDebugLoggingLevel = 0;
CIPMException* g_pGlobalIPMException = nullptr;
}

namespace {

char* g_pszDumpBuffer = nullptr;

char* copyText(const char* text)
{
    return text ? strdup(text) : nullptr;
}

struct ErrorText {
    unsigned int code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {0x100, "MMC: Device Driver Failure"},
    {0x101, "MMC: Device Driver Time Out"},
    {0x102, "MMC: Device Driver Already in Use"},
    {0x103, "MMC: No Hardware Found During Driver Open"},
    {0x104, "MMC: Unable to Allocate Space for Buffers"},
    {0x105, "MMC: Parameters Incorrectly Loaded"},
    {0x106, "MMC: Device Driver Returned Bad Data"},
    {0x107, "MMC: Output Buffer Too Small "},
    {0x01, "Lost Arbitration"},
    {0x02, "Bus Error"},
    {0x03, "Write Not Acknowledged"},
    {0x04, "Read Truncated"},
    {0x05, "Slave Address Not Acknowledged"},
    {0xC0, "Node Busy"},
    {0xC1, "Invalid Command"},
    {0xC2, "Invalid Command For Given LUN"},
    {0xC3, "Time-out While Processing Command"},
    {0xC4, "Out of Space"},
    {0xC5, "Reservation Cancelled"},
    {0xC6, "Request Data Truncated"},
    {0xC7, "Request Data Length Invalid"},
    {0xC8, "Request Data Field Length Limit Exceeded"},
    {0xC9, "Parameter Out Of Range"},
    {0xCA, "Returned Data (Read) Truncated"},
    {0xCB, "Requested Sensor Not Found"},
    {0xCC, "Invalid Data Field In Request"},
    {0xCD, "Illegal Command For Sensor Or Record Type"},
    {0xCE, "Command Response Could Not Be Provided"},
    {0xFF, "Unspecified Error"},
    {0x7B, "Access To I2C Bus Disabled"},
    {0x7C, "SDR Or SEL Pointers Initialized"},
    {0x7E, "Command Supported But Not Implemented"},
};
static_assert(std::size(kErrorTexts) == 32);

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) vsnprintf(out.data(), out.size() + 1, fmt, args);
    va_end(args);
    return out;
}

} // namespace

namespace qv::bmc {

std::string completionCodeMessage(unsigned int code)
{
    for (const auto& row : kErrorTexts)
        if (row.code == code) return format("%s (0x%.4x)", row.text, code);
    return format("Unknown Error (0x%.4x)", code);
}

} // namespace qv::bmc

// ---- CIPMException ----

void CIPMException::fill(unsigned int code, const char* function, const char* instruction,
                         const char* message, const unsigned char* extra, int extraLength)
{
    m_nErrorCode = code;
    m_pszCurrentFunction = copyText(function);
    m_pszFailedInstruction = copyText(instruction);
    m_pszErrorMessage = copyText(message);
    if (extra && extraLength > 0) {
        m_pExtraData = static_cast<unsigned char*>(malloc(static_cast<size_t>(extraLength)));
        if (m_pExtraData) {
            memcpy(m_pExtraData, extra, static_cast<size_t>(extraLength));
            m_nExtraDataLength = extraLength;
        }
    }
}

// Called last in every constructor, so that copying from the current exception is complete
// before that exception goes away.
void CIPMException::becomeCurrent()
{
    if (g_pGlobalIPMException && g_pGlobalIPMException != this) delete g_pGlobalIPMException;
    g_pGlobalIPMException = this;
}

CIPMException::CIPMException() { becomeCurrent(); }

CIPMException::CIPMException(CIPMException& other)
{
    fill(other.m_nErrorCode, other.m_pszCurrentFunction, other.m_pszFailedInstruction,
         other.m_pszErrorMessage, other.m_pExtraData, other.m_nExtraDataLength);
    m_pszFormattedOutput = copyText(other.m_pszFormattedOutput);
    becomeCurrent();
}

CIPMException::CIPMException(unsigned int nErrorCode)
{
    fill(nErrorCode, nullptr, nullptr, nullptr, nullptr, 0);
    becomeCurrent();
}

CIPMException::CIPMException(const char* pszErrorMessage)
{
    fill(0, nullptr, nullptr, pszErrorMessage, nullptr, 0);
    becomeCurrent();
}

CIPMException::CIPMException(unsigned int nErrorCode, const char* pszErrorMessage)
{
    fill(nErrorCode, nullptr, nullptr, pszErrorMessage, nullptr, 0);
    becomeCurrent();
}

CIPMException::CIPMException(const char* pszCurrentFunction, const char* pszFailedInstruction,
                             const char* pszErrorMessage)
{
    fill(0, pszCurrentFunction, pszFailedInstruction, pszErrorMessage, nullptr, 0);
    becomeCurrent();
}

CIPMException::CIPMException(unsigned int nErrorCode, const char* pszCurrentFunction,
                             const char* pszFailedInstruction, const char* pszErrorMessage)
{
    fill(nErrorCode, pszCurrentFunction, pszFailedInstruction, pszErrorMessage, nullptr, 0);
    becomeCurrent();
}

CIPMException::CIPMException(const unsigned char* pExtraData, int nExtraDataLength)
{
    fill(0, nullptr, nullptr, nullptr, pExtraData, nExtraDataLength);
    becomeCurrent();
}

CIPMException::CIPMException(unsigned int nErrorCode, const unsigned char* pExtraData,
                             int nExtraDataLength)
{
    fill(nErrorCode, nullptr, nullptr, nullptr, pExtraData, nExtraDataLength);
    becomeCurrent();
}

CIPMException::CIPMException(const char* pszCurrentFunction, const char* pszFailedInstruction,
                             const char* pszErrorMessage, const unsigned char* pExtraData,
                             int nExtraDataLength)
{
    fill(0, pszCurrentFunction, pszFailedInstruction, pszErrorMessage, pExtraData,
         nExtraDataLength);
    becomeCurrent();
}

CIPMException::CIPMException(unsigned int nErrorCode, const char* pszCurrentFunction,
                             const char* pszFailedInstruction, const char* pszErrorMessage,
                             const unsigned char* pExtraData, int nExtraDataLength)
{
    fill(nErrorCode, pszCurrentFunction, pszFailedInstruction, pszErrorMessage, pExtraData,
         nExtraDataLength);
    becomeCurrent();
}

CIPMException::~CIPMException()
{
    free(m_pszCurrentFunction);
    free(m_pszFailedInstruction);
    free(m_pszErrorMessage);
    free(m_pExtraData);
    free(m_pszFormattedOutput);
}

unsigned int CIPMException::GetErrorCode() { return m_nErrorCode; }
char* CIPMException::GetCurrentFunction() { return m_pszCurrentFunction; }
char* CIPMException::GetFailedInstruction() { return m_pszFailedInstruction; }
char* CIPMException::GetErrorMessage() { return m_pszErrorMessage; }
unsigned char* CIPMException::GetExtraData() { return m_pExtraData; }
int CIPMException::GetExtraDataLength() { return m_nExtraDataLength; }

char* CIPMException::GetFormattedOutput(char* pszTitle)
{
    if (m_pszFormattedOutput && !pszTitle) return m_pszFormattedOutput;

    const std::string banner = std::string(78, '>') + "\n";
    std::string out = banner;
    if (pszTitle)
        out += format(">>  %s\n", std::string(pszTitle).substr(0, 78).c_str());
    else
        out += ">>  IPMAPI Exception!\n";
    out += ">>\n";
    if (m_nErrorCode != 0)
        out += format(">>  Error Code:          %lu (0x%.8lx)\n",
                      static_cast<unsigned long>(m_nErrorCode),
                      static_cast<unsigned long>(m_nErrorCode));
    if (m_pszCurrentFunction) out += format(">>  Current Function:    %s\n", m_pszCurrentFunction);
    if (m_pszFailedInstruction)
        out += format(">>  Failed Instruction:  %s\n", m_pszFailedInstruction);
    if (m_pszErrorMessage) out += format(">>  Error Message:       %s\n", m_pszErrorMessage);
    if (m_pExtraData && m_nExtraDataLength > 0) {
        out += ">>\n>>  Extra Data:\n>>\n";
        for (int offset = 0; offset < m_nExtraDataLength; offset += 16) {
            const int count = std::min(16, m_nExtraDataLength - offset);
            out += format(">>  %.4x: ", offset);
            for (int i = 0; i < 16; ++i) {
                if (i == 8) out += "  ";
                out += i < count ? format("%.2x ", m_pExtraData[offset + i]) : "   ";
            }
            out += "  ";
            for (int i = 0; i < count; ++i) {
                unsigned char c = m_pExtraData[offset + i];
                out += (c >= 32 && c <= 126) ? static_cast<char>(c) : '.';
            }
            out += "\n";
        }
    }
    out += banner;

    free(m_pszFormattedOutput);
    m_pszFormattedOutput = strdup(out.c_str());
    return m_pszFormattedOutput;
}

// ---- Library-wide functions ----

extern "C" void CleanupAPI()
{
    if (g_pGlobalIPMException) {
        CIPMException* current = g_pGlobalIPMException;
        g_pGlobalIPMException = nullptr;
        delete current;
    }
    DumpBytes(nullptr, 0);
}

extern "C" void SetAPIDebugMode(int nDebugMode) { g_nIPMAPIDebugMode = nDebugMode; }
extern "C" int GetAPIDebugMode() { return g_nIPMAPIDebugMode; }
extern "C" void SetAPIDebugLoggingLevel(int nLoggingLevel)
{
    g_nIPMAPIDebugLoggingLevel = nLoggingLevel;
}
extern "C" int GetAPIDebugLoggingLevel() { return g_nIPMAPIDebugLoggingLevel; }

extern "C" void DbgPrint(int nDebugMode, int nLoggingLevel, const char* pszFormat, ...)
{
    if (g_nIPMAPIDebugMode < nDebugMode || !pszFormat) return;
    const bool toStdout = nLoggingLevel == 1 || nLoggingLevel == 3;
    const bool toFile = nLoggingLevel == 2 || nLoggingLevel == 3;
    if (!toStdout && !toFile) return;

    va_list args;
    va_start(args, pszFormat);
    int n = vsnprintf(nullptr, 0, pszFormat, args);
    va_end(args);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) {
        va_start(args, pszFormat);
        vsnprintf(text.data(), text.size() + 1, pszFormat, args);
        va_end(args);
    }

    if (toStdout) {
        fputs(text.c_str(), stdout);
        fflush(stdout);
    }
    if (toFile) {
        // The debug file sits in the working directory, as the debug switch documents.
        for (int attempt = 0; attempt < 6; ++attempt) {
            if (FILE* file = fopen("qvbmc.out", "a")) {
                fputs(text.c_str(), file);
                fflush(file);
                fclose(file);
                return;
            }
            MMCSleep(100);
        }
    }
}

extern "C" char* DumpBytes(unsigned char* pbData, int nLength)
{
    free(g_pszDumpBuffer);
    g_pszDumpBuffer = nullptr;
    if (!pbData) return const_cast<char*>("NULL");
    const size_t length = nLength < 0 ? 0 : static_cast<size_t>(nLength);
    g_pszDumpBuffer = static_cast<char*>(malloc(3 * length + 1));
    if (!g_pszDumpBuffer) return const_cast<char*>("NULL");
    for (size_t i = 0; i < length; ++i) snprintf(g_pszDumpBuffer + 3 * i, 4, "%.2x ", pbData[i]);
    g_pszDumpBuffer[3 * length] = '\0';
    return g_pszDumpBuffer;
}
