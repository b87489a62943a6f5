#include "volume_map.h"
#include "library_boundary.h"

#include "diskbus_clock.h"
#include "driver_iface.h"
#include "raid_query.h"

#include <sandbox_path.h>
#include <scsi_node_codec.h>
#include <scsi_payload.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr time_t kMapAge = 20;
constexpr size_t kWordMax = 255;

struct Volume {
    std::string strMount;
    SCSIAddressType addr;
};

struct CDriveInfo {
    std::vector<Volume> entries;
    time_t age = 0;
    bool built = false;
};

CDriveInfo& driveInfo() {
    static CDriveInfo map;
    return map;
}

const qv::devsock::scsi::NodeCodec& blockCodec() {
    static const qv::devsock::scsi::NodeCodec codec;
    return codec;
}

bool deviceAddress(const std::string& device, SCSIAddressType* address) {
    CDriverIFace node(blockCodec());
    // Only the address is asked: a medium that cannot be written still answers.
    if (node.Open(device.c_str(), kDriverOpenReadOnly) != 0)
        return false;
    namespace payload = qv::devsock::scsi;
    qv::devsock::ChannelReply idLun, bus;
    const bool ok = node.Exchange({payload::kGetIdLun, {}, 8, 0}, idLun) == 0 && idLun.dataIn.size() >= 8 &&
                    node.Exchange({payload::kGetBusNumber, {}, 4, 0}, bus) == 0 && !bus.dataIn.empty();
    node.Close();
    if (!ok)
        return false;
    address->idTarget = idLun.dataIn[0];
    address->idChannel = idLun.dataIn[2];
    address->idAdapter = bus.dataIn[0];
    return true;
}

void addEntry(CDriveInfo& map, const std::string& mount, SCSIAddressType address) {
    for (const Volume& v : map.entries)
        if (v.strMount == mount && v.addr == address)
            return;
    if (map.entries.size() < kMaxVolumes)
        map.entries.push_back({mount, address});
}

} // namespace

bool ParseMountLine(const char* line, std::string& device, std::string& mountPoint) {
    // Widths are bounded: a word longer than the room is refused, not copied past it.
    char first[kWordMax + 1], second[kWordMax + 1];
    if (std::sscanf(line, "%255s %255s", first, second) != 2)
        return false;
    if (std::strlen(first) >= kWordMax || std::strlen(second) >= kWordMax)
        return false;
    device = first;
    mountPoint = second;
    return true;
}

uint32_t BuildDriveList() {
    CDriveInfo& map = driveInfo();
    const time_t now = DiskbusNow();
    if (map.built && now - map.age < kMapAge)
        return 0;
    map.entries.clear();
    map.built = false;
    FILE* mtab = std::fopen(qv::sandboxPath("/etc/mtab").c_str(), "r");
    if (mtab == nullptr)
        return uint32_t(errno);
    char line[256];
    while (std::fgets(line, sizeof line, mtab) != nullptr) {
        // A line longer than the buffer counts by its start; its tail is no line of its own,
        // or the words of a long option field would be taken for a device and a mount point.
        if (std::strchr(line, '\n') == nullptr)
            for (int c = std::fgetc(mtab); c != EOF && c != '\n'; c = std::fgetc(mtab)) {
            }
        std::string device, mount;
        if (!ParseMountLine(line, device, mount))
            continue;
        SCSIAddressType address{};
        if (!deviceAddress(device, &address))
            continue;
        unsigned count = 0;
        SCSIAddressType members[kMaxMapDisks];
        if (GetLDDiskList(address, &count, members) == 0 && count > 0) {
            for (unsigned i = 0; i < count && i < kMaxMapDisks; ++i)
                addEntry(map, mount, members[i]);
        } else {
            addEntry(map, mount, address);
        }
    }
    std::fclose(mtab);
    map.age = now;
    map.built = true;
    return 0;
}

void ResetVolumeMapForTests() { driveInfo() = CDriveInfo{}; }

const char* VolumeMountPoint(unsigned index) {
    const auto& entries = driveInfo().entries;
    return index < entries.size() ? entries[index].strMount.c_str() : nullptr;
}

extern "C" {

uint32_t GetDrivesMask(SCSIAddressType address) {
    return qv::catchAtBoundary(0u, [&]() -> uint32_t {
        BuildDriveList();
        uint32_t mask = 0;
        const auto& entries = driveInfo().entries;
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].addr == address)
                mask |= 1u << i;
        return mask;
    });
}

uint32_t GetMaskLabel(uint32_t mask, char* label, unsigned length) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        if (mask == 0)
            return ERR_EMPTY_MASK;
        BuildDriveList();
        const char* mount = VolumeMountPoint(unsigned(__builtin_ctz(mask)));
        if (mount == nullptr)
            return ERR_INDEX_OUT_OF_RANGE;
        // Always terminated within `length`; nothing is written for 0.
        if (length > 0) {
            std::strncpy(label, mount, length - 1);
            label[length - 1] = '\0';
        }
        return 0;
    });
}

uint32_t GetLabelInstance(const char* mountPoint) {
    return qv::catchAtBoundary(255u, [&]() -> uint32_t {
        BuildDriveList();
        const auto& entries = driveInfo().entries;
        for (size_t i = 0; mountPoint != nullptr && i < entries.size(); ++i)
            if (entries[i].strMount == mountPoint)
                return uint32_t(i);
        return 255;
    });
}

} // extern "C"
