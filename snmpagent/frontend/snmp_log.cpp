#include "snmp_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "log_sink.h"

void log(int type, const char* fmt, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    // The messages keep their printf-style line end; the sinks add their own.
    for (size_t n = std::strlen(buffer); n > 0 && buffer[n - 1] == '\n'; --n) buffer[n - 1] = '\0';
    qv::logWrite(type | LOG_DAEMON, buffer);
}
