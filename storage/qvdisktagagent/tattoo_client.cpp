#include "tattoo_client.h"

#include <cstdint>
#include <cstring>

#include "tattoo_protocol.h"

CTattooClient::CTattooClient() : m_oClient(kTattooSocketPath) {}

int CTattooClient::GetInteger(int cmd, int index)
{
    const TattooCommand* command = findTattooCommand(cmd);
    const bool sent = command && command->fields == 0 ? m_oClient.SendFields({cmd})
                                                      : m_oClient.SendFields({cmd, index});
    int32_t reply = 0;
    return sent && m_oClient.ReadReply(&reply, sizeof reply) ? reply : 0;
}

int CTattooClient::GetAdapterCount() { return GetInteger(CMD_GET_ADAPTER_COUNT, 0); }
int CTattooClient::GetDriveCount() { return GetInteger(CMD_GET_DRIVE_COUNT, 0); }

bool CTattooClient::GetText(int cmd, int index, char* buffer, int* length)
{
    if (*length <= 0 || !m_oClient.SendFields({cmd, index})) return false;
    const int received = m_oClient.ReadVariableReply(buffer, *length);
    if (received < 0) return false;
    // A longer text than the buffer holds is cut; the text always ends in a NUL.
    buffer[received < *length ? received : *length - 1] = '\0';
    return true;
}

bool CTattooClient::GetFlag(int cmd, int value)
{
    uint8_t reply = 0;
    return m_oClient.SendFields({cmd, value}) && m_oClient.ReadReply(&reply, sizeof reply) && reply != 0;
}

bool CTattooClient::SetDriveWasLocated(int index) { return GetFlag(CMD_SET_DRIVE_WAS_LOCATED, index); }
bool CTattooClient::SetDriveRefresh(int value) { return GetFlag(CMD_SET_DRIVE_REFRESH, value); }

int CTattooClient::SetDriveDstStart(int index, int operation)
{
    int32_t reply = 0;
    return m_oClient.SendFields({CMD_SET_DRIVE_DST_START, index, operation}) &&
                   m_oClient.ReadReply(&reply, sizeof reply)
               ? reply
               : -1;
}

const char* CTattooClient::GetTimeText(int cmd, int index)
{
    static char text[256];
    std::memset(text, 0, sizeof text);
    if (!m_oClient.SendFields({cmd, index}) || m_oClient.ReadVariableReply(text, sizeof text - 1) < 0)
        std::memset(text, 0, sizeof text);
    return text;
}

const char* CTattooClient::GetDriveDstStartTime(int index) { return GetTimeText(CMD_GET_DRIVE_DST_START_TIME, index); }
const char* CTattooClient::GetDriveDstEndTime(int index) { return GetTimeText(CMD_GET_DRIVE_DST_END_TIME, index); }
