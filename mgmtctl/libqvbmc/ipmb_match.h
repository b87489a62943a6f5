// Whether a fetched IPMB answer belongs to a request: responder address and LUN, network
// function (request + 1), requester LUN, sequence number and command. The requester address is
// not compared: the message buffers do not deliver it.
#pragma once

#include <cstdint>

namespace qv::bmc {

// `image` is a 39-byte answer laid out as ImbI2cResponse, `reference` the request's first 6 bytes.
inline bool answerMatchesRequest(const uint8_t* image, const uint8_t* reference)
{
    return image[3] == reference[0] && (image[4] & 3) == (reference[1] & 3) &&
           (image[1] >> 2) == ((reference[1] >> 2) + 1) && (image[1] & 3) == (reference[4] & 3) &&
           (image[4] >> 2) == (reference[4] >> 2) && image[5] == reference[5];
}

// A broadcast request carries the broadcast address 0 ahead of the message proper.
inline const uint8_t* matchReference(const uint8_t* request)
{
    return request[0] == 0 ? request + 1 : request;
}

} // namespace qv::bmc
