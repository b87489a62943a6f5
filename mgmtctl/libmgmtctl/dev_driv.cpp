// Opening and closing the device, the message exchange with its retries, driver ports.
#include "mgmtctl.h"
#include "message_exchange.h"

#include <cstring>

namespace {

constexpr int kOpenAttempts = 1000;
constexpr int kOpenBusyPauseMs = 150;
constexpr int kExchangeRetries = 30;
constexpr int kExchangePauseMs = 100;
constexpr int kStatusPort = 3;
constexpr unsigned char kSmsDataAvailable = 0x04;

} // namespace

extern "C" int MMC_OpenDevice(void) { return TunnelOpenDriver(); }

extern "C" int MMC_CloseDevice(void) { return TunnelCloseDriver(); }

extern "C" int RetryMMC_OpenDevice(void)
{
    int result = 0;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        result = MMC_OpenDevice();
        if (result != MMC_DEVICE_BUSY) break;
        MMCSleep(kOpenBusyPauseMs);
    }
    return result;
}

// close() releases the descriptor on Linux even when it reports an error, so a retry could
// only close a descriptor that meanwhile belongs to someone else.
extern "C" int RetryMMC_CloseDevice(void) { return MMC_CloseDevice(); }

extern "C" int MMC_GetKernelDriverVersion(char* oem_name, char* version_letter,
                                          unsigned char* version_major,
                                          unsigned char* version_minor)
{
    return TunnelGetVersionNumber(oem_name, version_letter, version_major, version_minor);
}

extern "C" int MMC_GetDriverVersion(char* oem_name, char* version_letter,
                                    unsigned char* version_major, unsigned char* version_minor)
{
    static const char kName[] = "QV RZD";
    if (oem_name) std::memcpy(oem_name, kName, sizeof kName);
    if (version_letter) *version_letter = 'Q';
    if (version_major) *version_major = 0;
    if (version_minor) *version_minor = 3;
    return 0;
}

extern "C" int MMC_ReadPort(int nPort, unsigned char* pbData) { return TunnelReadPort(nPort, pbData); }

extern "C" int MMC_WritePort(int nPort, int bData) { return TunnelWritePort(nPort, bData & 0xFF); }

extern "C" int MMC_IsSMSDataAvailable(int* pnTrueFalse)
{
    if (pnTrueFalse == nullptr) return MMC_BAD_PARAMETERS;
    unsigned char status = 0;
    int result = TunnelReadPort(kStatusPort, &status);
    if (result != 0) return result;
    *pnTrueFalse = (status & kSmsDataAvailable) ? 1 : 0;
    return 0;
}

extern "C" int MMC_SendRcvMesg(int sNetFnLun, int scommand, void* smesg, int slen, void* rmesg,
                               int* rlen)
{
    if (rlen == nullptr || *rlen < 0 || slen < 0) return MMC_BAD_PARAMETERS;
    const auto outcome = qv::mgmtctl::exchangeMessage(
        static_cast<uint8_t>(sNetFnLun), static_cast<uint8_t>(scommand), smesg, smesg ? slen : 0,
        rmesg, *rlen, qv::mgmtctl::ExchangeRules{kExchangeRetries, kExchangePauseMs});
    const bool copied = outcome.failure == qv::mgmtctl::ExchangeFailure::None ||
                        outcome.failure == qv::mgmtctl::ExchangeFailure::TooLong;
    if (copied && *rlen > 0) *rlen = outcome.returned;
    return outcome.code;
}
