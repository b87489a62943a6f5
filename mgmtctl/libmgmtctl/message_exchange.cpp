#include "message_exchange.h"

#include "mgmtctl.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace qv::mgmtctl {
namespace {

constexpr int kFrameHeader = 2;     // network function/LUN and command
constexpr int kLargestFrame = 255;  // the driver counts in single bytes
constexpr uint8_t kResponseBit = 0x04;

ExchangeOutcome failed(ExchangeFailure failure, int code) { return {failure, code, 0}; }

} // namespace

ExchangeOutcome exchangeMessage(uint8_t netFnLun, uint8_t command, const void* data, int dataLength,
                                void* answer, int capacity, const ExchangeRules& rules)
{
    if (data == nullptr || dataLength < 0) dataLength = 0;
    if (capacity < 0) capacity = 0;
    if (dataLength > kLargestFrame - kFrameHeader)
        return failed(ExchangeFailure::RequestTooLong, MMC_BAD_DATA);
    // Never offer the driver more than the answer buffer holds.
    const int offered = static_cast<int>(std::min<long>(capacity + long{kFrameHeader}, kLargestFrame));

    std::vector<uint8_t> request;
    std::vector<uint8_t> received;
    try {
        request.resize(kFrameHeader + dataLength);
        received.assign(offered, 0);
    } catch (const std::bad_alloc&) {
        return failed(ExchangeFailure::NoMemory, MMC_NO_MEMORY);
    }
    request[0] = netFnLun;
    request[1] = command;
    if (dataLength > 0) std::memcpy(request.data() + kFrameHeader, data, dataLength);

    const bool answerAsked = capacity > 0;
    const int neededCount = kFrameHeader + (rules.needsCompletionCode && answerAsked ? 1 : 0);
    const int fits = offered - kFrameHeader;  // what the buffer can take
    int count = 0;
    for (int retries = 0;; ++retries) {
        count = offered;  // each attempt starts from the whole buffer again
        const int result = TunnelSendReceive(request.data(), static_cast<int>(request.size()),
                                             received.data(), &count);
        if (rules.pauseAfterEachMs > 0) MMCSleep(rules.pauseAfterEachMs);
        ExchangeOutcome attempt;
        if (result != 0) {
            attempt = failed(ExchangeFailure::Driver, result);
        } else {
            if (count < neededCount) return failed(ExchangeFailure::Short, MMC_BAD_DATA);
            if (received[0] != (request[0] | kResponseBit) || received[1] != request[1])
                return failed(ExchangeFailure::NotOurAnswer, MMC_BAD_DATA);
            // An answer too long for the caller is final; its completion code is not looked at.
            const bool tooLong = answerAsked && count - kFrameHeader > std::min(capacity, fits);
            if (!tooLong && rules.completionCodeFails && answerAsked && count > kFrameHeader &&
                received[kFrameHeader] != 0)
                attempt = failed(ExchangeFailure::CompletionCode, received[kFrameHeader]);
        }
        if (attempt.failure == ExchangeFailure::None) break;
        if (retries >= rules.retries) return attempt;
        MMCSleep(rules.retryPauseMs);
    }

    ExchangeOutcome outcome;
    if (!answerAsked) return outcome;
    const int returned = count - kFrameHeader;  // completion code and data
    const int copied = std::min({capacity, returned, fits});
    if (answer) std::memcpy(answer, received.data() + kFrameHeader, copied);
    outcome.returned = returned;
    if (capacity < returned || fits < returned) {
        outcome.failure = ExchangeFailure::TooLong;
        outcome.code = MMC_BUFFER_TOO_SMALL;
    }
    return outcome;
}

} // namespace qv::mgmtctl
