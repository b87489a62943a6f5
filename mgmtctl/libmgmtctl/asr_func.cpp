// Watchdog timer commands used by the automatic server restart.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"

using namespace qv::mgmtctl;

extern "C" int MMC_ResetOSWatchdogTimer(void)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] { return commandStatus(kAppNetFn, 0x22, {}); });
}

extern "C" int MMC_SetOSWatchdogTimer(int Use, int Actions, int PreTimeOutInterval,
                                      int UseExpirationBitsClear, int InitialCountdownValue)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return commandStatus(kAppNetFn, 0x24,
                             RequestData()
                                 .u8(Use)
                                 .u8(Actions)
                                 .u8(PreTimeOutInterval)
                                 .u8(UseExpirationBitsClear)
                                 .u16(InitialCountdownValue));
    });
}

extern "C" int MMC_GetOSWatchdogTimer(unsigned char* Use, unsigned char* Actions,
                                      unsigned char* PreTimeOutInterval,
                                      unsigned char* UseExpirationBits,
                                      unsigned short* InitialCountdownValue,
                                      unsigned short* PresentCountdownValue)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        Answer answer;
        int result = sendCommand(kAppNetFn, 0x25, {}, 9, answer);
        if (result != 0) return result;
        store(Use, answer.d(0));
        store(Actions, answer.d(1));
        store(PreTimeOutInterval, answer.d(2));
        store(UseExpirationBits, answer.d(3));
        store(InitialCountdownValue, answer.d16(4));
        store(PresentCountdownValue, answer.d16(6));
        return answer.completionCode();
    });
}
