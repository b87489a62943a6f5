// The restart service's own datagram socket: errors are kept as text in the object, the wait
// belongs to wait_msg() only, and sends name the destination path.
#pragma once

#include <csignal>
#include <string>

class UnixDgramSocket {
public:
    UnixDgramSocket() = default;
    ~UnixDgramSocket();   // closes the socket and removes the bound file
    UnixDgramSocket(const UnixDgramSocket&) = delete;
    UnixDgramSocket& operator=(const UnixDgramSocket&) = delete;

    // `name` is an already sandboxed path, `length` its length plus 1.
    bool create(const char* name, int length);
    bool set_nonblocking_mode();
    bool send_to(const char* path, const void* data, unsigned length);
    // 0 received, 1 error, 2 nothing waiting on a non-blocking socket.
    int recv_from(void* buffer, unsigned length);
    // 0 a datagram is waiting, 1 otherwise. With `waitMask`, the wait runs under that signal
    // mask, so a stop signal blocked elsewhere ends it at once.
    int wait_msg(int seconds, int microseconds, const sigset_t* waitMask = nullptr);
    const char* get_error() const { return error; }
    // Size of the datagram the last successful recv_from() took.
    int received_length() const { return received; }

private:
    void setError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    int sockfd = -1;
    std::string sockname;
    char error[200] = {};
    int received = 0;
};
