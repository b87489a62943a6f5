#include "event_log_cache.h"

#include "event_cache_protocol.h"
#include "event_format.h"

#include <cstring>
#include <ctime>
#include <optional>

namespace {

std::optional<std::string> readKey(EvtStruct& event, const char* key)
{
    char value[QVELFMT_VALUE_SIZE] = {};
    unsigned long length = 0;
    Sel& r = event.selEntry;
    if (QVELFMT_ReadKey(&r.sensorType, &r.eventTrigger, &r.eventData1, key, value, &length) != QVELFMT_FOUND)
        return std::nullopt;
    return std::string(value);
}

std::string lookUp(EvtStruct& event, const char* key, const char* fallback)
{
    return readKey(event, key).value_or(fallback);
}

} // namespace

bool CEventLogCache::FillRow(int row)
{
    if (row == m_nRow) return true;
    // A row is an index into the soft log: nothing before the first line or after the last.
    if (row < 0 || row >= GetCount()) return false;
    EvtStruct event{};
    if (QVEL_ReadEventLogEntry(row, &event) != 0) return false;
    QVEL_MapEventRecord2to3(&event.selEntry);
    m_oEvent = event;
    m_nRow = row;
    m_date.fill(0);
    const time_t stamp = static_cast<time_t>(m_oEvent.selEntry.timestamp);
    tm local{};
    if (localtime_r(&stamp, &local)) {
        m_date = {static_cast<unsigned char>(local.tm_year), static_cast<unsigned char>(local.tm_mon + 1),
                  static_cast<unsigned char>(local.tm_mday), static_cast<unsigned char>(local.tm_hour),
                  static_cast<unsigned char>(local.tm_min), static_cast<unsigned char>(local.tm_sec)};
    }
    m_sDescription = lookUp(m_oEvent, "String", "[No String]");
    m_sTrapId = lookUp(m_oEvent, "TrapID", "[No TrapID]");
    for (int n = 1; n <= 8; ++n) {
        const std::optional<std::string> token = readKey(m_oEvent, ("Varbind" + std::to_string(n)).c_str());
        std::string& text = m_varbinds[static_cast<size_t>(n - 1)];
        if (!token) {
            text = "[No Varbind]";
            continue;
        }
        // A key without a value is an empty token, which writes nothing.
        char expanded[QVELFMT_TOKEN_TEXT_SIZE] = {};
        QVELFMT_GetToken(GetTokenString, token->c_str(), &m_oEvent, expanded);
        text = expanded;
    }
    return true;
}

int CEventLogCache::GetCount()
{
    int count = 0;
    return QVEL_GetNumberOfEvents(&count) == 0 ? count : 0;
}

bool CEventLogCache::GetDate(int row, char* buffer, int* length)
{
    if (!FillRow(row) || *length < kEventCacheDateSize) return false;
    std::memcpy(buffer, m_date.data(), kEventCacheDateSize);
    *length = kEventCacheDateSize;
    return true;
}

bool CEventLogCache::CopyText(int row, const std::string& text, char* buffer, int* length)
{
    (void)row;
    if (*length < kEventCacheTextSize) return false;
    const size_t n = std::min(text.size(), static_cast<size_t>(kEventCacheTextSize - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    *length = static_cast<int>(n + 1);
    return true;
}

bool CEventLogCache::GetDescription(int row, char* buffer, int* length)
{
    return FillRow(row) && CopyText(row, m_sDescription, buffer, length);
}

bool CEventLogCache::GetTrapId(int row, char* buffer, int* length)
{
    return FillRow(row) && CopyText(row, m_sTrapId, buffer, length);
}

bool CEventLogCache::GetVarbind(int n, int row, char* buffer, int* length)
{
    return n >= 1 && n <= 8 && FillRow(row) && CopyText(row, m_varbinds[static_cast<size_t>(n - 1)], buffer, length);
}
