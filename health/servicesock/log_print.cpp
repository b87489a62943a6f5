#include "log_print.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <syslog.h>

#include "log_sink.h"

void LogPrint(int nLevel, const char* szFormat, ...)
{
    char text[256];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(text, sizeof text, szFormat, args);
    va_end(args);
    qv::logWrite(nLevel | LOG_DAEMON, text);
    if (nLevel == LOG_CRIT) std::exit(1);
}
