#include "service_socket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <syslog.h>
#include <unistd.h>

#include "log_print.h"
#include "sandbox_path.h"
#include "service_daemon.h"

namespace {
// Owner and group only: whoever may write here may change sensor thresholds.
constexpr mode_t kSocketMode = 0660;

// Milliseconds left until `deadline`, rounded up, 0 once it has passed.
int msUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
} // namespace

CSocket::CSocket(bool logFailures)
    : m_fdSocket(-1), m_szFileName(nullptr), m_nTimeout(15000), m_bLogFailures(logFailures) {}

void CSocket::LogFailure(const char* call, int error) const
{
    if (m_bLogFailures) LogPrint(LOG_ERR, "%s() failed (errno=%d)", call, error);
}

CSocket::~CSocket() { Destroy(); }

bool CSocket::Destroy()
{
    if (m_fdSocket != -1) {
        ::close(m_fdSocket);
        m_fdSocket = -1;
    }
    if (m_szFileName) {
        ::unlink(m_szFileName);
        std::free(m_szFileName);
        m_szFileName = nullptr;
    }
    return true;
}

bool CSocket::Create(const char* szFileName)
{
    Destroy();
    if (szFileName == nullptr) return false;
    sockaddr_un address{};
    if (!qv::makeUnixAddress(szFileName, address)) {
        LogFailure("bind", errno);
        return false;
    }
    ::unlink(szFileName);
    m_fdSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fdSocket < 0) {
        LogFailure("socket", errno);
        return false;
    }
    // The file is born with the restricted mode, so there is no moment of wider access.
    const mode_t oldMask = ::umask(0777 & ~kSocketMode);
    const int rc = ::bind(m_fdSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int bindErrno = errno;
    ::umask(oldMask);
    if (rc != 0) {
        LogFailure("bind", bindErrno);
        errno = bindErrno;
        return false;
    }
    ::chmod(szFileName, kSocketMode);
    m_szFileName = ::strdup(szFileName);
    return true;
}

bool CSocket::CreateAnonymous()
{
    Destroy();
    m_fdSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fdSocket < 0) {
        LogFailure("socket", errno);
        return false;
    }
    // Linux autobind: an address length of only the family asks the kernel for a unique name.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (::bind(m_fdSocket, reinterpret_cast<sockaddr*>(&address), sizeof(sa_family_t)) != 0) {
        LogFailure("bind", errno);
        return false;
    }
    return true;
}

int CSocket::WaitReady(bool forWrite) const
{
    pollfd p{m_fdSocket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(m_nTimeout, 0));
    for (;;) {
        const int rc = ::poll(&p, 1, msUntil(deadline));
        if (rc > 0) return 1;
        if (rc == 0) return 0;
        // A signal is no failure: a stop ends the wait like a time-out, so the service's loop
        // sees its flag at once; any other signal leaves the wait running to its end.
        if (errno != EINTR) break;
        if (stopRequested()) return 0;
    }
    LogFailure("select", errno);
    return -1;
}

bool CSocket::Read(char* pbBuffer, int* pcbBuffer, sockaddr* psAddr, int* pcbAddr)
{
    if (pcbBuffer == nullptr || pbBuffer == nullptr) return false;
    const int room = *pcbBuffer;
    *pcbBuffer = 0;
    if (m_fdSocket == -1 || room < 0 || (psAddr && !pcbAddr)) return false;
    if (WaitReady(false) <= 0) return false;
    socklen_t addrLen = psAddr ? static_cast<socklen_t>(*pcbAddr) : 0;
    const ssize_t n = ::recvfrom(m_fdSocket, pbBuffer, static_cast<size_t>(room), MSG_DONTWAIT,
                                 psAddr, psAddr ? &addrLen : nullptr);
    if (n < 0) {
        LogFailure("recvfrom", errno);
        return false;
    }
    *pcbBuffer = static_cast<int>(n);
    if (psAddr) *pcbAddr = static_cast<int>(addrLen);
    return true;
}

bool CSocket::Write(const char* pbBuffer, int cbBuffer, const sockaddr* psAddr, int cbAddr)
{
    if (m_fdSocket == -1 || cbBuffer < 0) return false;
    if (WaitReady(true) <= 0) return false;
    // A datagram socket polls writable even when the receiver's queue is full: the send itself
    // waits, bounded by the same time-out; a zero send time-out would wait forever, so none at all
    // is a send that does not wait.
    const int timeout = m_nTimeout < 0 ? 0 : m_nTimeout;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    ssize_t n = -1;
    for (int left = timeout;; left = msUntil(deadline)) {
        timeval limit{left / 1000, (left % 1000) * 1000};
        ::setsockopt(m_fdSocket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        n = ::sendto(m_fdSocket, pbBuffer, static_cast<size_t>(cbBuffer), left == 0 ? MSG_DONTWAIT : 0,
                     psAddr, static_cast<socklen_t>(cbAddr));
        // A signal cuts the send short: it goes on for the time that is left, even for a stop,
        // so the requester still gets its reply.
        if (n >= 0 || errno != EINTR || left == 0) break;
    }
    if (n < 0) LogFailure("sendto", errno);
    return n == cbBuffer;
}
