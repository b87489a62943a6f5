#include "service_client.h"

#include <algorithm>
#include <cstring>

#include "sandbox_path.h"

CServiceClient::CServiceClient(const char* szServicePath, bool logFailures) : m_oSocket(logFailures)
{
    m_bAddressValid = qv::makeUnixAddress(qv::sandboxPath(szServicePath), m_sServerAddr);
    m_oSocket.CreateAnonymous();
}

bool CServiceClient::Send(const void* pbData, int cbData)
{
    return m_bAddressValid &&
           m_oSocket.Write(static_cast<const char*>(pbData), cbData,
                           reinterpret_cast<const sockaddr*>(&m_sServerAddr), sizeof m_sServerAddr);
}

bool CServiceClient::SendFields(std::initializer_list<int32_t> fields)
{
    if (!m_bAddressValid) return false;
    for (int32_t field : fields)
        if (!Send(&field, sizeof field)) return false;
    return true;
}

bool CServiceClient::SendText(const char* szText)
{
    char field[kServiceTextFieldMax] = {};
    const size_t length = std::min(std::strlen(szText ? szText : ""), sizeof field - 1);
    if (length) std::memcpy(field, szText, length);
    return Send(field, static_cast<int>(length + 1));
}

bool CServiceClient::ReadReply(void* pbBuffer, int cbBuffer)
{
    // One byte of room more than expected, so a longer datagram is refused instead of cut.
    char buffer[4097];
    if (cbBuffer < 0 || cbBuffer >= static_cast<int>(sizeof buffer)) return false;
    const int size = Receive(buffer, sizeof buffer);
    if (size != cbBuffer) return false;
    std::memcpy(pbBuffer, buffer, static_cast<size_t>(cbBuffer));
    return true;
}

int CServiceClient::ReadVariableReply(void* pbBuffer, int cbBuffer)
{
    char buffer[4097];
    if (cbBuffer < 0) return -1;
    const int size = Receive(buffer, sizeof buffer);
    if (size < 0) return -1;
    std::memcpy(pbBuffer, buffer, static_cast<size_t>(std::min(size, cbBuffer)));
    return size;
}

int CServiceClient::Receive(char* buffer, int cbBuffer)
{
    sockaddr_un from{};
    int fromLen = sizeof from;
    int size = cbBuffer;
    if (!m_oSocket.Read(buffer, &size, reinterpret_cast<sockaddr*>(&from), &fromLen)) return -1;
    // Only the service may answer: the service's own path, nothing else.
    const size_t pathLen = std::strlen(m_sServerAddr.sun_path);
    const size_t fromPath = fromLen > static_cast<int>(sizeof(sa_family_t))
                                ? static_cast<size_t>(fromLen) - sizeof(sa_family_t) : 0;
    if (fromPath < pathLen || std::memcmp(from.sun_path, m_sServerAddr.sun_path, pathLen) != 0 ||
        (fromPath > pathLen && from.sun_path[pathLen] != '\0'))
        return -1;
    return size;
}
