// The event-log agent's client of the event cache service: one request per column of a row.
#pragma once

#include "service_client.h"

class CEventLogClient {
public:
    CEventLogClient();
    int GetCount();   // 0 on failure
    // `*len` in: room; out: bytes received. False when nothing (or an empty answer) came.
    bool GetColumn(int command, int row, char* buf, int* len);

private:
    CServiceClient m_oClient;
};
