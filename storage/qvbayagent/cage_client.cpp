#include "cage_client.h"

#include <cstdint>
#include <cstring>

int CCageClient::GetInteger(int cmd, int drive)
{
    const CageCommand* command = findCageCommand(cmd);
    const bool sent = command && command->args == CageArgs::Integer ? m_oClient.SendFields({cmd, drive})
                                                                     : m_oClient.SendFields({cmd});
    int32_t reply = 0;
    return sent && m_oClient.ReadReply(&reply, sizeof reply) ? reply : 0;
}

bool CCageClient::ReadFlag()
{
    uint8_t reply = 0;
    return m_oClient.ReadReply(&reply, sizeof reply) && reply != 0;
}

bool CCageClient::SetValue(int cmd, int value) { return m_oClient.SendFields({cmd, value}) && ReadFlag(); }

bool CCageClient::SetDriveLedState(int drive, int level)
{
    return m_oClient.SendFields({CMD_SET_DRIVE_LED_STATE, drive, level}) && ReadFlag();
}

const char* CCageClient::GetCageInfo(int* pcbBlock)
{
    static char block[kCageReplyMax];
    std::memset(block, 0, sizeof block);   // nothing of an earlier block shows through
    *pcbBlock = 0;
    if (!m_oClient.SendFields({CMD_GET_CAGE_INFO})) return nullptr;
    const int received = m_oClient.ReadVariableReply(block, sizeof block);
    if (received < 0) return nullptr;
    *pcbBlock = received < kCageReplyMax ? received : kCageReplyMax;
    return block;
}

bool CCageClient::GetText(int cmd, char* szText, int cbText)
{
    char text[kServiceTextFieldMax] = {};
    if (cbText <= 0 || !m_oClient.SendFields({cmd}) || m_oClient.ReadVariableReply(text, sizeof text - 1) < 0)
        return false;
    std::strncpy(szText, text, static_cast<size_t>(cbText) - 1);
    szText[cbText - 1] = '\0';
    return true;
}

bool CCageClient::SetText(int cmd, const char* szText)
{
    return m_oClient.SendFields({cmd}) && m_oClient.SendText(szText) && ReadFlag();
}
