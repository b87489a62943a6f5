// SAF-TE buffers of any content from an enclosure processor at host 0, channel 0, id 6: the input
// gives the INQUIRY reply, then the configuration (buffer 0), the enclosure status (buffer 1) and
// the slot status (buffer 4), each as [length byte][that many bytes] (shorter or longer than
// asked). The enclosure list is built over them, the descriptor read, a slot changed, the LED
// test run and the list released with a reset; the counts the buffers give must never lead past
// the data.
#include "fuzz_root.h"

#include <adapter_list.h>
#include <bayswap_clock.h>
#include <cage_list.h>
#include <driver_iface.h>
#include <safte.h>
#include <scsi_lookup.h>
#include <scsi_payload.h>

#include <cstring>
#include <string>

namespace {

namespace payload = qv::devsock::scsi;

constexpr char kProcScsi[] =
    "Attached devices: \n"
    "Host: scsi0 Channel: 00 Id: 06 Lun: 00\n"
    "  Vendor: QVENCL   Model: BACKPLANE        Rev: 1.10\n"
    "  Type:   Processor                        ANSI SCSI revision: 02\n";

struct Script {
    std::string_view inquiry, configuration, status, slots;
};

std::string_view replyFor(const Script& script, const uint8_t* cdb, size_t length)
{
    if (length == 0) return {};
    if (cdb[0] == 0x12) return script.inquiry;
    if (cdb[0] == 0x3C && length > 2) {
        if (cdb[2] == 0) return script.configuration;
        if (cdb[2] == 1) return script.status;
        if (cdb[2] == 4) return script.slots;
    }
    return {};
}

int answer(const Script& script, const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply)
{
    if (request.code == payload::kSgGetScsiId) {
        payload::ScsiIdReply id{};
        id.scsiId = 6;
        id.scsiType = 3;
        reply.dataIn.resize(sizeof id);
        std::memcpy(reply.dataIn.data(), &id, sizeof id);
        return 0;
    }
    if (request.code != payload::kSgIo || request.dataOut.size() < sizeof(payload::SgIoRequestFields)) return ENXIO;
    payload::SgIoRequestFields fields{};
    std::memcpy(&fields, request.dataOut.data(), sizeof fields);
    const size_t cdbLength = std::min<size_t>(fields.cmdLength, request.dataOut.size() - sizeof fields);
    const std::string_view data = replyFor(script, request.dataOut.data() + sizeof fields, cdbLength);
    reply.status.assign(request.statusLength, 0);
    reply.dataIn.assign(data.begin(), data.end());
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool machine = [] {
        qv::fuzz::privateRoot();
        qv::fuzz::writeRootFile("/proc/scsi/scsi", kProcScsi, sizeof kProcScsi - 1);
        qv::fuzz::writeRootFile("/proc/scsi/aic7xxx/0", "aic7xxx\n", 8);
        qv::fuzz::writeRootFile("/var/qvsim/uname", "2.4.20\n", 7);
        return true;
    }();
    (void)machine;
    qv::fuzz::InputCursor in(data, size);
    Script script;
    script.inquiry = in.take(in.u8());
    script.configuration = in.take(in.u8());
    script.status = in.take(in.u8());
    script.slots = in.rest();
    SetDiskbusChannelFactoryForTests([&script](const std::string&) {
        return std::make_unique<qv::devsock::ScriptedChannel>(
            [&script](const qv::devsock::ChannelRequest& request, qv::devsock::ChannelReply& reply) {
                return answer(script, request, reply);
            });
    });
    uint64_t now = 1000;
    SetBayswapClockForTests([&now] { return now; });
    SetBayswapSleepForTests([&now](std::chrono::milliseconds pause) { now += uint64_t(pause.count()); });

    unsigned units = 0;
    if (BuildSAFteList(1, &units) == 0) {
        CageDescType desc{};
        if (GetSAFteInfo(0, &desc) == 0 && desc.nBays > kCageBaysMax) __builtin_trap();
        now += 1000;
        AdjustSlotState(0, 0, ledFAILURE);
        LEDSeverity severity;
        int inserted;
        GetSlotState(0, desc.nBays ? desc.nBays - 1u : 0u, &severity, &inserted);
        LEDTestPattern(0);
    }
    ReleaseSAFteList(1);
    ResetBayswapStateForTests();
    ResetDiskbusStateForTests();
    ResetScsiListsForTests();
    SetDiskbusChannelFactoryForTests({});
    return 0;
}
