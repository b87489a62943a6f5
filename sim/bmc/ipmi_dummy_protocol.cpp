#include "ipmi_dummy_protocol.h"

#include <cstring>

namespace qv::sim {

namespace {
constexpr size_t kMaxDummyData = 1024;   // far above any IPMI message; guards the buffer
}

bool serveDummyRequests(std::vector<uint8_t>& buffer,
                        const std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)>& exchange,
                        const std::function<void(const std::vector<uint8_t>&)>& send) {
    while (buffer.size() >= sizeof(DummyRequestHeader)) {
        DummyRequestHeader rq;
        std::memcpy(&rq, buffer.data(), sizeof rq);
        if (rq.netfn == kDummyGoodbyeNetFn && rq.cmd == kDummyGoodbyeCmd)
            return false;
        if (rq.dataLength > kMaxDummyData)
            return false;
        size_t total = sizeof rq + rq.dataLength;
        if (buffer.size() < total)
            return true;
        std::vector<uint8_t> message{static_cast<uint8_t>(rq.netfn << 2 | (rq.lun & 0x03)), rq.cmd};
        message.insert(message.end(), buffer.begin() + sizeof rq, buffer.begin() + static_cast<long>(total));
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(total));

        std::vector<uint8_t> frame = exchange(message);
        DummyReplyHeader rs{};
        rs.netfn = static_cast<uint8_t>(rq.netfn | 1);
        rs.cmd = rq.cmd;
        rs.lun = rq.lun;
        // the error report answer has no completion code; the standard interface always has one
        rs.completionCode = frame.size() >= 3 ? frame[2] : 0xFF;
        size_t dataLength = frame.size() > 3 ? frame.size() - 3 : 0;
        rs.dataLength = static_cast<int32_t>(dataLength);
        std::vector<uint8_t> reply(sizeof rs);
        std::memcpy(reply.data(), &rs, sizeof rs);
        if (dataLength)
            reply.insert(reply.end(), frame.begin() + 3, frame.end());
        send(reply);
    }
    return true;
}

} // namespace qv::sim
