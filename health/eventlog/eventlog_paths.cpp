// Where the event log's files live: below the system root, itself below the sandbox root.
#include "eventlog_internal.h"

#include "library_boundary.h"
#include "sandbox_path.h"

namespace qv::eventlog {

namespace {
constexpr char kSystemRoot[] = "/usr/qvserver/etc/";

// The getters hand out C strings; each keeps its own text alive until its next call. The path
// is built on every call because the sandbox root is read lazily; when it cannot be built the
// getter hands out "", which names no file.
const char* keep(std::string& holder, std::string path)
{
    holder = std::move(path);
    return holder.c_str();
}
} // namespace

std::string systemRootPath() { return qv::sandboxPath(kSystemRoot); }
std::string softLogPath() { return systemRootPath() + "evtlog.dat"; }
std::string softLogBackupPath() { return systemRootPath() + "evtlog.bak"; }
std::string settingsPath() { return systemRootPath() + "qveventlog.cfg"; }
std::string lockPath() { return systemRootPath() + "eventlog.lck"; }

} // namespace qv::eventlog

using namespace qv::eventlog;

extern "C" const char* GetSystemRoot(void)
{
    static std::string path;
    return qv::catchAtBoundary("", [] { return keep(path, systemRootPath()); });
}

extern "C" const char* GetSoftLogFile(void)
{
    static std::string path;
    return qv::catchAtBoundary("", [] { return keep(path, softLogPath()); });
}

extern "C" const char* GetSoftLogBackupFile(void)
{
    static std::string path;
    return qv::catchAtBoundary("", [] { return keep(path, softLogBackupPath()); });
}

extern "C" const char* GetSoftConfigFile(void)
{
    static std::string path;
    return qv::catchAtBoundary("", [] { return keep(path, settingsPath()); });
}

extern "C" const char* GetEventSpecFile(void)
{
    static std::string path;
    return qv::catchAtBoundary("", [] { return keep(path, systemRootPath() + "evtspec.cfg"); });
}
