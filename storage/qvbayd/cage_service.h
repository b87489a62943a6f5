// qvbayd's request loop: reads one request of the drive-cage service protocol, runs it on the
// cage table or the firmware download and update, answers the requester and refreshes the table
// when it is due.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1   stay in the foreground (no fork, no setsid, descriptors kept)
#pragma once

#include <cstdint>

#include "cage_protocol.h"
#include "cages.h"
#include "firmware_download.h"
#include "service_request.h"

class CCageService {
public:
    CCageService(CCages& cages, CDownload& download, CFirmware& firmware, CServiceRequestReader& reader)
        : m_oCages(cages), m_oDownload(download), m_oFirmware(firmware), m_oReader(reader)
    {
    }

    // Waits for one request and answers it; false when no command arrived in time.
    bool ServeOne();

    struct Arguments {
        int32_t first = 0;
        int32_t second = 0;
        char text[kServiceTextFieldMax] = {};
    };
    // The reply to a complete request, in the send buffer; its length (-1: no reply).
    int Run(int32_t cmd, const Arguments& args);
    const char* Reply() const { return pbSendBuffer; }

private:
    int PutInteger(int32_t value);
    int PutFlag(bool value);
    int PutText(void (CDownload::*get)(char*, int*) const);
    int PutBlock();
    // Reads the arguments a command takes; false when one did not come.
    bool ReadArguments(const CageCommand& command, Arguments& args);

    CCages& m_oCages;
    CDownload& m_oDownload;
    CFirmware& m_oFirmware;
    CServiceRequestReader& m_oReader;
    char pbSendBuffer[kCageReplyMax]{};
};

// The whole service over the given cages; returns the exit status.
int runCageService(CageSource& source);
