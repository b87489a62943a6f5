// qvdisktagd's request loop: reads one request of the drive tag service protocol, runs the
// inventory's operation and answers the requester.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1   stay in the foreground (no fork, no setsid, descriptors kept)
#pragma once

#include <cstdint>

#include "service_request.h"
#include "tattoo.h"
#include "tattoo_protocol.h"

class CTattooService {
public:
    CTattooService(CTattoo& tattoo, CServiceRequestReader& reader) : m_oTattoo(tattoo), m_oReader(reader) {}

    // Waits for one request and answers it; false when no command arrived in time.
    bool ServeOne();
    // The reply to a complete request, in the send buffer; its length.
    int Run(int32_t cmd, int32_t index, int32_t value);

private:
    int PutInteger(int32_t value);
    int PutFlag(bool value);
    int PutText(bool (CTattoo::*get)(int, char*, int*), int32_t index);
    int PutTimeText(bool (CTattoo::*get)(int, char*, int), int32_t index);

    CTattoo& m_oTattoo;
    CServiceRequestReader& m_oReader;
    char pbSendBuffer[kTattooReplyMax]{};
};

// The whole service; returns the exit status.
int runTattooService();
