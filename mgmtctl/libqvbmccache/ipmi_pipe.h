// CIpmiPipe: one end of the IPMI cache FIFOs (the service and every client hold one). Paths are
// kept resolved below the sandbox root, so they are strings, not fixed buffers.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

class CIpmiPipe {
public:
    CIpmiPipe();
    ~CIpmiPipe();
    CIpmiPipe(const CIpmiPipe&) = delete;
    CIpmiPipe& operator=(const CIpmiPipe&) = delete;

    // Names the request FIFO and, when given, this exchange's reply FIFO (unsandboxed names).
    void InitPipe(const std::string& retPipeName = {});
    // Opens the request FIFO read-write (waiting while it reports ENXIO) and makes it blocking.
    // 0, or -1 with errno.
    int ConnectPipe();
    // One read of the request FIFO into `buffer`; the byte count or -1 (EINTR included).
    ssize_t Read(void* buffer, size_t size);
    // One write to the request FIFO; the byte count or -1.
    ssize_t Write(const void* buffer, size_t size);
    // Closes both descriptors.
    void DisconnectPipe();

    std::string szPipeName;      // request FIFO, resolved
    std::string szRetPipeName;   // reply FIFO, resolved
    int hNamedPipe = -1;
    int hRetPipe = -1;
};
