// The controller command library against a device that answers with the fuzz bytes: every
// length, completion code and echo of the answers. Input: command selector, four argument
// bytes, then the device's reply script (see scripted_devsock.h).
#include "fuzz_root.h"
#include "mgmtctl.h"
#include "pause_hook.h"
#include "scripted_devsock.h"

#include <cstdint>
#include <vector>

namespace {

struct Args {
    uint8_t a, b, c, d;
};

using UC = unsigned char;
using US = unsigned short;
using UL = unsigned long;

// Out-parameters of every shape; records are exactly their documented size.
struct Outs {
    UC c[8] = {};
    US s[6] = {};
    UL l[2] = {};
    int i = 0;
    char name[16] = {};
    std::vector<UC> sdr = std::vector<UC>(MMC_SDR_RECORD_SIZE);
    std::vector<UC> sel = std::vector<UC>(MMC_SEL_RECORD_SIZE);
    SDR* sdrRecord() { return reinterpret_cast<SDR*>(sdr.data()); }
    SEL* selRecord() { return reinterpret_cast<SEL*>(sel.data()); }
};

// Offset and length of a part of a record of `size` bytes, kept inside it as callers do.
int partOffset(const Args& x, int size) { return x.a % size; }
int partLength(const Args& x, int size) { return x.b % (size - partOffset(x, size) + 1); }

using Call = void (*)(const Args&, Outs&);

const Call kCalls[] = {
    [](const Args&, Outs& o) { MMC_GetKernelDriverVersion(o.name, o.name + 9, o.c, o.c + 1); },
    [](const Args&, Outs& o) { MMC_GetDriverVersion(o.name, o.name + 9, o.c, o.c + 1); },
    [](const Args& x, Outs& o) { MMC_ReadPort(x.a % 5, o.c); },
    [](const Args& x, Outs&) { MMC_WritePort(x.a % 5, x.b); },
    [](const Args&, Outs& o) { MMC_IsSMSDataAvailable(&o.i); },
    [](const Args& x, Outs&) {
        std::vector<UC> request(x.a % 40), answer(x.b);
        int length = int(answer.size());
        MMC_SendRcvMesg(x.c, x.d, request.data(), int(request.size()), answer.data(), &length);
    },
    [](const Args&, Outs& o) { MMC_GetDeviceID(o.c, o.c + 1, o.c + 2, o.c + 3, o.c + 4, o.c + 5); },
    [](const Args&, Outs&) { MMC_ColdReset(); },
    [](const Args&, Outs&) { MMC_WarmReset(); },
    [](const Args&, Outs& o) { MMC_GetSelfTestResults(o.c); },
    [](const Args&, Outs&) { MMC_MfgTestOn(); },
    [](const Args& x, Outs& o) { MMC_ReadMMCRAM(x.a, x.b << 8 | x.c, o.c); },
    [](const Args& x, Outs&) { MMC_SetMMCGlobalEnables(x.a); },
    [](const Args&, Outs& o) { MMC_GetMMCGlobalEnables(o.c); },
    [](const Args& x, Outs&) { MMC_SetInterruptFlags(x.a); },
    [](const Args&, Outs& o) { MMC_GetInterruptFlags(o.c); },
    [](const Args&, Outs& o) { MMC_ErrorReport(o.c, o.c + 1); },
    [](const Args&, Outs&) { MMC_ResetOSWatchdogTimer(); },
    [](const Args& x, Outs&) { MMC_SetOSWatchdogTimer(x.a, x.b, x.c, x.d, x.a << 8 | x.b); },
    [](const Args&, Outs& o) { MMC_GetOSWatchdogTimer(o.c, o.c + 1, o.c + 2, o.c + 3, o.s, o.s + 1); },
    [](const Args& x, Outs&) {
        std::vector<UC> message(x.a);
        UC length = x.a;
        MMC_ReadSMMMessageBuffer(message.data(), &length);
    },
    [](const Args& x, Outs&) {
        std::vector<UC> message(x.a);
        UC length = x.a;
        MMC_ReadSMSMessageBuffer(message.data(), &length);
    },
    [](const Args& x, Outs&) {
        std::vector<UC> data(x.c % 40);
        MMC_MasterWriteI2C(x.a, x.b, data.data(), int(data.size()));
    },
    [](const Args& x, Outs&) {
        std::vector<UC> data(x.c);
        int length = int(data.size());
        MMC_MasterReadI2C(x.a, x.b, data.data(), &length);
    },
    [](const Args& x, Outs&) {
        std::vector<UC> in(x.c % 40), out(x.d);
        int length = int(out.size());
        MMC_MasterWriteReadI2C(x.a, x.b, in.data(), int(in.size()), out.data(), &length);
    },
    [](const Args& x, Outs& o) {
        MMC_GetDeviceSDR(x.c, x.d, partOffset(x, MMC_SDR_RECORD_SIZE), partLength(x, MMC_SDR_RECORD_SIZE),
                         o.s, o.sdrRecord());
    },
    [](const Args&, Outs& o) { MMC_ReserveDeviceSDRRepository(o.s); },
    [](const Args& x, Outs&) { MMC_SetSensorHysterisis(x.a, x.b, x.c, x.d); },
    [](const Args& x, Outs& o) { MMC_GetSensorHysterisis(x.a, x.b, o.c, o.c + 1); },
    [](const Args& x, Outs&) { MMC_SetSensorThreshold(x.a, x.b, x.c); },
    [](const Args& x, Outs& o) { MMC_GetSensorThreshold(x.a, x.b, o.c); },
    [](const Args& x, Outs&) { MMC_SetSensorEventEnable(x.a, x.b); },
    [](const Args& x, Outs& o) { MMC_GetSensorEventEnable(x.a, o.c); },
    [](const Args& x, Outs&) { MMC_RearmSensorEvents(x.a, x.b); },
    [](const Args& x, Outs& o) { MMC_GetSensorReading(x.a, o.c); },
    [](const Args&, Outs& o) { MMC_GetSDRRepositoryInfo(o.c, o.s, o.s + 1, o.l, o.l + 1, o.c + 1); },
    [](const Args&, Outs& o) { MMC_GetSDRRepositoryAllocInfo(o.s, o.s + 1, o.s + 2, o.s + 3, o.c); },
    [](const Args&, Outs& o) { MMC_ReserveSDRRepository(o.s); },
    [](const Args&, Outs& o) { RetryMMC_ReserveSDRRepository(o.s); },
    [](const Args& x, Outs& o) {
        const int offset = partOffset(x, MMC_SDR_RECORD_SIZE);
        const int count = (x.d & 1) ? 255 : partLength(x, MMC_SDR_RECORD_SIZE);
        MMC_GetSDR(x.c, x.d, count == 255 ? 0 : offset, count, o.s, o.sdrRecord());
    },
    [](const Args& x, Outs& o) {
        o.sdr[4] = x.a;   // the record's own length byte
        MMC_AddSDR(o.sdrRecord(), o.s);
    },
    [](const Args& x, Outs& o) {
        MMC_PartialAddSDR(x.c, x.d, partOffset(x, MMC_SDR_RECORD_SIZE), partLength(x, MMC_SDR_RECORD_SIZE),
                          x.d & 1, o.sdr.data(), o.s);
    },
    [](const Args& x, Outs& o) { MMC_DeleteSDR(x.a, x.b, o.s); },
    [](const Args& x, Outs& o) { MMC_ClearSDRRepository(x.a, x.b, o.c); },
    [](const Args&, Outs& o) { MMC_GetSELInfo(o.c, o.s, o.s + 1, o.l, o.l + 1, o.c + 1); },
    [](const Args&, Outs& o) { MMC_GetSELAllocInfo(o.s, o.s + 1, o.s + 2, o.s + 3, o.c); },
    [](const Args&, Outs& o) { MMC_ReserveSEL(o.s); },
    [](const Args&, Outs& o) { RetryMMC_ReserveSEL(o.s); },
    [](const Args& x, Outs& o) {
        MMC_GetSELEntry(x.c, x.d, partOffset(x, MMC_SEL_RECORD_SIZE), partLength(x, MMC_SEL_RECORD_SIZE), o.s,
                        o.sel.data());
    },
    [](const Args&, Outs& o) { MMC_AddSELEntry(o.selRecord(), o.s); },
    [](const Args& x, Outs& o) {
        MMC_PartialAddSELEntry(x.c, x.d, partOffset(x, MMC_SEL_RECORD_SIZE), partLength(x, MMC_SEL_RECORD_SIZE),
                               x.d & 1, o.sel.data(), o.s);
    },
    [](const Args& x, Outs& o) { MMC_DeleteSELEntry(x.a, x.b, o.s); },
    [](const Args& x, Outs& o) { MMC_ClearSELRepository(x.a, x.b, o.c); },
    [](const Args&, Outs& o) { MMC_GetSELTime(o.l); },
    [](const Args& x, Outs&) { MMC_SetSELTime(x.a << 24 | x.b); },
    [](const Args&, Outs& o) { MMC_GetFRUInventoryAreaInfo(o.s, o.c); },
    [](const Args& x, Outs& o) {
        std::vector<UC> data(x.b);
        MMC_ReadFRUInventoryData(x.a << 8 | x.c, x.b, o.c, data.data());
    },
    [](const Args& x, Outs& o) {
        std::vector<UC> data(x.b);
        MMC_WriteFRUInventoryData(x.a << 8 | x.c, x.b, data.data(), o.c);
    },
    [](const Args&, Outs&) { MMC_QVEnterFirmwareTransferMode(); },
    [](const Args&, Outs& o) { MMC_QVSetFirmwareTransferAddress(o.c); },
    [](const Args& x, Outs& o) {
        std::vector<UC> data(x.a);
        MMC_QVFirmwareProgram(x.a, data.data(), o.c, o.c + 1);
    },
    [](const Args& x, Outs& o) {
        std::vector<UC> buffer(x.a);
        MMC_QVFirmwareRead(x.a, buffer.data(), o.c);
    },
    [](const Args&, Outs& o) { MMC_QVGetFirmwareChecksum(o.c, o.c + 3, o.c + 6, o.c + 7, o.c + 7); },
    [](const Args&, Outs&) { MMC_QVExitFirmwareTransferMode(); },
    [](const Args& x, Outs&) {
        std::vector<UC> data(x.b);
        I2C_SendMessage(x.a, data.data(), int(data.size()));
    },
    [](const Args& x, Outs&) {
        std::vector<UC> data(x.b);
        I2C_ReceiveMessage(x.a, data.data(), int(data.size()));
    },
    [](const Args& x, Outs&) {
        std::vector<UC> in(x.b), out(x.c);
        I2C_RepeatStartMesg(x.a, in.data(), int(in.size()), out.data(), int(out.size()));
    },
    [](const Args& x, Outs& o) { I2C_GetOutputShadow(x.a, o.c); },
    [](const Args& x, Outs&) { I2C_Reset8584(x.a, x.b); },
    [](const Args& x, Outs&) { I2C_ResetBus(x.a, x.b); },
    [](const Args&, Outs& o) { I2C_GetDriverVersion(o.name, o.name + 9, o.c, o.c + 1); },
    [](const Args&, Outs& o) { I2C_GetKernelDriverVersion(o.name, o.name + 9, o.c, o.c + 1); },
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::mgmtctl::setPauseHookForTests([](int) {});
    qv::fuzz::privateRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5) return 0;
    const Call call = kCalls[data[0] % std::size(kCalls)];
    const Args args{data[1], data[2], data[3], data[4]};
    qv::fuzz::scriptDeviceReplies(data + 5, size - 5);
    Outs outs;
    const bool legacy = data[0] % std::size(kCalls) >= std::size(kCalls) - 8;
    if (legacy) I2C_OpenDevice(); else MMC_OpenDevice();
    call(args, outs);
    if (legacy) I2C_CloseDevice(); else MMC_CloseDevice();
    return 0;
}
