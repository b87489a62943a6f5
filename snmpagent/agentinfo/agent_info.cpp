#include "agent_info.h"

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "registry.h"

namespace qv::inventory {

std::string readRegistryText(const char* fullKey, unsigned bufferSize)
{
    if (bufferSize < 2) return {};
    std::vector<char> buffer(bufferSize, '\0');
    if (GetRegData(fullKey, buffer.data(), bufferSize - 1) != 0) return {};
    buffer.back() = '\0';
    return std::string(buffer.data());
}

std::optional<std::vector<unsigned char>> programFileDate(const std::string& path, unsigned count)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    const bool examined = fstat(fd, &st) == 0;
    close(fd);
    struct tm local {};
    if (!examined || localtime_r(&st.st_mtime, &local) == nullptr) return std::nullopt;
    const int fields[] = {local.tm_year, local.tm_mon + 1, local.tm_mday,
                          local.tm_hour, local.tm_min,     local.tm_sec};
    std::vector<unsigned char> bytes(count, 0);
    for (unsigned i = 0; i < count && i < 6; ++i) bytes[i] = static_cast<unsigned char>(fields[i]);
    return bytes;
}

} // namespace qv::inventory
