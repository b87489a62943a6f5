#include "sandbox_path.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace qv {

std::string sandboxRoot()
{
    const char* root = std::getenv("QV_ROOT");
    if (root == nullptr || *root == '\0') return {};
    std::string text(root);
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

std::string sandboxPath(std::string_view absolutePath)
{
    if (absolutePath.empty() || absolutePath.front() != '/') return std::string(absolutePath);
    return sandboxRoot() + std::string(absolutePath);
}

bool makeUnixAddress(const std::string& resolvedPath, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (resolvedPath.empty() || resolvedPath.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, resolvedPath.data(), resolvedPath.size());
    return true;
}

} // namespace qv
