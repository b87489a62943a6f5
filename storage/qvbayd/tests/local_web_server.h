// A small web server on 127.0.0.1 for download tests, one thread per connection:
//   /bytes/N   N bytes of a counting pattern (200)
//   /404       not found
//   /302       a redirect with an HTML body
//   /stall     headers announcing 100 bytes, 10 of them, then silence until the server stops
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace baydtest {

class LocalWebServer {
public:
    LocalWebServer();
    ~LocalWebServer();
    int port() const { return port_; }
    std::string url(const std::string& path) const;
    static std::vector<uint8_t> pattern(size_t n);
    // The checksum the outside disk library's stand-in journals for an image of `pattern(n)`.
    static uint32_t patternChecksum(size_t n);

private:
    void acceptLoop();
    void serve(int fd);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> active_{0};
    std::thread acceptor_;
};

} // namespace baydtest
