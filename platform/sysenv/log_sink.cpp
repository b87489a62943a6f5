#include "log_sink.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <syslog.h>
#include <unistd.h>

namespace qv {
namespace {

std::string& identity()
{
    static std::string ident;
    return ident;
}

const char* logFile()
{
    const char* path = std::getenv("QV_LOG_FILE");
    return (path != nullptr && *path != '\0') ? path : nullptr;
}

} // namespace

void logOpen(const char* ident, int facility)
{
    identity() = ident != nullptr ? ident : "";
    if (logFile() == nullptr) openlog(identity().c_str(), 0, facility);
}

void logWrite(int priority, const char* message)
{
    const char* path = logFile();
    if (path == nullptr) {
        syslog(priority, "%s", message);
        return;
    }
    // One write() per line with O_APPEND keeps lines of concurrent processes whole.
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640);
    if (fd < 0) return;
    std::string line = identity().empty() ? std::string() : identity() + ": ";
    line += message;
    line += '\n';
    ssize_t ignored = write(fd, line.data(), line.size());
    (void)ignored;
    close(fd);
}

void logFormatted(int priority, const char* format, va_list args)
{
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    for (size_t n = std::strlen(text); n > 0 && text[n - 1] == '\n'; --n) text[n - 1] = '\0';
    logWrite(priority, text);
}

} // namespace qv
