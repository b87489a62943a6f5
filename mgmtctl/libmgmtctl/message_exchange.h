// The one exchange of a controller message through the driver tunnel: framing, retries, the
// length checks and the check that the answer echoes the request's network function and command.
// The library's MMC_SendRcvMesg and the IPMI object library's direct exchange both stand on it;
// where their rules differ, the caller passes them in ExchangeRules. The device is opened and
// closed by the caller.
#pragma once

#include <cstdint>

namespace qv::mgmtctl {

struct ExchangeRules {
    int retries = 30;                  // further attempts after a failed one
    int retryPauseMs = 100;            // pause before each retry
    int pauseAfterEachMs = 0;          // pause after every driver exchange, failed or not
    bool completionCodeFails = false;  // a non-zero completion code fails the attempt (retried)
    bool needsCompletionCode = false;  // an asked-for answer without its completion code is short
};

enum class ExchangeFailure {
    None,
    Driver,          // the tunnel failed on every attempt; code = its result
    CompletionCode,  // the controller refused on every attempt; code = the completion code
    Short,           // the answer lacks its header (or its completion code); code = 262
    NotOurAnswer,    // the answer does not echo the request; code = 262
    TooLong,         // more bytes than the capacity; the first `capacity` were copied; code = 263
    RequestTooLong,  // the frame does not fit the driver's count; nothing sent; code = 262
    NoMemory,        // code = 260
};

struct ExchangeOutcome {
    ExchangeFailure failure = ExchangeFailure::None;
    int code = 0;      // 0 on success, else as the failure says
    int returned = 0;  // completion code and data bytes the controller returned
};

// Sends frame (netFnLun, command, data) and copies up to `capacity` bytes of the answer,
// completion code first, to `answer` (which may be null when nothing is to be kept). A capacity
// of 0 asks for no answer bytes; the answer's header is still checked.
ExchangeOutcome exchangeMessage(uint8_t netFnLun, uint8_t command, const void* data, int dataLength,
                                void* answer, int capacity, const ExchangeRules& rules);

} // namespace qv::mgmtctl
