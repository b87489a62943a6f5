// Application commands: device id, resets, self test, controller RAM, enables, flags.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"

using namespace qv::mgmtctl;

namespace {

constexpr int kResetCapacity = 35;

int reset(uint8_t command)
{
    // A controller that resets may answer anything; only the transport counts.
    Answer answer;
    return sendCommand(kAppNetFn, command, {}, kResetCapacity, answer);
}

} // namespace

extern "C" int MMC_GetDeviceID(unsigned char* DevType, unsigned char* DevRev,
                               unsigned char* FwRev1, unsigned char* FwRev2,
                               unsigned char* SensorSpecRev, unsigned char* DevSupport)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        Answer answer;
        int result = sendCommand(kAppNetFn, 0x01, {}, 7, answer);
        if (result != 0) return result;
        unsigned char* outputs[] = {DevType, DevRev, FwRev1, FwRev2, SensorSpecRev, DevSupport};
        for (int i = 0; i < 6; ++i) store(outputs[i], answer.d(i));
        return answer.completionCode();
    });
}

extern "C" int MMC_ColdReset(void) { return qv::catchAtBoundary(MMC_NO_MEMORY, [&] { return reset(0x02); }); }

extern "C" int MMC_WarmReset(void) { return qv::catchAtBoundary(MMC_NO_MEMORY, [&] { return reset(0x03); }); }

extern "C" int MMC_GetSelfTestResults(unsigned char* Result)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return commandByte(kAppNetFn, 0x04, {}, Result);
    });
}

extern "C" int MMC_MfgTestOn(void) { return MMC_DRIVER_FAILURE; }

extern "C" int MMC_ReadMMCRAM(int MemSpace, int RAMAddr, unsigned char* RAMData)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return commandByte(kAppNetFn, 0x1B, RequestData().u8(MemSpace).u16(RAMAddr), RAMData);
    });
}

extern "C" int MMC_SetMMCGlobalEnables(int Flags)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return commandStatus(kAppNetFn, 0x1C, RequestData().u8(Flags));
    });
}

extern "C" int MMC_GetMMCGlobalEnables(unsigned char* Flags)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return commandByte(kAppNetFn, 0x1D, {}, Flags);
    });
}

extern "C" int MMC_SetInterruptFlags(int Flags)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return commandStatus(kAppNetFn, 0x30, RequestData().u8(Flags));
    });
}

extern "C" int MMC_GetInterruptFlags(unsigned char* Flags)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return commandByte(kAppNetFn, 0x31, {}, Flags);
    });
}

extern "C" int MMC_ErrorReport(unsigned char* Command, unsigned char* ErrorCode)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        // This answer carries no completion code: byte 0 is the failed command, byte 1 the error.
        Answer answer;
        int result = sendCommand(kAppNetFn, 0xFF, {}, 2, answer);
        if (result != 0) return result;
        store(Command, answer.bytes[0]);
        store(ErrorCode, answer.bytes[1]);
        return 0;
    });
}
