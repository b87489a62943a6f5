#include "service_startup.h"

#include <cerrno>
#include <cstdio>
#include <syslog.h>

#include "identify.h"
#include "log_print.h"
#include "log_sink.h"
#include "service_daemon.h"

int startIdentifiedService(const char* szProgramName)
{
    unsigned long model = 0;
    if (IdentifyVelkarnReg(&model) != 0) {
        std::fputs(kMsgNotQvSystem, stdout);
        return 1;
    }
    if (!IsProgramModelCode(model)) {
        std::fputs(kMsgNotSupportedVelkarn, stdout);
        return 1;
    }
    if (!detachService()) {
        std::fprintf(stderr, "%s: error trying to go background\n", szProgramName);
        return 1;
    }
    qv::logOpen(szProgramName, LOG_DAEMON);
    if (!installStopHandlers()) LogPrint(LOG_WARNING, "Signal handler installation failed (%d)", errno);
    return -1;
}
