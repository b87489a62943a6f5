// Client side of the shared framing: the agents' service clients send a request as 4-byte
// datagrams and read one reply, from the service only, within the socket's time-out.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <sys/un.h>

#include "service_request.h"
#include "service_socket.h"

class CServiceClient {
public:
    // `szServicePath` is the service's fixed path before sandboxing ("/var/qvserver/x.socket").
    // A client whose socket logs nothing (`logFailures` false) only tells failures by its results.
    explicit CServiceClient(const char* szServicePath, bool logFailures = true);

    // Sends each field as its own datagram; false when any of them could not be sent.
    bool SendFields(std::initializer_list<int32_t> fields);
    // Sends a text field: its characters and NUL, cut to kServiceTextFieldMax bytes.
    bool SendText(const char* szText);
    // Reads one reply of exactly `cbBuffer` bytes from the service; false otherwise.
    bool ReadReply(void* pbBuffer, int cbBuffer);
    // Reads one reply of any length from the service: at most `cbBuffer` bytes are kept (a
    // longer one is cut); returns the reply's full length, or -1 when none came.
    int ReadVariableReply(void* pbBuffer, int cbBuffer);

    CSocket& Socket() { return m_oSocket; }

private:
    bool Send(const void* pbData, int cbData);
    // One datagram from the service into `buffer`; its length, or -1 (none, or another sender).
    int Receive(char* buffer, int cbBuffer);

    CSocket m_oSocket;
    sockaddr_un m_sServerAddr{};
    bool m_bAddressValid = false;
};
