#include "device_server.h"

#include "ipmi_dummy_protocol.h"

#include <sandbox_path.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

namespace qv::sim {

namespace {
int listenOn(const std::string& path, int type) {
    sockaddr_un address{};
    if (!qv::makeUnixAddress(path, address))
        throw std::runtime_error("socket path too long: " + path);
    ::unlink(path.c_str());
    int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket: " + std::string(strerror(errno)));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
        int e = errno;
        ::close(fd);
        throw std::runtime_error("cannot serve " + path + ": " + strerror(e));
    }
    ::chmod(path.c_str(), 0660);
    return fd;
}

void sendAll(int fd, const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        done += static_cast<size_t>(n);
    }
}

struct Client {
    bool dummy = false;
    bool opened = false;
    Bytes buffer;   // dummy stream: bytes not yet forming a whole request
};
} // namespace

void DeviceServer::start(const std::string& devicePath, const std::string& dummyPath) {
    if (running())
        return;
    devicePath_ = devicePath;
    dummyPath_ = dummyPath;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    try {
        deviceListener_ = listenOn(devicePath_, SOCK_SEQPACKET);
        if (!dummyPath_.empty())
            dummyListener_ = listenOn(dummyPath_, SOCK_STREAM);
    } catch (...) {
        stop();
        throw;
    }
    thread_ = std::thread([this] { loop(); });
}

void DeviceServer::stop() {
    if (thread_.joinable()) {
        char byte = 1;
        (void)!::write(wakeWrite_, &byte, 1);
        thread_.join();
    }
    for (int* fd : {&deviceListener_, &dummyListener_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    if (!devicePath_.empty())
        ::unlink(devicePath_.c_str());
    if (!dummyPath_.empty())
        ::unlink(dummyPath_.c_str());
    devicePath_.clear();
    dummyPath_.clear();
}

void DeviceServer::loop() {
    std::map<int, Client> clients;
    Bytes message(devsock::kMaxMessage);
    for (;;) {
        std::vector<pollfd> fds{{wakeRead_, POLLIN, 0}, {deviceListener_, POLLIN, 0}};
        if (dummyListener_ >= 0)
            fds.push_back({dummyListener_, POLLIN, 0});
        for (const auto& [fd, c] : clients)
            fds.push_back({fd, POLLIN, 0});
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
            int fd = fds[i].fd;
            if (fd == deviceListener_ || fd == dummyListener_) {
                int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0)
                    clients[client].dummy = fd == dummyListener_;
                continue;
            }
            Client& c = clients[fd];
            ssize_t n = ::recv(fd, message.data(), message.size(), 0);
            bool keep = n > 0;
            if (keep && c.dummy) {
                c.buffer.insert(c.buffer.end(), message.begin(), message.begin() + n);
                keep = serveDummyRequests(c.buffer, [&](const Bytes& m) { return state_.standardMessage(m); },
                                          [&](const Bytes& reply) { sendAll(fd, reply); });
            } else if (keep) {
                devsock::Request request;
                devsock::Reply reply;
                if (!devsock::decodeRequest(message.data(), static_cast<size_t>(n), request)) {
                    keep = false;   // not our framing: drop the client
                } else if (request.op == devsock::kOpen) {
                    int refusal = state_.open();
                    reply.result = refusal ? -1 : 0;
                    reply.error = refusal;
                    c.opened = refusal == 0;
                    sendAll(fd, devsock::encodeReply(reply));
                } else if (!c.opened) {
                    reply.result = -1;
                    reply.error = EBADF;
                    sendAll(fd, devsock::encodeReply(reply));
                } else {
                    sendAll(fd, devsock::encodeReply(state_.ioctl(request)));
                }
            }
            if (!keep) {
                ::close(fd);
                clients.erase(fd);
            }
        }
    }
    for (const auto& [fd, c] : clients)
        ::close(fd);
}

} // namespace qv::sim
