// The device socket framing: both decoders on arbitrary messages; what decodes re-encodes to
// the same bytes.
#include "devsock.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::devsock::Request request;
    if (qv::devsock::decodeRequest(data, size, request)) {
        const auto again = qv::devsock::encodeRequest(request);
        if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
    }
    qv::devsock::Reply reply;
    if (qv::devsock::decodeReply(data, size, reply)) {
        const auto again = qv::devsock::encodeReply(reply);
        if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
    }
    return 0;
}
