#include "service_request.h"

#include <algorithm>
#include <cstring>
#include <sys/socket.h>

namespace {
constexpr size_t kFieldSize = sizeof(int32_t);

int32_t fieldValue(const std::string& data)
{
    int32_t v = 0;
    std::memcpy(&v, data.data(), kFieldSize);
    return v;
}
} // namespace

bool CServiceRequestReader::Discarded(const Datagram& d)
{
    return !m_sDiscardSender.empty() && d.sender == m_sDiscardSender &&
           std::chrono::steady_clock::now() < m_tDiscardUntil;
}

bool CServiceRequestReader::Receive(Datagram& d, std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const int saved = m_oSocket.GetTimeout();
    m_oSocket.SetTimeout(left.count() > 0 ? static_cast<int>(left.count()) : 0);
    // One byte more than the largest field, so an overlong datagram is seen as such; a text
    // field longer than that is cut anyway.
    char buffer[kServiceTextFieldMax + 1];
    int size = sizeof buffer;
    sockaddr_un from{};
    int fromLen = sizeof from;
    const bool ok = m_oSocket.Read(buffer, &size, reinterpret_cast<sockaddr*>(&from), &fromLen);
    m_oSocket.SetTimeout(saved);
    if (!ok) return false;
    if (fromLen < 0 || fromLen > static_cast<int>(sizeof from)) fromLen = 0;
    d.sender.assign(reinterpret_cast<const char*>(&from), static_cast<size_t>(fromLen));
    d.data.assign(buffer, static_cast<size_t>(size));
    return true;
}

bool CServiceRequestReader::ReadCommand(int32_t* pnCommand)
{
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_oSocket.GetTimeout());
    for (;;) {
        Datagram d;
        if (!m_oHeld.empty()) {
            d = std::move(m_oHeld.front());
            m_oHeld.pop_front();
        } else if (!Receive(d, deadline)) {
            return false;
        }
        if (Discarded(d) || d.data.size() != kFieldSize) continue;
        m_sRequester = d.sender;
        *pnCommand = fieldValue(d.data);
        return true;
    }
}

bool CServiceRequestReader::NextFieldDatagram(std::string& data)
{
    for (auto it = m_oHeld.begin(); it != m_oHeld.end(); ++it) {
        if (it->sender != m_sRequester) continue;
        data = std::move(it->data);
        m_oHeld.erase(it);
        return true;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_oSocket.GetTimeout());
    Datagram d;
    while (Receive(d, deadline)) {
        if (d.sender == m_sRequester) {
            data = std::move(d.data);
            return true;
        }
        if (Discarded(d)) continue;
        if (m_oHeld.size() >= kMaxHeld) m_oHeld.pop_front();
        m_oHeld.push_back(std::move(d));
    }
    return false;
}

bool CServiceRequestReader::ReadField(int32_t* pnField)
{
    std::string data;
    if (!NextFieldDatagram(data) || data.size() != kFieldSize) return false;
    *pnField = fieldValue(data);
    return true;
}

bool CServiceRequestReader::ReadTextField(char (&szText)[kServiceTextFieldMax])
{
    std::string data;
    if (!NextFieldDatagram(data)) return false;
    const size_t length = std::min(std::strlen(data.c_str()), sizeof szText - 1);
    std::memcpy(szText, data.data(), length);
    szText[length] = '\0';
    return true;
}

bool CServiceRequestReader::Reply(const void* pbData, int cbData)
{
    return m_oSocket.Write(static_cast<const char*>(pbData), cbData,
                           reinterpret_cast<const sockaddr*>(m_sRequester.data()),
                           static_cast<int>(m_sRequester.size()));
}

void CServiceRequestReader::DiscardRest()
{
    std::erase_if(m_oHeld, [this](const Datagram& d) { return d.sender == m_sRequester; });
    // An unnamed sender cannot be told apart from other unnamed ones: nothing to follow.
    if (m_sRequester.size() <= sizeof(sa_family_t)) return;
    m_sDiscardSender = m_sRequester;
    m_tDiscardUntil = std::chrono::steady_clock::now() + m_discardWindow;
}
