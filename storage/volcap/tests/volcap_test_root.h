// A sandbox root for the volume capacity programs: a supported model, the registry values that
// place the files in /usr/qvserver/etc, a mount table and the file status stand-in with two
// fixed-disk volumes (/ on sda1 at 75 %, /home on sdb1 at 50 %), and a log file to assert on.
#pragma once

#include <sys/sysmacros.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "registry.h"
#include "temp_root.h"
#include "volcap_files.h"

namespace volcaptest {

inline const std::string kDir = "/usr/qvserver/etc/";

inline std::string deviceLine(const char* path, unsigned major, unsigned minor)
{
    return std::string("device ") + path + " " + std::to_string(makedev(major, minor)) + "\n";
}

// Mount stand-in line: 4096-byte blocks.
inline std::string mountLine(const char* path, unsigned major, unsigned minor, uint64_t blocks,
                             uint64_t freeBlocks)
{
    return std::string("mount ") + path + " " + std::to_string(makedev(major, minor)) + " 4096 " +
           std::to_string(blocks) + " " + std::to_string(freeBlocks) + "\n";
}

class VolcapRoot {
public:
    VolcapRoot() : logEnv_("QV_LOG_FILE", root.at("/qv.log").c_str())
    {
        const uint32_t model = 55;
        SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model);
        setText(kRegKeyGlobalPath, "/usr/qvserver/etc");
        setText(kRegKeyCfgFile, "qvvolcap.cfg");
        root.writeFile("/etc/mtab", "/dev/sda1 / ext2 rw 0 0\n"
                                    "none /proc proc rw 0 0\n"
                                    "/dev/sdb1 /home ext2 rw 0 0\n");
        setVolumes(1000, 250, 1000, 500);
        LoadVolcapFilenames();
    }

    // Free blocks of / and /home (1000 blocks of 4 KiB each).
    void setVolumes(uint64_t rootBlocks, uint64_t rootFree, uint64_t homeBlocks,
                    uint64_t homeFree) const
    {
        root.writeFile("/var/qvsim/volumes",
                       deviceLine("/dev/sda1", 8, 1) + deviceLine("/dev/sdb1", 8, 17) +
                           mountLine("/", 8, 1, rootBlocks, rootFree) +
                           mountLine("/home", 8, 17, homeBlocks, homeFree));
    }

    // Percentage used of / (1000 blocks).
    void setRootPercent(int pct) const { setVolumes(1000, 1000 - 10 * pct, 1000, 500); }

    std::string file(const std::string& name) const
    {
        return root.exists(kDir + name) ? root.readFile(kDir + name) : std::string();
    }
    bool exists(const std::string& name) const { return root.exists(kDir + name); }
    std::string log() const { return root.exists("/qv.log") ? root.readFile("/qv.log") : ""; }

    qv::test::TempRoot root;

private:
    static void setText(const char* key, const char* text)
    {
        SetRegData(key, text, static_cast<unsigned long>(std::strlen(text)));
    }

    qv::test::ScopedEnv logEnv_;
};

} // namespace volcaptest
