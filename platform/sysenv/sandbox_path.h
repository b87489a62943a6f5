// Every fixed absolute path of the suite goes through sandboxPath(), so tests and the demo can
// run the whole system below a private root (QV_ROOT) on a machine without the server hardware.
#pragma once

#include <string>
#include <string_view>

struct sockaddr_un;

namespace qv {

// The root below which fixed paths are resolved: QV_ROOT when set and not empty, else "".
// Read on every call (cheap) so in-process tests can switch roots between fixtures.
std::string sandboxRoot();

// "/var/qvserver/registry.ini" -> "$QV_ROOT/var/qvserver/registry.ini" (unchanged when unset).
// Relative paths are returned as they are.
std::string sandboxPath(std::string_view absolutePath);

// Fills a Unix socket address for an already resolved path. Refuses (false, errno
// ENAMETOOLONG) a path that sun_path cannot hold, instead of truncating it.
bool makeUnixAddress(const std::string& resolvedPath, sockaddr_un& address);

} // namespace qv
