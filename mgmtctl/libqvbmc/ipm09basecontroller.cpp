#include "ipm09basecontroller.h"

#include "command_table.h"
#include "ipmb_match.h"
#include "ipmexception.h"
#include "mgmtctl.h"
#include "send_lock.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr int kMatchAttempts = 10;
constexpr int kImageDataBytes = static_cast<int>(sizeof(ImbI2cResponse)) - 1;
} // namespace

void CIPM09BaseController::SendReceiveExternalIPMIMessage(ImbI2cRequest request,
                                                          int nRequestLength,
                                                          ImbI2cResponse* pResponse,
                                                          int* pnResponseLength)
{
    const std::string fn = function("SendReceiveExternalIPMIMessage");
    // The request is copied onto the bus from the 39-byte message, so longer lengths are refused.
    checkExternalLengths(fn, nRequestLength, true, pResponse, pnResponseLength);
    if (request.rsSA == 0x20) {
        SendReceiveIPMIMessage(request, nRequestLength, pResponse, pnResponseLength);
        return;
    }
    qv::bmc::checkBridgedRequestFits(fn, nRequestLength);
    const bool wantResponse = pnResponseLength && *pnResponseLength >= 1;
    int received = 0;
    for (int retries = 0;; ++retries) {
        try {
            if (wantResponse) {
                received = *pnResponseLength;
                MasterWriteI2CAndReadSMSMessageBuffer(request, nRequestLength, pResponse, &received);
                if (pResponse->cmdData[0] != 0) {
                    char text[96];
                    snprintf(text, sizeof text,
                             "Command 0x%.2x returned from MasterWriteI2CAndReadSMSMessageBuffer",
                             request.command);
                    const std::string message =
                        qv::bmc::completionCodeMessage(pResponse->cmdData[0]);
                    throw new CIPMException(IPMAPI_ERROR_COMPLETION_CODE | pResponse->cmdData[0],
                                            fn.c_str(), text, message.c_str());
                }
            } else {
                MasterWriteI2CAndReadSMSMessageBuffer(request, nRequestLength, nullptr, nullptr);
            }
            break;
        } catch (CIPMException* e) {
            if (retries >= m_nIPMICommandRetryMaximum) throw;
            MMCSleep(m_nIPMICommandRetrySleepInterval);
        }
    }
    if (wantResponse) *pnResponseLength = received;
}

void CIPM09BaseController::MasterWriteI2CAndReadSMSMessageBuffer(ImbI2cRequest request,
                                                                 int nRequestLength,
                                                                 ImbI2cResponse* pResponse,
                                                                 int* pnResponseLength)
{
    const std::string fn = function("MasterWriteI2CAndReadSMSMessageBuffer");
    checkExternalLengths(fn, nRequestLength, true, pResponse, pnResponseLength);

    if (int rc = RetryMMC_OpenDevice(); rc != 0)
        ThrowCCException(static_cast<unsigned>(rc), fn.c_str(), "RetryMMC_OpenDevice");
    qv::bmc::SendLock lock = [&]() -> qv::bmc::SendLock {
        try {
            return {};
        } catch (CIPMException*) {
            MMC_CloseDevice();
            throw;
        }
    }();
    // Every failure below closes the device (ThrowCCException) and the lock goes with the scope.
    const uint8_t* requestBytes = reinterpret_cast<const uint8_t*>(&request);
    if (int rc = MMC_MasterWriteI2C(0, request.rsSA, requestBytes + 1, nRequestLength - 1); rc != 0)
        ThrowCCException(static_cast<unsigned>(rc), fn.c_str(), "MMC_MasterWriteI2C");
    if (!pnResponseLength || *pnResponseLength <= 0) {
        lock.release();
        RetryMMC_CloseDevice();
        return;
    }

    const uint8_t* reference = qv::bmc::matchReference(requestBytes);
    uint8_t image[sizeof(ImbI2cResponse)] = {};
    unsigned char length = 0;
    MMCSleep(m_nPreSMSDataCheckSleep);
    for (int mismatches = 0;;) {
        for (int polls = 0;; ++polls) {
            int available = 0;
            if (MMC_IsSMSDataAvailable(&available) == 0 && available) break;
            MMCSleep(m_nSMSDataRetrySleepInterval);
            if (polls > m_nSMSDataRetryMaximum) {
                MMC_CloseDevice();
                throw new CIPMException(IPMAPI_ERROR_NO_RESPONSE, fn.c_str(),
                                        "if ( nSMSDataRetryCount > m_nSMSDataRetryMaximum )",
                                        "SMS data not available");
            }
        }
        unsigned char buffer[256] = {};
        length = static_cast<unsigned char>((*pnResponseLength + 1) % 256);
        if (int rc = MMC_ReadSMSMessageBuffer(buffer, &length); rc != 0)
            ThrowCCException(static_cast<unsigned>(rc), fn.c_str(), "MMC_ReadSMSMessageBuffer");
        // Only what fits the 39-byte message after its address byte can be matched or returned.
        if (length > kImageDataBytes) {
            MMC_CloseDevice();
            throw new CIPMException(IPMAPI_ERROR_RESPONSE_TOO_LONG, fn.c_str(),
                                    "if ( bSMSDataLength >= *pnResponseLength )",
                                    "Insufficient space to store SMS Message Buffer");
        }
        memset(image, 0, sizeof image);
        memcpy(image + 1, buffer, length);
        if (qv::bmc::answerMatchesRequest(image, reference)) break;
        MMCSleep(m_nSMSDataRetrySleepInterval);
        if (++mismatches >= kMatchAttempts) {
            MMC_CloseDevice();
            throw new CIPMException(IPMAPI_ERROR_NO_RESPONSE, fn.c_str(),
                                    "if ( nGetMatchedMessageRetries )",
                                    "No response match the request after 10 tries");
        }
    }
    lock.release();
    RetryMMC_CloseDevice();
    if (length >= *pnResponseLength)
        throw new CIPMException(IPMAPI_ERROR_RESPONSE_TOO_LONG, fn.c_str(),
                                "if ( bSMSDataLength >= *pnResponseLength )",
                                "Insufficient space to store SMS Message Buffer");
    *pnResponseLength = length + 1;
    memcpy(reinterpret_cast<uint8_t*>(pResponse) + 1, image + 1, length);
}
