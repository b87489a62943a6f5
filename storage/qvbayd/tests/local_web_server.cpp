#include "local_web_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace baydtest {

LocalWebServer::LocalWebServer()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    ::listen(listener_, 16);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LocalWebServer::~LocalWebServer()
{
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    ::close(listener_);
    while (active_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::string LocalWebServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<uint8_t> LocalWebServer::pattern(size_t n)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

uint32_t LocalWebServer::patternChecksum(size_t n)
{
    uint32_t h = 2166136261u;
    for (uint8_t c : pattern(n)) h = (h ^ c) * 16777619u;
    return h;
}

void LocalWebServer::acceptLoop()
{
    while (!stopping_) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++active_;
        std::thread([this, fd] {
            serve(fd);
            ::close(fd);
            --active_;
        }).detach();
    }
}

namespace {
void sendAll(int fd, const void* data, size_t n)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t sent = ::send(fd, p, n, MSG_NOSIGNAL);
        if (sent <= 0) return;
        p += sent;
        n -= static_cast<size_t>(sent);
    }
}
void sendText(int fd, const std::string& text) { sendAll(fd, text.data(), text.size()); }
} // namespace

void LocalWebServer::serve(int fd)
{
    std::string request;
    char chunk[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) return;
        request.append(chunk, static_cast<size_t>(got));
    }
    const size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    if (path.rfind("/bytes/", 0) == 0) {
        const auto body = pattern(std::stoul(path.substr(7)));
        sendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                         "\r\nConnection: close\r\n\r\n");
        sendAll(fd, body.data(), body.size());
    } else if (path == "/302") {
        const std::string body = "<html><body>Moved</body></html>";
        sendText(fd, "HTTP/1.1 302 Found\r\nLocation: /bytes/10\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    } else if (path == "/stall") {
        sendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n0123456789");
        while (!stopping_) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char c;
                if (::recv(fd, &c, 1, 0) <= 0) return;   // the client gave up
            }
        }
    } else {
        sendText(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    }
}

} // namespace baydtest
