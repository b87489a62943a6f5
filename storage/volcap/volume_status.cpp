#include "volume_status.h"

#include <sys/stat.h>
#include <sys/statfs.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sandbox_path.h"

namespace volcap {
namespace {

enum class StandIn { NotUsed, Found, Missing };

// The numbers of the stand-in line "KIND PATH n...", when the stand-in file is in use.
StandIn standInNumbers(const char* kind, const std::string& path, uint64_t* numbers, int count)
{
    if (qv::sandboxRoot().empty()) return StandIn::NotUsed;
    std::ifstream in(qv::sandboxPath("/var/qvsim/volumes"));
    if (!in) return StandIn::NotUsed;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string lineKind;
        std::string linePath;
        if (!(words >> lineKind >> linePath) || lineKind != kind || linePath != path) continue;
        for (int i = 0; i < count; ++i) {
            std::string word;
            words >> word;
            numbers[i] = std::strtoull(word.c_str(), nullptr, 0);
        }
        return StandIn::Found;
    }
    errno = ENOENT;
    return StandIn::Missing;
}

} // namespace

bool deviceNodeNumber(const std::string& path, uint64_t& rdev)
{
    uint64_t number = 0;
    switch (standInNumbers("device", path, &number, 1)) {
    case StandIn::Found: rdev = number; return true;
    case StandIn::Missing: return false;
    case StandIn::NotUsed: break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    rdev = st.st_rdev;
    return true;
}

bool mountPointStatus(const std::string& path, MountStatus& status)
{
    uint64_t numbers[4] = {};
    switch (standInNumbers("mount", path, numbers, 4)) {
    case StandIn::Found:
        status = {numbers[0], numbers[1], numbers[2], numbers[3]};
        return true;
    case StandIn::Missing: return false;
    case StandIn::NotUsed: break;
    }
    struct statfs fs {};
    struct stat st {};
    if (::statfs(path.c_str(), &fs) != 0 || ::stat(path.c_str(), &st) != 0) return false;
    status.device = st.st_dev;
    status.blockSize = static_cast<uint64_t>(fs.f_bsize);
    status.blocks = fs.f_blocks;
    status.freeBlocks = fs.f_bfree;
    return true;
}

} // namespace volcap
