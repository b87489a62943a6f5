// Stand-in for the component registration library: records every call for tests.
#include "qvcomponents_standin.h"

#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {
void record(const char* call, const EntityInfo& info)
{
    const char* path = std::getenv(kComponentsLogEnv);
    if (!path || !*path)
        return;
    ComponentCall entry{};
    std::strncpy(entry.szCall, call, sizeof entry.szCall - 1);
    entry.info = info;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640);
    if (fd < 0)
        return;
    (void)!::write(fd, &entry, sizeof entry);   // one append per call keeps records whole
    ::close(fd);
}
} // namespace

extern "C" int RegisterComponent(EntityInfo info)
{
    record("register", info);
    const char* result = std::getenv(kComponentsRegisterResultEnv);
    return result && *result ? std::atoi(result) : 0;
}

extern "C" int UpdateComponent(EntityInfo info)
{
    record("update", info);
    return 0;
}
