// The drive-cage agent's client of qvbayd: one request of the drive-cage service protocol per
// call, sent from an unpredictable address; a failed request gives 0, false or null.
#pragma once

#include "cage_protocol.h"
#include "service_client.h"

class CCageClient {
public:
    CCageClient() : m_oClient(kCageSocketPath) {}

    // Any integer request by code; `drive` is sent only to the requests that take it.
    int GetInteger(int cmd, int drive = 0);
    // Requests answered by a flag: the value as their argument; false on any failure.
    bool SetValue(int cmd, int value);
    bool SetDriveLedState(int drive, int level);
    // The cage block (request 3) in a buffer that lives until the next call, its length in
    // `*pcbBlock`; null when the exchange failed.
    const char* GetCageInfo(int* pcbBlock);
    // Requests 25 and 29: the text, cut to `cbText` bytes with its NUL; false on failure.
    bool GetWwwUrl(char* szText, int cbText) { return GetText(CMD_GET_WWW_URL, szText, cbText); }
    bool GetWwwProxy(char* szText, int cbText) { return GetText(CMD_GET_WWW_PROXY, szText, cbText); }
    // Requests 26 and 30: true only when the service accepted the text.
    bool SetWwwUrl(const char* szUrl) { return SetText(CMD_SET_WWW_URL, szUrl); }
    bool SetWwwProxy(const char* szProxy) { return SetText(CMD_SET_WWW_PROXY, szProxy); }

private:
    bool GetText(int cmd, char* szText, int cbText);
    bool SetText(int cmd, const char* szText);
    bool ReadFlag();

    CServiceClient m_oClient;
};
