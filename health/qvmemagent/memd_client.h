// The memory-module agent's client of qvmemd: one 8-byte request datagram, one 4-byte reply.
// Every question has a failure value, so a column still answers when the service is away.
#pragma once

#include <sys/un.h>

#include "memd_protocol.h"
#include "service_client.h"

class local_client {
public:
    explicit local_client(const char* szServerPath);

    bool Write(const char* data, int len);
    // `*len` in: room; out: bytes received. Only the service's own reply counts.
    bool Read(char* buffer, int* len);

private:
    CServiceClient m_oClient;   // binds an unpredictable address; reads from the service only
    sockaddr_un m_sServerAddr{};
    bool m_bAddressValid = false;
};

template <class Request, class Reply>
bool getValue(local_client& client, const Request& req, Reply& reply)
{
    int len = sizeof reply;
    return client.Write(reinterpret_cast<const char*>(&req), sizeof req) &&
           client.Read(reinterpret_cast<char*>(&reply), &len);
}

// Commands 1 to 6 for module `module`; the failure values 0, 0, 0, 0, -1 and 1.
int getSoftwareSeverityStatus(int module);
int getSingleBitEventCounter(int module);
int getPredictiveEventCounter(int module);
int getDoubleBitEventCounter(int module);
int getMostSevereEventID(int module);
int getOverallStatusSeverity(int module);
