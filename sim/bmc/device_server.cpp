#include "device_server.h"

#include "ipmi_dummy_protocol.h"

#include <sys/socket.h>

namespace qv::sim {

void DeviceServer::start(const std::string& devicePath, const std::string& dummyPath) {
    std::vector<ServedNode> nodes{devsockNode(
        devicePath, [this](uint32_t) { return state_.open(); },
        [this](const devsock::Request& request) { return state_.ioctl(request); })};
    if (!dummyPath.empty()) {
        auto receive = [this](NodeClient& client, const uint8_t* data, size_t length, const NodeSend& send) {
            client.buffer.insert(client.buffer.end(), data, data + length);
            return serveDummyRequests(client.buffer, [this](const Bytes& m) { return state_.standardMessage(m); },
                                      [&send](const Bytes& reply) { send(reply); });
        };
        nodes.push_back({dummyPath, SOCK_STREAM, receive});
    }
    server_.start(std::move(nodes));
}

} // namespace qv::sim
