// Serves the simulator's sockets on one thread: device nodes (SOCK_SEQPACKET, devsock framing)
// and any stream socket a stand-in protocol needs. Each node answers through its own handler.
#pragma once

#include <devsock.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qv::sim {

struct NodeClient {
    bool opened = false;          // a devsock node: the client's open succeeded
    std::vector<uint8_t> buffer;  // a stream: bytes not yet forming a whole request
    std::vector<uint8_t> held;    // a devsock node: an answer waiting for the client's read
};

using NodeSend = std::function<bool(const std::vector<uint8_t>&)>;
// Handles one received message (or stream chunk); false drops the client.
using NodeReceive = std::function<bool(NodeClient& client, const uint8_t* data, size_t length,
                                       const NodeSend& send)>;

struct ServedNode {
    std::string path;   // already resolved below the sandbox root
    int type = 0;       // SOCK_SEQPACKET or SOCK_STREAM
    NodeReceive receive;
};

// A device node in devsock framing: kOpen asks `open` with the access asked (devsock kOpenRead,
// kOpenWrite bits; 0 or the errno of a refused open), every other request is answered by `ioctl`
// once the client has opened the node, else with EBADF.
ServedNode devsockNode(std::string path, std::function<int(uint32_t access)> open,
                       std::function<devsock::Reply(const devsock::Request&)> ioctl);
// The same for a node whose answers depend on the client (a write whose answer the client reads).
ServedNode devsockNode(std::string path, std::function<int(uint32_t access)> open,
                       std::function<devsock::Reply(NodeClient&, const devsock::Request&)> request);

class NodeServer {
public:
    NodeServer() = default;
    ~NodeServer() { stop(); }
    NodeServer(const NodeServer&) = delete;
    NodeServer& operator=(const NodeServer&) = delete;

    // Creates the nodes and starts serving. Throws on failure (nothing is left served).
    void start(std::vector<ServedNode> nodes);
    // Stops serving and removes the nodes.
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    void loop();

    std::vector<ServedNode> nodes_;
    std::vector<int> listeners_;   // one per node, same order
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::thread thread_;
};

} // namespace qv::sim
