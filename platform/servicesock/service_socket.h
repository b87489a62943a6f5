// The datagram socket services and their agents' clients talk over: the service binds a fixed
// path, a client an unpredictable address. Every Read and Write waits at most GetTimeout() ms.
#pragma once

#include <string>
#include <sys/socket.h>
#include <sys/un.h>

class CSocket {
public:
    // A socket that does not log (`logFailures` false) only reports failures by its results.
    explicit CSocket(bool logFailures = true);
    ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    // Binds a fixed path (already resolved through qv::sandboxPath). A file left there by an
    // earlier run is replaced. The file is never world-accessible: agents reach it through the
    // group of its directory.
    bool Create(const char* szFileName);
    // Binds an unpredictable abstract address chosen by the kernel (client side); no file.
    bool CreateAnonymous();
    // Closes the socket and removes the file it was bound to. Always true.
    bool Destroy();

    // `*pcbBuffer` in: room; out: bytes received (0 on failure or time-out). The sender's
    // address is stored when psAddr is given (pcbAddr in: its room, out: its length).
    bool Read(char* pbBuffer, int* pcbBuffer, sockaddr* psAddr, int* pcbAddr);
    // True when the whole datagram was sent.
    bool Write(const char* pbBuffer, int cbBuffer, const sockaddr* psAddr, int cbAddr);

    int GetTimeout() const { return m_nTimeout; }
    void SetTimeout(int milliseconds) { m_nTimeout = milliseconds; }
    int Descriptor() const { return m_fdSocket; }

private:
    // Waits until the socket is readable (or writable); 1 ready, 0 time-out, -1 failure.
    int WaitReady(bool forWrite) const;
    void LogFailure(const char* call, int error) const;

    int m_fdSocket;
    char* m_szFileName;
    int m_nTimeout;
    bool m_bLogFailures;
};

// The same class under the names the drive-cage and event-cache programs use.
using CCageSocket = CSocket;
using CEventLogSocket = CSocket;
