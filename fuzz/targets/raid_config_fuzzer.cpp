// The RAID configuration as a MegaRAID controller reports it: every management command is
// answered from the input (first byte: the card class asked for; second: the command status of
// the product data; the rest: the reply's data area), then the logical drives are queried. The
// counts the reply gives (drives, spans, stripes) must never lead past it.
#include "fuzz_root.h"

#include <ami_adapter.h>
#include <driver_iface.h>
#include <megaraid_payload.h>
#include <raid_info.h>

#include <cstring>

namespace {

constexpr size_t kHeader = 110;
constexpr size_t kStatusOffset = 41;
constexpr size_t kCommandOffset = 24;

std::unique_ptr<qv::devsock::DeviceChannel> scriptedController(uint8_t productStatus, std::string_view reply) {
    return std::make_unique<qv::devsock::ScriptedChannel>(
        [productStatus, reply](const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& answer) {
            if (request.code != qv::devsock::megaraid::kManagement || request.dataOut.size() < kHeader)
                return ENXIO;   // no generic node in this machine
            answer.status.assign(qv::devsock::megaraid::kStatusBytes, 0);
            answer.dataIn = request.dataOut;
            std::fill(answer.dataIn.begin() + kHeader, answer.dataIn.end(), 0);
            std::memcpy(answer.dataIn.data() + kHeader, reply.data(),
                        std::min(reply.size(), answer.dataIn.size() - kHeader));
            const bool productData = answer.dataIn[kCommandOffset] == 0xA1 && answer.dataIn[kCommandOffset + 2] == 0x0E;
            answer.dataIn[kStatusOffset] = productData ? productStatus : 0;
            return 0;
        });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qv::fuzz::privateRoot();
    qv::fuzz::InputCursor in(data, size);
    const uint8_t productStatus = in.u8() & 1;
    const std::string_view reply = in.rest();
    SetDiskbusChannelFactoryForTests(
        [&](const std::string&) { return scriptedController(productStatus, reply); });

    CAMIScsiAdapter controller(0, 49152);
    controller.adapter.Open("/dev/megadev0", 0);
    CAMIRaidInfo raid;
    raid.SetAdapter(&controller);
    char* firmware = nullptr;
    char* bios = nullptr;
    raid.GetAdapterVer(&firmware, &bios);
    for (unsigned i = 0; i < raid.nLogicalDrives + 1; ++i) {
        LDInfoType info;
        void* disks = nullptr;
        unsigned count = 0;
        raid.GetLDInfo(i, &info);
        if (raid.GetLDList(i, &disks, &count) == 0 && count > kMaxLDDisks)
            __builtin_trap();
        unsigned found;
        raid.FindLogicalDrive(raid.GetLDAddr(i), &found);
    }
    SetDiskbusChannelFactoryForTests({});
    return 0;
}
