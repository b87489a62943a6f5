// INQUIRY data of any length from a generic SCSI node: the input gives the SCSI, host and driver
// statuses, the sense bytes, and the data the target sends back (shorter or longer than asked).
// The channel scan and the adapter's sense accessor run on it.
#include "fuzz_root.h"

#include <adapter_list.h>
#include <driver_iface.h>
#include <linux_adapter.h>
#include <scsi_payload.h>

#include <cstring>

namespace {

namespace payload = qv::devsock::scsi;

struct Script {
    uint8_t scsiStatus = 0;
    uint16_t hostStatus = 0, driverStatus = 0;
    uint8_t senseWritten = 0;
    std::string_view sense, data;
};

int answer(const Script& script, int node, const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply) {
    if (request.code == payload::kSgGetScsiId) {
        if (node >= 4)
            return ENXIO;
        payload::ScsiIdReply id{};
        id.scsiId = node;   // host 0, channel 0: targets 0 to 3
        reply.dataIn.resize(sizeof id);
        std::memcpy(reply.dataIn.data(), &id, sizeof id);
        return 0;
    }
    payload::SgIoStatusFields status{};
    status.status = script.scsiStatus;
    status.hostStatus = script.hostStatus;
    status.driverStatus = script.driverStatus;
    status.senseWritten = script.senseWritten;
    reply.status.resize(request.statusLength);
    std::memcpy(reply.status.data(), &status, std::min(sizeof status, reply.status.size()));
    if (reply.status.size() > sizeof status)
        std::memcpy(reply.status.data() + sizeof status, script.sense.data(),
                    std::min(script.sense.size(), reply.status.size() - sizeof status));
    reply.dataIn.assign(script.data.begin(), script.data.end());
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qv::fuzz::privateRoot();
    qv::fuzz::InputCursor in(data, size);
    Script script;
    script.scsiStatus = in.u8();
    script.hostStatus = in.u8() & 3;
    script.driverStatus = in.u8() & 0x0F;
    script.senseWritten = in.u8();
    script.sense = in.take(32);
    script.data = in.rest();
    SetDiskbusChannelFactoryForTests([&](const std::string& path) {
        const int node = std::atoi(path.c_str() + std::strlen("/dev/sg"));
        return std::make_unique<qv::devsock::ScriptedChannel>(
            [&script, node](const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply) {
                return answer(script, node, request, reply);
            });
    });

    ResetDiskbusStateForTests();
    {
        CLinuxScsiAdapter adapter(0, 49152);
        adapter.SetChannelCount(1);
        uint16_t added = 0;
        adapter.Channel(0)->DetermineTargets(&added);
        InquireTarget(adapter, 0, 1);
        sdType sense{};
        if (adapter.GetSenseData(&sense) && sense.cb > CLinuxScsiAdapter::kSgIoSenseLength)
            __builtin_trap();
    }
    ResetDiskbusStateForTests();
    SetDiskbusChannelFactoryForTests({});
    return 0;
}
