#include "log_print.h"

#include <cstdarg>
#include <cstdlib>
#include <syslog.h>

#include "log_sink.h"

void LogPrint(int nLevel, const char* szFormat, ...)
{
    va_list args;
    va_start(args, szFormat);
    qv::logFormatted(nLevel | LOG_DAEMON, szFormat, args);
    va_end(args);
    if (nLevel == LOG_CRIT) std::exit(1);
}
