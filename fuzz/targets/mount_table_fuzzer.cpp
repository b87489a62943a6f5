// The mount table as the volume map reads it: the input is /etc/mtab below the root. Every line's
// two words must come out bounded and without blanks; the map never holds more than 32 entries,
// and the mask and label functions stay within their buffers.
#include "fuzz_root.h"

#include <adapter_list.h>
#include <diskbus_clock.h>
#include <driver_iface.h>
#include <qvdiskbus.h>
#include <scsi_payload.h>
#include <volume_map.h>

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qv::fuzz::privateRoot();
    // Every device node answers as the disk 0:0:0 of host 0, so each line that parses is mapped.
    SetDiskbusChannelFactoryForTests([](const std::string&) {
        return std::make_unique<qv::devsock::ScriptedChannel>(
            [](const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply) {
                reply.dataIn.assign(request.dataInCapacity, 0);
                return 0;
            });
    });
    qv::fuzz::writeRootFile("/etc/mtab", data, size);

    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        std::string device, mount;
        if (ParseMountLine(line.c_str(), device, mount)) {
            if (device.empty() || mount.empty() || device.size() > 255 || mount.size() > 255 ||
                device.find_first_of(" \t\n") != std::string::npos || mount.find_first_of(" \t\n") != std::string::npos)
                __builtin_trap();
        }
        start = end + 1;
    }

    ResetVolumeMapForTests();
    const uint32_t mask = GetDrivesMask({0, 0, 0});
    for (unsigned i = 0; i < 32; ++i)
        if (((mask >> i) & 1) != 0 && VolumeMountPoint(i) == nullptr)
            __builtin_trap();
    if (VolumeMountPoint(32) != nullptr)
        __builtin_trap();
    char text8[8];
    ScsiDecodeDriveMask(0xFFFFFFFFu, text8, sizeof text8);
    if (std::memchr(text8, '\0', sizeof text8) == nullptr)
        __builtin_trap();
    GetMaskLabel(mask | 1u, text8, sizeof text8);
    if (std::memchr(text8, '\0', sizeof text8) == nullptr)
        __builtin_trap();
    if (const char* first = VolumeMountPoint(0))
        ScsiEncodeDriveLabel(first);

    ResetVolumeMapForTests();
    SetDiskbusChannelFactoryForTests({});
    return 0;
}
