#include "scsi_device_server.h"

#include <sandbox_path.h>

#include <filesystem>

namespace qv::sim::scsi {

void ScsiDeviceServer::start() {
    std::filesystem::create_directories(qv::sandboxPath("/dev"));
    std::vector<ServedNode> nodes;
    for (int sg : bus_.sgNumbers())
        nodes.push_back(devsockNode(
            qv::sandboxPath("/dev/sg" + std::to_string(sg)), [this, sg](uint32_t) { return bus_.open(sg); },
            std::function<devsock::Reply(NodeClient&, const devsock::Request&)>(
                [this, sg](NodeClient& client, const devsock::Request& request) {
                    return bus_.handle(sg, request, client.held);
                })));
    for (const auto& [path, sg] : bus_.blockNodes())
        nodes.push_back(devsockNode(
            qv::sandboxPath(path), [this, sg](uint32_t access) { return bus_.openBlock(sg, access); },
            [this, sg](const devsock::Request& request) { return bus_.handleBlock(sg, request); }));
    if (bus_.hasController())
        nodes.push_back(devsockNode(
            qv::sandboxPath("/dev/megadev0"), [](uint32_t) { return 0; },
            [this](const devsock::Request& request) { return bus_.handleController(request); }));
    server_.start(std::move(nodes));
}

} // namespace qv::sim::scsi
