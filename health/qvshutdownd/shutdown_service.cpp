#include "shutdown_service.h"

#include "log_print.h"
#include "log_sink.h"
#include "mgmtctl.h"
#include "sandbox_path.h"
#include "service_daemon.h"

#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

constexpr unsigned char kShutdownSensorType = 0xC9;

long secondMs() { return qv::secondMsFromEnv(kShutdownSecondMsEnv); }

// The stop signal that arrived, or nullptr.
const char* stopSignal()
{
    if (qv::takeSignal(SIGTERM)) return "SIGTERM";
    if (qv::takeSignal(SIGINT)) return "SIGINT";
    return nullptr;
}

// Waits one of the service's seconds; the name of a stop signal that ended it, else nullptr.
const char* waitSecond()
{
    qv::waitForSignal(secondMs());
    return stopSignal();
}

// The controller's SEL time of its last addition, as a true time; false when it cannot be read.
bool readStartMark(unsigned long& mark)
{
    if (RetryMMC_OpenDevice() != 0) {
        LogPrint(LOG_WARNING, "RetryMMC_OpenDevice() failed\n");
        return false;
    }
    unsigned char version = 0, operations = 0;
    unsigned short count = 0, freeSpace = 0;
    unsigned long addTime = 0, eraseTime = 0;
    const bool read = MMC_GetSELInfo(&version, &count, &freeSpace, &addTime, &eraseTime, &operations) == 0;
    if (!read) LogPrint(LOG_WARNING, "MMC_GetSELInfo() failed\n");
    if (RetryMMC_CloseDevice() != 0) {
        LogPrint(LOG_WARNING, "RetryMMC_CloseDevice() failed\n");
        return false;
    }
    mark = static_cast<unsigned long>(ConvertHWLogTime(static_cast<long>(addTime)));
    return read;
}

// Runs the restart command without a shell and waits for it; its result is not looked at.
void runShutdownCommand()
{
    const std::string path = qv::sandboxPath(kShutdownCommand);
    const pid_t pid = ::fork();
    if (pid == 0) {
        char* const argv[] = {const_cast<char*>(kShutdownCommand), const_cast<char*>("-t"), const_cast<char*>("15"),
                              const_cast<char*>("-r"), const_cast<char*>("now"), nullptr};
        ::execv(path.c_str(), argv);
        ::_exit(127);
    }
    if (pid > 0)
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
}

int serviceExit(const char* signal)
{
    LogPrint(LOG_INFO, "Signal %s received\n", signal);
    LogPrint(LOG_WARNING, "service exiting...\n");
    return 0;
}

} // namespace

bool IsShutdownEvent(const Sel& r)
{
    if (r.sensorType != kShutdownSensorType) return false;
    const bool form = (r.eventVersion == 2 && r.eventTrigger == 0xE7) || (r.eventVersion == 3 && r.eventTrigger == 0x6F);
    const int offset = r.eventData1 & 0x0F;
    return form && (offset == 7 || offset == 8);
}

int runShutdownService()
{
    if (!detachService(kOwnerOnlyUmask)) return 1;
    qv::logOpen("qvshutdownd", LOG_DAEMON);
    for (const auto& [signo, name] : {std::pair{SIGINT, "SIGINT"}, std::pair{SIGTERM, "SIGTERM"}})
        if (!qv::installFlagHandler(signo)) LogPrint(LOG_WARNING, "%s Signal handler installation failed (%d)", name, errno);

    unsigned long startMark = 0;
    if (!readStartMark(startMark)) return 0;
    while (true) {
        EvtStruct event{};
        // A record whose cursor could not be saved (a full disk) still counts: a shutdown request
        // must not wait for disk space.
        const int read = QVEL_ReadNextUnseenEvent(&event, kShutdownCursor);
        if ((read == 0 || read == QVEL_ERR_FAILED) && IsShutdownEvent(event.selEntry) &&
            event.selEntry.timestamp > startMark) {
            if (const char* signal = waitSecond()) return serviceExit(signal);
            runShutdownCommand();
        }
        if (const char* signal = waitSecond()) return serviceExit(signal);
    }
}
