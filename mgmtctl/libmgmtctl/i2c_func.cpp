// Master write/read on the controller's private I2C buses.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"

#include <cstring>

using namespace qv::mgmtctl;

namespace {

// The answer must carry exactly the count asked for; otherwise the caller learns what came.
int takeReadData(const Answer& answer, void* data, int* count)
{
    const int returned = answer.dataCount();
    if (returned != *count) {
        *count = returned;
        return MMC_BAD_DATA;
    }
    if (data && returned > 0) std::memcpy(data, answer.data(), returned);
    return answer.completionCode();
}

} // namespace

extern "C" int MMC_MasterWriteI2C(int busID, int addr, const void* data, int len)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (len < 0 || (len > 0 && data == nullptr)) return MMC_BAD_PARAMETERS;
        return commandStatus(kAppNetFn, 0x50, RequestData().u8(busID).u8(addr).bytes(data, len));
    });
}

extern "C" int MMC_MasterReadI2C(int busID, int addr, void* data, int* len)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (len == nullptr || *len < 0) return MMC_BAD_PARAMETERS;
        Answer answer;
        int result = sendCommand(kAppNetFn, 0x51, RequestData().u8(busID).u8(addr).u8(*len), 32, answer);
        return result != 0 ? result : takeReadData(answer, data, len);
    });
}

extern "C" int MMC_MasterWriteReadI2C(int busID, int addr, const void* idata, int ilength,
                                      void* odata, int* olength)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (olength == nullptr || *olength < 0) return MMC_BAD_PARAMETERS;
        if (ilength < 0 || (ilength > 0 && idata == nullptr)) return MMC_BAD_PARAMETERS;
        Answer answer;
        int result = sendCommand(kAppNetFn, 0x52,
                                 RequestData().u8(busID).u8(addr).u8(*olength).bytes(idata, ilength),
                                 45, answer);
        return result != 0 ? result : takeReadData(answer, odata, olength);
    });
}
