#include "memd_service.h"

#include "dimm_events.h"
#include "identify.h"
#include "log_print.h"
#include "log_sink.h"
#include "memd_answer.h"
#include "sandbox_path.h"
#include "service_daemon.h"
#include "service_socket.h"
#include "sysapi.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <syslog.h>

namespace {

// The module count needs the DMI table; without one there is nothing to count on.
std::optional<unsigned> memoryModuleCount() {
    try {
        const int total = SYSAPI_GetMemoryDeviceIndexTotal();
        return total < 0 ? 0u : static_cast<unsigned>(total);
    } catch (const SYSAPI_DmiBiosNotFound&) {
        return std::nullopt;
    }
}

void refreshData(DIMM_Evt& events, time_t& lastTime) {
    if (analysisDue(std::time(nullptr), lastTime, events.getRefreshTime())) events.AnalyzeEventLog();
}

void serveOne(CSocket& socket, const DIMM_Evt& events) {
    // One byte more than a request, so a longer datagram shows as one and is not answered as
    // its first 8 bytes; a shorter one would be answered from a half-filled request.
    char datagram[sizeof(MemdRequest) + 1] = {};
    int room = sizeof datagram;
    sockaddr_un sender{};
    int senderLen = sizeof sender;
    if (!socket.Read(datagram, &room, reinterpret_cast<sockaddr*>(&sender), &senderLen)) return;
    if (room != static_cast<int>(sizeof(MemdRequest))) return;
    MemdRequest request;
    std::memcpy(&request, datagram, sizeof request);
    int32_t reply = 0;
    if (!answerMemdRequest(events, request, &reply)) return;
    socket.Write(reinterpret_cast<const char*>(&reply), sizeof reply,
                 reinterpret_cast<const sockaddr*>(&sender), senderLen);
}

}  // namespace

int runMemdService() {
    if (!identifySupportedPlatform()) return 1;
    const std::optional<unsigned> total = memoryModuleCount();
    if (!total) {
        qv::logOpen("qvmemd", LOG_DAEMON);
        LogPrint(LOG_ERR, "No DMI table: memory modules cannot be counted");
        std::fputs("qvmemd: no DMI table\n", stderr);
        return 1;
    }
    DIMM_Evt events(readDimmRefreshSecs(), *total, eventLogDimmSource());

    if (!detachService()) {
        std::fputs("qvmemd: error trying to go background\n", stderr);
        return 1;
    }
    qv::logOpen("qvmemd", LOG_DAEMON);
    if (!installStopHandlers()) LogPrint(LOG_WARNING, "Signal handler installation failed (%d)", errno);

    CSocket socket(/*logFailures=*/false);
    if (!socket.Create(qv::sandboxPath(kMemdSocketPath).c_str())) {
        std::fputs("Could not start IPC channel.\n", stdout);
        return 1;
    }
    time_t lastTime = 0;
    while (serviceRunning()) {
        refreshData(events, lastTime);
        serveOne(socket, events);
    }
    socket.Destroy();
    return 0;
}
