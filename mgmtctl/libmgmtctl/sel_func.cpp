// System event log commands.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace qv::mgmtctl;

namespace {
constexpr int kLastRecord = 0xFFFF;
constexpr int kMaxPartialAddBytes = 16;
} // namespace

extern "C" int MMC_GetSELInfo(unsigned char* Version, unsigned short* RecCount,
                              unsigned short* FreeSpace, unsigned long* AddTime,
                              unsigned long* EraseTime, unsigned char* OperationSupport)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return repositoryInfo(0x40, Version, RecCount, FreeSpace, AddTime, EraseTime, OperationSupport);
    });
}

extern "C" int MMC_GetSELAllocInfo(unsigned short* NumPossAlloc, unsigned short* AllocUnitSize,
                                   unsigned short* NumFreeAllocUnits,
                                   unsigned short* LargestFreeBlock, unsigned char* MaxRecordSize)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return repositoryAllocInfo(0x41, NumPossAlloc, AllocUnitSize, NumFreeAllocUnits,
                                   LargestFreeBlock, MaxRecordSize);
    });
}

extern "C" int MMC_ReserveSEL(unsigned short* Reservation)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandWord(kStorageNetFn, 0x42, {}, Reservation);
    });
}

extern "C" int RetryMMC_ReserveSEL(unsigned short* ReservationID)
{
    return retryReservation(MMC_ReserveSEL, ReservationID);
}

extern "C" int MMC_GetSELEntry(int Reservation, int RecID, int Offset, int ReadBytes,
                               unsigned short* NextID, void* Data)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (!fitsInside(Offset, ReadBytes, MMC_SEL_RECORD_SIZE)) return MMC_BAD_DATA;
        Answer answer;
        int result = sendCommand(kStorageNetFn, 0x43,
                                 RequestData().u16(Reservation).u16(RecID).u8(Offset).u8(ReadBytes),
                                 19, answer);
        if (result != 0) return result;
        constexpr int kNextIdBytes = 2;
        store(NextID, answer.d16(0));
        const int arrived = std::clamp(answer.dataCount() - kNextIdBytes, 0, int{MMC_SEL_RECORD_SIZE});
        std::array<uint8_t, MMC_SEL_RECORD_SIZE> record{};
        std::memcpy(record.data(), answer.data() + kNextIdBytes, arrived);
        // The id asked for is reported, whatever the controller put there.
        if ((RecID & 0xFFFF) != kLastRecord) {
            record[0] = static_cast<uint8_t>(RecID);
            record[1] = static_cast<uint8_t>(RecID >> 8);
        }
        if (Data)
            std::memcpy(static_cast<uint8_t*>(Data) + Offset, record.data(), std::min(ReadBytes, arrived));
        return answer.completionCode();
    });
}

extern "C" int MMC_AddSELEntry(SEL* RecData, unsigned short* RecID)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (RecData == nullptr) return MMC_BAD_PARAMETERS;
        return commandWord(kStorageNetFn, 0x44, RequestData().bytes(RecData, MMC_SEL_RECORD_SIZE), RecID);
    });
}

extern "C" int MMC_PartialAddSELEntry(int Reservation, int RecID, int Offset, int Length,
                                      int Progress, const void* Data, unsigned short* RecIDout)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return partialAdd(0x45, kMaxPartialAddBytes, Reservation, RecID, Offset, Length, Progress, Data,
                          RecIDout);
    });
}

extern "C" int MMC_DeleteSELEntry(int Reservation, int RecID, unsigned short* RecIDout)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandWord(kStorageNetFn, 0x46, RequestData().u16(Reservation).u16(RecID), RecIDout);
    });
}

extern "C" int MMC_ClearSELRepository(int Reservation, int Flags, unsigned char* Progress)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return clearRepository(0x47, Reservation, Flags, Progress);
    });
}

extern "C" int MMC_GetSELTime(unsigned long* Time)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        Answer answer;
        int result = sendCommand(kStorageNetFn, 0x48, {}, 5, answer);
        if (result != 0) return result;
        store(Time, answer.d32(0));
        return answer.completionCode();
    });
}

extern "C" int MMC_SetSELTime(int Time)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandStatus(kStorageNetFn, 0x49, RequestData().u32(Time));
    });
}
