#include "node_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

namespace qv::sim {

ServedNode devsockNode(std::string path, std::function<int(uint32_t access)> open,
                       std::function<devsock::Reply(const devsock::Request&)> ioctl) {
    return devsockNode(std::move(path), std::move(open),
                       std::function<devsock::Reply(NodeClient&, const devsock::Request&)>(
                           [ioctl = std::move(ioctl)](NodeClient&, const devsock::Request& request) {
                               return ioctl(request);
                           }));
}

ServedNode devsockNode(std::string path, std::function<int(uint32_t access)> open,
                       std::function<devsock::Reply(NodeClient&, const devsock::Request&)> ioctl) {
    auto receive = [open = std::move(open), ioctl = std::move(ioctl)](
                       NodeClient& client, const uint8_t* data, size_t length, const NodeSend& send) {
        devsock::Request request;
        if (!devsock::decodeRequest(data, length, request))
            return false;   // not our framing: drop the client
        devsock::Reply reply;
        if (request.op == devsock::kOpen) {
            const int refusal = open(request.code);
            reply.result = refusal ? -1 : 0;
            reply.error = refusal;
            client.opened = refusal == 0;
        } else if (!client.opened) {
            reply.result = -1;
            reply.error = EBADF;
        } else {
            reply = ioctl(client, request);
        }
        return send(devsock::encodeReply(reply));
    };
    return {std::move(path), SOCK_SEQPACKET, std::move(receive)};
}

void NodeServer::start(std::vector<ServedNode> nodes) {
    if (running())
        return;
    nodes_ = std::move(nodes);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    for (const auto& node : nodes_) {
        int fd = devsock::listenUnix(node.path, node.type);
        if (fd < 0) {
            const std::string reason = strerror(errno);
            stop();
            throw std::runtime_error("cannot serve " + node.path + ": " + reason);
        }
        listeners_.push_back(fd);
    }
    thread_ = std::thread([this] { loop(); });
}

void NodeServer::stop() {
    if (thread_.joinable()) {
        char byte = 1;
        (void)!::write(wakeWrite_, &byte, 1);
        thread_.join();
    }
    for (size_t i = 0; i < listeners_.size(); ++i) {
        ::close(listeners_[i]);
        ::unlink(nodes_[i].path.c_str());
    }
    listeners_.clear();
    nodes_.clear();
    for (int* fd : {&wakeRead_, &wakeWrite_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void NodeServer::loop() {
    struct Connection {
        size_t node = 0;
        NodeClient client;
    };
    std::map<int, Connection> connections;
    std::vector<uint8_t> message(devsock::kMaxMessage);
    for (;;) {
        std::vector<pollfd> fds{{wakeRead_, POLLIN, 0}};
        for (int fd : listeners_)
            fds.push_back({fd, POLLIN, 0});
        for (const auto& entry : connections)
            fds.push_back({entry.first, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            const int fd = fds[i].fd;
            if (i <= listeners_.size()) {
                int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0)
                    connections[client].node = i - 1;
                continue;
            }
            Connection& c = connections[fd];
            ssize_t n = ::recv(fd, message.data(), message.size(), 0);
            const NodeSend send = [fd](const std::vector<uint8_t>& bytes) { return devsock::sendWhole(fd, bytes); };
            const bool keep = n > 0 && nodes_[c.node].receive(c.client, message.data(), static_cast<size_t>(n), send);
            if (!keep) {
                ::close(fd);
                connections.erase(fd);
            }
        }
    }
    for (const auto& entry : connections)
        ::close(entry.first);
}

} // namespace qv::sim
