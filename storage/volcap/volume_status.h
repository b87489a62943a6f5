// The file status calls of volume discovery and capacity, behind one seam: the device number of
// a device node, and the device and block counts of a mount point.
//
// When QV_ROOT is set and the stand-in file $QV_ROOT/var/qvsim/volumes exists, answers come from
// it instead of the kernel. One entry per line, words separated by blanks, numbers in any
// strtoull base ("0x801" or "2049"):
//
//     device /dev/sda1 0x801                 device node: path and device number (st_rdev)
//     mount  /home 0x801 4096 1000 250       mount point: path, device number (st_dev),
//                                            block size, blocks, free blocks
//
// A path the file does not list fails like a missing one (ENOENT). Without the file the real
// stat and statfs calls are made on the paths as the mount table gives them.
#pragma once

#include <cstdint>
#include <string>

namespace volcap {

struct MountStatus {
    uint64_t device = 0;      // st_dev of the mount point
    uint64_t blockSize = 0;   // f_bsize
    uint64_t blocks = 0;      // f_blocks
    uint64_t freeBlocks = 0;  // f_bfree
};

// st_rdev of a device node; false when it cannot be stat'ed.
bool deviceNodeNumber(const std::string& path, uint64_t& rdev);
// stat and statfs of a mount point; false when either fails.
bool mountPointStatus(const std::string& path, MountStatus& status);

} // namespace volcap
