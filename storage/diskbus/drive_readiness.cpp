#include "drive_readiness.h"
#include "library_boundary.h"

#include "adapter_list.h"
#include "drive_commands.h"
#include "raid_query.h"
#include "scsi_adapter.h"
#include "volume_map.h"

#include <sandbox_path.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

constexpr uint8_t kMediumNotPresent = 0x3A;
constexpr size_t kTestFileBytes = 512;

// The status of a CHECK CONDITION with the drive's ASC and ASCQ folded in; *absent when the
// medium is missing (then the status is 0).
uint32_t codedStatus(CScsiAdapter& adapter, uint32_t status, bool* absent) {
    sdType sense{};
    if (status != SCSI_CHECK_CONDITION || !adapter.GetSenseData(&sense) || sense.pb == nullptr || sense.cb <= 14)
        return status;
    const uint8_t asc = sense.pb[12], ascq = sense.pb[13];
    if (asc == kMediumNotPresent) {
        *absent = true;
        return 0;
    }
    return SCSI_CHECK_CONDITION | (uint32_t(asc) << 24) | (uint32_t(ascq) << 16);
}

uint32_t fileTestAt(const std::string& path) {
    // Opened without following links: a link planted on a user-writable volume must not make
    // this process read, create or overwrite a file elsewhere.
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        uint8_t buffer[kTestFileBytes];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        const int error = got < 0 ? errno : got == 0 ? EIO : 0;
        ::close(fd);
        return uint32_t(error);
    }
    if (errno != ENOENT)
        return uint32_t(errno);
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return uint32_t(errno);
    uint8_t pattern[kTestFileBytes];
    for (size_t i = 0; i < sizeof pattern; ++i)
        pattern[i] = uint8_t(i);
    const ssize_t put = ::write(fd, pattern, sizeof pattern);
    int error = put < 0 ? errno : put != ssize_t(sizeof pattern) ? EIO : 0;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    ::unlink(path.c_str());
    return uint32_t(error);
}

} // namespace

uint32_t DoFileIO(uint32_t mask) {
    if (mask == 0)
        return ERR_EMPTY_MASK;
    const char* mount = VolumeMountPoint(unsigned(__builtin_ctz(mask)));
    if (mount == nullptr)
        return ERR_INDEX_OUT_OF_RANGE;
    std::string point(mount);
    point = point.substr(0, point.find(' '));
    return fileTestAt(qv::sandboxPath(point + "/./.qvtest.dat"));
}

extern "C" {

uint32_t BasicSCSITest(CScsiAdapter* adapter, unsigned channel, unsigned target, unsigned* stage) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        *stage = 0;
        uint32_t status = PingDrive(*adapter, channel, target);
        if (status != 0)
            return status;
        const uint8_t* inquiry = adapter->GetpDataRet(false);
        const bool disk = (inquiry[0] & 0x1F) == 0 && adapter->idMfg != kAdapterClassIdeScsi;
        *stage = 1;
        bool absent = false;
        status = codedStatus(*adapter, TestUnitReady(*adapter, channel, target), &absent);
        if (status != 0)
            return status;
        *stage = 2;
        if (!disk || absent)
            return 0;
        status = MakeDriveActivity(*adapter, channel, target);
        if (status != 0)
            return status;
        *stage = 3;
        return 0;
    });
}

uint32_t GetDriveStatus(unsigned adapterNo, unsigned channel, unsigned target, int* stage) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        int ignored = 0;
        int& out = stage != nullptr ? *stage : ignored;
        out = 0;
        if (GetNumberOfAdapters() == 0 || adapterNo >= kMaxAdapters)
            return ERR_ADAPTER_NOT_FOUND;
        CScsiAdapter* adapter = FindAdapter(kAdapterClassNone, adapterNo);
        if (adapter == nullptr)
            return ERR_ADAPTER_NOT_FOUND;
        unsigned basic = 0;
        uint32_t status = BasicSCSITest(adapter, channel, target, &basic);
        out = int(basic);
        if (status != 0 || basic < 3)
            return status;
        SCSIAddressType address;
        adapter->GetScsiAddr(&address, channel, target);
        const uint32_t mask = GetDrivesMask(address);
        if (mask == 0)
            return 0;
        out = 4;
        int state = 0;
        if (GetDiskRaidStatus(address, &state) != 0 || (state != LDOnLine && state != LDDegraded && state != LDRebuild))
            return 0;
        status = DoFileIO(mask);
        if (status == 0)
            out = 5;
        return status;
    });
}

} // extern "C"
