// Opening and closing the device, the message exchange with its retries, driver ports.
#include "mgmtctl.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int kOpenAttempts = 1000;
constexpr int kOpenBusyPauseMs = 150;
constexpr int kExchangeAttempts = 31;
constexpr int kExchangePauseMs = 100;
constexpr int kFrameHeader = 2;          // network function/LUN and command
constexpr int kLargestFrame = 255;       // the driver counts in single bytes
constexpr int kStatusPort = 3;
constexpr unsigned char kSmsDataAvailable = 0x04;
constexpr unsigned char kResponseBit = 0x04;

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
    const int capacity = *rlen;
    const int dataLength = smesg ? slen : 0;
    if (dataLength > kLargestFrame - kFrameHeader) return MMC_BAD_DATA;
    // Never offer the driver more than the answer buffer holds.
    const int offered = static_cast<int>(std::min<long>(capacity + long{kFrameHeader}, kLargestFrame));

    std::vector<unsigned char> request;
    std::vector<unsigned char> answer;
    try {
        request.resize(kFrameHeader + dataLength);
        answer.assign(offered, 0);
    } catch (const std::bad_alloc&) {
        return MMC_NO_MEMORY;
    }
    request[0] = static_cast<unsigned char>(sNetFnLun);
    request[1] = static_cast<unsigned char>(scommand);
    if (dataLength > 0) std::memcpy(request.data() + kFrameHeader, smesg, dataLength);

    int count = 0;
    int result = 0;
    for (int attempt = 1;; ++attempt) {
        count = offered;  // each attempt starts from the whole buffer again
        result = TunnelSendReceive(request.data(), static_cast<int>(request.size()), answer.data(),
                                   &count);
        if (result == 0) break;
        if (attempt == kExchangeAttempts) return result;
        MMCSleep(kExchangePauseMs);
    }

    if (count < kFrameHeader || answer[0] != (request[0] | kResponseBit) || answer[1] != request[1])
        return MMC_BAD_DATA;
    if (capacity == 0) return 0;

    const int returned = count - kFrameHeader;         // completion code and data
    const int received = offered - kFrameHeader;       // what the buffer could take
    const int copied = std::min({capacity, returned, received});
    if (rmesg) std::memcpy(rmesg, answer.data() + kFrameHeader, copied);
    *rlen = returned;
    return (capacity < returned || received < returned) ? MMC_BUFFER_TOO_SMALL : 0;
}
