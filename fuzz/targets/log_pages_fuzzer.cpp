// Replies of a drive to the library's page readers: every command to the one disk (host 0,
// channel 0, target 0) takes the next reply of the input — [SCSI status][sense length][sense]
// [data length, 2 bytes][data] — and then the exported calls that read log pages, sense data and
// mode pages run on them: failure prediction, the page searches, the asset-tag area, the
// self-test results and progress, the completion time and the format's mode page edit.
#include "fuzz_root.h"

#include <adapter_list.h>
#include <drive_commands.h>
#include <drive_id.h>
#include <driver_iface.h>
#include <qvdiskbus.h>
#include <scsi_lookup.h>
#include <scsi_payload.h>
#include <volume_map.h>

#include <cstring>

namespace {

namespace payload = qv::devsock::scsi;

int answer(qv::fuzz::InputCursor& in, int node, const qv::devsock::ChannelRequest& request,
           qv::devsock::ChannelReply& reply) {
    if (node != 0)
        return ENXIO;
    if (request.code == payload::kSgGetScsiId) {
        payload::ScsiIdReply id{};   // host 0, channel 0, target 0, a disk
        reply.dataIn.resize(sizeof id);
        std::memcpy(reply.dataIn.data(), &id, sizeof id);
        return 0;
    }
    if (request.code != payload::kSgIo)
        return EINVAL;
    payload::SgIoStatusFields status{};
    status.status = in.u8() & 0x3E;
    const std::string_view sense = in.take(in.u8() & 0x1F);
    status.senseWritten = uint8_t(sense.size());
    reply.status.assign(request.statusLength, 0);
    std::memcpy(reply.status.data(), &status, std::min(sizeof status, reply.status.size()));
    if (reply.status.size() > sizeof status)
        std::memcpy(reply.status.data() + sizeof status, sense.data(),
                    std::min(sense.size(), reply.status.size() - sizeof status));
    const std::string_view data = in.take(in.u16());
    reply.dataIn.assign(data.begin(), data.end());
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool machine = [] {
        qv::fuzz::privateRoot();
        qv::fuzz::writeRootFile("/proc/scsi/aic7xxx/0", "", 0);
        qv::fuzz::writeRootFile("/var/qvsim/uname", "2.4.20\n", 7);
        return true;
    }();
    (void)machine;
    qv::fuzz::InputCursor in(data, size);
    SetDiskbusChannelFactoryForTests([&](const std::string& path) {
        const int node = std::atoi(path.c_str() + std::strlen("/dev/sg"));
        return std::make_unique<qv::devsock::ScriptedChannel>(
            [&in, node](const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply) {
                return answer(in, node, request, reply);
            });
    });
    SetDiskbusSleepForTests([](std::chrono::milliseconds) {});
    ResetDiskbusStateForTests();
    ResetDriveTablesForTests();

    int value = 0;
    ScsiGetSmartState(0, 0, 0, &value);
    ScsiIsDstAvail(0, 0, 0);
    ScsiFindPage32(0, 0, 0);
    uint8_t area[700];
    ScsiReadLogPage32h(0, 0, 0, area, sizeof area);
    for (unsigned entry : {0u, 1u, 19u})
        ScsiGetDstResults(0, 0, 0, entry, &value);
    ScsiCheckDSTsense(0, 0, 0, &value);
    if (value < 0 || value > 99)
        __builtin_trap();
    ScsiGetCompletionTime(0, 0, 0, &value);
    ScsiDriveReadiness(0, 0, 0, &value);
    ScsiFormatDrive(0, 0, 0);

    LibraryShutdown();
    ResetDiskbusStateForTests();
    SetDiskbusSleepForTests({});
    SetDiskbusChannelFactoryForTests({});
    return 0;
}
