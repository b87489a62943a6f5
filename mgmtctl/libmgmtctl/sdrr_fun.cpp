// SDR repository commands.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"

using namespace qv::mgmtctl;

namespace {
constexpr int kWholeRecord = 255;       // asked as the whole record, sent and copied as 29
constexpr int kWholeRecordBytes = 29;
constexpr int kMaxReadBytes = 32;
constexpr int kSdrHeaderBytes = 5;      // recordId, sdrVersion, recordType, recordLength
constexpr int kRecordLengthOffset = 4;
constexpr int kMaxAddBytes = 32;
constexpr int kMaxPartialAddBytes = 26;
} // namespace

extern "C" int MMC_GetSDRRepositoryInfo(unsigned char* Version, unsigned short* RecCount,
                                        unsigned short* FreeSpace, unsigned long* AddTime,
                                        unsigned long* EraseTime, unsigned char* OperationSupport)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return repositoryInfo(0x20, Version, RecCount, FreeSpace, AddTime, EraseTime, OperationSupport);
    });
}

extern "C" int MMC_GetSDRRepositoryAllocInfo(unsigned short* NumPossAlloc,
                                             unsigned short* AllocUnitSize,
                                             unsigned short* NumFreeAllocUnits,
                                             unsigned short* LargestFreeBlock,
                                             unsigned char* MaxRecordSize)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return repositoryAllocInfo(0x21, NumPossAlloc, AllocUnitSize, NumFreeAllocUnits,
                                   LargestFreeBlock, MaxRecordSize);
    });
}

extern "C" int MMC_ReserveSDRRepository(unsigned short* Reservation)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandWord(kStorageNetFn, 0x22, {}, Reservation);
    });
}

extern "C" int RetryMMC_ReserveSDRRepository(unsigned short* ReservationID)
{
    return retryReservation(MMC_ReserveSDRRepository, ReservationID);
}

extern "C" int MMC_GetSDR(int Reservation, int RecID, int Offset, int ReadBytes,
                          unsigned short* NextID, SDR* Data)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        const int count = ReadBytes == kWholeRecord ? kWholeRecordBytes : ReadBytes;
        if (count < 0 || count > kMaxReadBytes) return MMC_BAD_DATA;
        return readSdrPart(kStorageNetFn, 0x23, 34, Reservation, RecID, Offset, count, NextID, Data);
    });
}

extern "C" int MMC_AddSDR(SDR* RecData, unsigned short* RecID)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (RecData == nullptr) return MMC_BAD_PARAMETERS;
        const auto* record = reinterpret_cast<const uint8_t*>(RecData);
        const int length = record[kRecordLengthOffset] + kSdrHeaderBytes;
        if (length > kMaxAddBytes) return MMC_BAD_DATA;
        return commandWord(kStorageNetFn, 0x24, RequestData().bytes(record, length), RecID);
    });
}

extern "C" int MMC_PartialAddSDR(int Reservation, int RecID, int Offset, int Length, int Progress,
                                 const void* Data, unsigned short* RecIDout)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return partialAdd(0x25, kMaxPartialAddBytes, Reservation, RecID, Offset, Length, Progress, Data,
                          RecIDout);
    });
}

extern "C" int MMC_DeleteSDR(int Reservation, int RecID, unsigned short* RecIDout)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandWord(kStorageNetFn, 0x26, RequestData().u16(Reservation).u16(RecID), RecIDout);
    });
}

extern "C" int MMC_ClearSDRRepository(int Reservation, int Flags, unsigned char* Progress)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return clearRepository(0x27, Reservation, Flags, Progress);
    });
}
