#include "event_log_client.h"

#include "event_cache_protocol.h"

CEventLogClient::CEventLogClient() : m_oClient(kEventCacheSocketPath) {}

int CEventLogClient::GetCount()
{
    int32_t count = 0;
    return m_oClient.SendFields({kEventCacheCount}) && m_oClient.ReadReply(&count, sizeof count) ? count : 0;
}

bool CEventLogClient::GetColumn(int command, int row, char* buf, int* len)
{
    if (!m_oClient.SendFields({command, row})) return false;
    const int received = m_oClient.ReadVariableReply(buf, *len);
    if (received <= 0 || received > *len) return false;   // none, empty (no such row) or too long
    *len = received;
    return true;
}
