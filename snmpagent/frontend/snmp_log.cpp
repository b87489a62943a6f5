#include "snmp_log.h"

#include <cstdarg>

#include "log_sink.h"

void log(int type, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    qv::logFormatted(type | LOG_DAEMON, fmt, args);
    va_end(args);
}
