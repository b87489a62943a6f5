// Client side of the shared framing: the agents' service clients send a request as 4-byte
// datagrams and read one reply, from the service only, within the socket's time-out.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <sys/un.h>

#include "service_socket.h"

class CServiceClient {
public:
    // `szServicePath` is the service's fixed path before sandboxing ("/var/qvserver/x.socket").
    explicit CServiceClient(const char* szServicePath);

    // Sends each field as its own datagram; false when any of them could not be sent.
    bool SendFields(std::initializer_list<int32_t> fields);
    // Reads one reply of exactly `cbBuffer` bytes from the service; false otherwise.
    bool ReadReply(void* pbBuffer, int cbBuffer);
    // Reads one reply of at most `*pcbBuffer` bytes from the service; `*pcbBuffer` becomes its
    // length. False on time-out, a longer reply or another sender.
    bool ReadReplyUpTo(void* pbBuffer, int* pcbBuffer);

    CSocket& Socket() { return m_oSocket; }

private:
    CSocket m_oSocket;
    sockaddr_un m_sServerAddr{};
    bool m_bAddressValid = false;
};
