// FRU inventory commands on the controller's own inventory device.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"

#include <algorithm>
#include <cstring>

using namespace qv::mgmtctl;

extern "C" int MMC_GetFRUInventoryAreaInfo(unsigned short* AreaSize, unsigned char* DevAccess)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        Answer answer;
        int result = sendCommand(kStorageNetFn, 0x10, {}, 4, answer);
        if (result != 0) return result;
        store(AreaSize, answer.d16(0));
        store(DevAccess, answer.d(2));
        return answer.completionCode();
    });
}

extern "C" int MMC_ReadFRUInventoryData(int Offset, int Count, unsigned char* CountReturned,
                                        unsigned char* Data)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (Count < 0) return MMC_BAD_PARAMETERS;
        Answer answer;
        int result = sendCommand(kStorageNetFn, 0x11, RequestData().u16(Offset).u8(Count), 32, answer);
        if (result != 0) return result;
        const int claimed = answer.d(0);
        // The caller's buffer holds what it asked for; a controller that claims more is refused.
        if (claimed > Count) return MMC_BAD_DATA;
        const int copied = std::min(claimed, std::max(answer.dataCount() - 1, 0));
        if (Data) std::memcpy(Data, answer.data() + 1, copied);
        store(CountReturned, copied);
        return answer.completionCode();
    });
}

extern "C" int MMC_WriteFRUInventoryData(int Offset, int Length, const unsigned char* Data,
                                         unsigned char* CountWritten)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (Length < 0 || (Length > 0 && Data == nullptr)) return MMC_BAD_PARAMETERS;
        return commandByte(kStorageNetFn, 0x12, RequestData().u16(Offset).bytes(Data, Length),
                           CountWritten);
    });
}
