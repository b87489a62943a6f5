// The client side of the restart timer exchange.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "asr_params.h"
#include "process_lock.h"
#include "sandbox_path.h"
#include "snmp_log.h"
#include "unix_dgram_socket.h"

namespace {

constexpr int kDefaultReplyMs = 15000;

int replyWaitMs()
{
    const char* text = std::getenv("QV_ASR_REPLY_MS");
    const int ms = text ? std::atoi(text) : 0;
    return ms > 0 ? ms : kDefaultReplyMs;
}

int exchange(AGT_MSG_TYPE msgtype, const void* msgdata)
{
    const std::string clientPath = qv::sandboxPath(kAsrAgentSocketPath);
    UnixDgramSocket socket;
    if (!socket.create(clientPath.c_str(), static_cast<int>(clientPath.size()) + 1)) {
        log(LOG_WARNING, "CommunicateWithAsrSrvc() - %s\n", socket.get_error());
        return 0;
    }
    AGT_MSG message{};
    if (msgtype == HWTIMEOUT_AGT_MSG || msgtype == SWPOLLTIME_AGT_MSG || msgtype == ACTION_AGT_MSG) {
        message.type = msgtype;
        std::memcpy(&message.data, msgdata, sizeof message.data);
    } else {
        message.type = NULL_MSG;
    }
    if (!socket.send_to(qv::sandboxPath(kKickTimerSocketPath).c_str(), &message, sizeof message)) {
        log(LOG_WARNING, "CommunicateWithAsrSrvc() - %s\n", socket.get_error());
        return 0;
    }
    char reply[50];
    const int waitMs = replyWaitMs();
    if (socket.wait_msg(waitMs / 1000, (waitMs % 1000) * 1000) != 0 || socket.recv_from(reply, sizeof reply) != 0 ||
        std::memcmp(reply, kAsrServiceOk, sizeof kAsrServiceOk) != 0) {
        log(LOG_WARNING, "CommunicateWithAsrSrvc() - service did not sent the apropriate msg\n");
        return 0;
    }
    return 1;
}

} // namespace

int CommunicateWithAsrSrvc(AGT_MSG_TYPE msgtype, void* msgdata)
{
    // Every client binds the same reply path: one exchange at a time.
    const int lock = qv::lockFileAcquire(qv::sandboxPath(kAsrAgentLockPath), kAsrClientLockMs);
    if (lock < 0) {
        log(LOG_WARNING, "CommunicateWithAsrSrvc() - %s\n", std::strerror(errno));
        return 0;
    }
    const int done = exchange(msgtype, msgdata);
    qv::lockFileRelease(lock);
    return done;
}
