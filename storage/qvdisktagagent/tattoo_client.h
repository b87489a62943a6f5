// The asset-tag agent's client of qvdisktagd: one request of the drive tag service protocol per
// call, sent from an unpredictable address; a failed request gives 0, false or an empty text.
#pragma once

#include "service_client.h"

class CTattooClient {
public:
    CTattooClient();

    // Any integer request by code, with its index (ignored by requests without one).
    int GetInteger(int cmd, int index);
    // Text requests 3 to 5 and 11 to 15: the reply in `buffer` of `*length` bytes, cut to fit and
    // always NUL-terminated; false on any failure.
    bool GetText(int cmd, int index, char* buffer, int* length);
    // Requests 19 and 21: the 1-byte reply, false on any failure.
    bool SetDriveWasLocated(int index);
    bool SetDriveRefresh(int value);
    // Request 26: the service's answer (0 accepted), -1 when none came.
    int SetDriveDstStart(int index, int operation);
    // Requests 29 and 30: the text up to its first NUL, empty on failure. The text lives in a
    // static buffer until the next call.
    const char* GetDriveDstStartTime(int index);
    const char* GetDriveDstEndTime(int index);

    int GetAdapterCount();
    int GetDriveCount();

private:
    bool GetFlag(int cmd, int value);
    const char* GetTimeText(int cmd, int index);

    CServiceClient m_oClient;
};
