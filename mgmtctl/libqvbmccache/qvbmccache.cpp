#include "qvbmccache.h"

#include "ipmi_pipe.h"
#include "library_boundary.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int replyWaitMs()
{
    const char* text = std::getenv(kReplyWaitEnv);
    if (text && *text) {
        char* end = nullptr;
        const long ms = std::strtol(text, &end, 10);
        if (*end == '\0' && ms >= 0 && ms <= kDefaultReplyWaitMs)
            return static_cast<int>(ms);
    }
    return kDefaultReplyWaitMs;
}

// Waits for the reply within the bound and reads it in one read; the byte count or -1.
ssize_t readReply(int fd, ResponseBlock& reply)
{
    pollfd waiter{fd, POLLIN, 0};
    int ready;
    do
        ready = ::poll(&waiter, 1, replyWaitMs());
    while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return -1;
    ssize_t n;
    do
        n = ::read(fd, &reply, sizeof reply);
    while (n < 0 && errno == EINTR);
    return n;
}

// The exchange once the reply FIFO exists; the caller removes the FIFO whatever happens.
ssize_t exchange(CIpmiPipe& pipe, const RequestMessage& message, ResponseBlock& reply)
{
    pipe.hRetPipe = ::open(pipe.szRetPipeName.c_str(), O_RDWR | O_CLOEXEC);
    if (pipe.hRetPipe < 0)
        return -1;
    if (pipe.Write(&message, sizeof message) != static_cast<ssize_t>(sizeof message))
        return -1;
    return readReply(pipe.hRetPipe, reply);
}

} // namespace

extern "C" unsigned int QvIpmiGetData(unsigned int opCode, unsigned int iPackage,
                                      unsigned int iUnit, ParamsType* pParams, sdType sdData,
                                      unsigned int* pcbDataRet)
{
    return qv::catchAtBoundary(IPMI_PIPE_FAILED, [&] {
        RequestMessage message{};
        message.request.opCode = opCode;
        message.request.cbMaxSize = sdData.cb;
        message.request.iPackage = iPackage;
        message.request.iUnit = iUnit;
        if (pParams)
            message.request.params = *pParams;

        const std::string name = replyPipeName(::getpid());
        if (name.empty() || name.size() > kReplyNameField)
            return IPMI_PIPE_FAILED;
        std::memcpy(message.szRetPipeName, name.data(), name.size());

        CIpmiPipe pipe;
        pipe.InitPipe(name);
        if (pipe.ConnectPipe() != 0)
            return IPMI_PIPE_FAILED;
        if (::mkfifo(pipe.szRetPipeName.c_str(), 0700) != 0)
            return IPMI_PIPE_FAILED;

        ResponseBlock reply{};
        const ssize_t got = exchange(pipe, message, reply);
        pipe.DisconnectPipe();
        ::unlink(pipe.szRetPipeName.c_str());
        if (got < static_cast<ssize_t>(kResponseHeaderBytes))
            return IPMI_PIPE_FAILED;

        // Never more than the reply carries, the data field holds or the caller's buffer takes.
        const size_t carried = static_cast<size_t>(got) - kResponseHeaderBytes;
        size_t count = std::min<size_t>({reply.cbData, carried, sizeof reply.data});
        count = sdData.pb ? std::min<size_t>(count, sdData.cb) : 0;
        if (count)
            std::memcpy(sdData.pb, reply.data, count);
        if (pcbDataRet)
            *pcbDataRet = static_cast<unsigned int>(count);
        return reply.status;
    });
}
