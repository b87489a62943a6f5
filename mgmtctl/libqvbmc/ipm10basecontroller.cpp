#include "ipm10basecontroller.h"

#include "command_table.h"
#include "ipmb_match.h"
#include "ipmexception.h"
#include "mgmtctl.h"
#include "send_lock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kMatchAttempts = 10;
constexpr size_t kMessageBytes = sizeof(MMC_Q_SEND_MESSAGE::messageBytes);
} // namespace

void CIPM10BaseController::SendReceiveExternalIPMIMessage(ImbI2cRequest request,
                                                          int nRequestLength,
                                                          ImbI2cResponse* pResponse,
                                                          int* pnResponseLength)
{
    const std::string fn = function("SendReceiveExternalIPMIMessage");
    checkExternalLengths(fn, nRequestLength, true, pResponse, pnResponseLength);
    if (request.rsSA == 0x20) {
        SendReceiveIPMIMessage(request, nRequestLength, pResponse, pnResponseLength);
        return;
    }
    qv::bmc::checkBridgedRequestFits(fn, nRequestLength);
    static_assert(qv::bmc::kCommandDataLengthMaximum - 1 <= static_cast<int>(kMessageBytes));

    const uint8_t* requestBytes = reinterpret_cast<const uint8_t*>(&request);
    const uint8_t* reference = qv::bmc::matchReference(requestBytes);

    MMC_SEND_MESSAGE_REQUEST send;
    memset(&send, 0, sizeof send);
    send.bVersion = 10;
    send.bRequestLength = static_cast<UINT8>(nRequestLength + 1);
    send.Ver10.channelNumber = 0;
    memcpy(send.Ver10.messageBytes, requestBytes, static_cast<size_t>(nRequestLength));

    qv::bmc::SendLock lock;
    uint8_t image[sizeof(ImbI2cResponse)] = {};
    int messageLength = 0;
    for (int retries = 0;; ++retries) {
        bool final = false;
        try {
            SendMessage(send);
            MMCSleep(m_nPreSMSDataCheckSleep);
            for (int mismatches = 0;;) {
                for (int polls = 0; polls < m_nSMSDataRetryMaximum;) {
                    if (GetMessageFlags().Ver10.flags & 0x01) break;
                    MMCSleep(m_nSMSDataRetrySleepInterval);
                    if (++polls >= m_nSMSDataRetryMaximum) {
                        final = true;
                        throw new CIPMException(
                            IPMAPI_ERROR_NO_RESPONSE, fn.c_str(),
                            "if ( nGetMessageFlagsRetries >= m_nSMSDataRetryMaximum )",
                            "SMS data not available");
                    }
                }
                const MMC_GET_MESSAGE_RESPONSE message = GetMessage();
                // bResponseLength counts the completion code and channel ahead of the message.
                messageLength = std::clamp(message.bResponseLength - 2, 0,
                                           static_cast<int>(kMessageBytes));
                memset(image, 0, sizeof image);
                memcpy(image + 1, message.Ver10.messageBytes, static_cast<size_t>(messageLength));
                if (qv::bmc::answerMatchesRequest(image, reference)) break;
                MMCSleep(m_nSMSDataRetrySleepInterval);
                if (++mismatches >= kMatchAttempts) {
                    final = true;
                    throw new CIPMException(IPMAPI_ERROR_NO_RESPONSE, fn.c_str(),
                                            "if ( nGetMatchedMessageRetries )",
                                            "No response match the request after 10 tries");
                }
            }
            if (image[6] != 0) {
                char text[64];
                snprintf(text, sizeof text, "Command 0x%.2x returned from GetMessage",
                         request.command);
                const std::string message = qv::bmc::completionCodeMessage(image[6]);
                throw new CIPMException(IPMAPI_ERROR_COMPLETION_CODE | image[6], fn.c_str(), text,
                                        message.c_str());
            }
            break;
        } catch (CIPMException* e) {
            if (final || retries >= m_nIPMICommandRetryMaximum) throw;
            MMCSleep(m_nIPMICommandRetrySleepInterval);
        }
    }

    if (pnResponseLength && *pnResponseLength > 0) {
        if (messageLength + 1 > *pnResponseLength)
            qv::bmc::throwBadArgument(fn, "if ( nResponseLength > *pnResponseLength )",
                                      "Response buffer length insufficient to store response");
        *pnResponseLength = messageLength + 1;
        memcpy(reinterpret_cast<uint8_t*>(pResponse) + 1, image + 1,
               static_cast<size_t>(messageLength));
    }
}
