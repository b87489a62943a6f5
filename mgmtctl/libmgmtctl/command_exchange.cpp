#include "command_exchange.h"

#include "mgmtctl.h"

#include <algorithm>
#include <cstring>

namespace qv::mgmtctl {
namespace {

constexpr int kReservationAttempts = 8;  // pauses of 150 ms * k: at most 4.2 s in all
constexpr int kReservationPauseStepMs = 150;

// Results that a fresh reservation can cure: node busy, reservation cancelled, driver time-out
// and device busy.
bool isTransient(int result)
{
    return result == 0xC0 || result == 0xC5 || result == MMC_DRIVER_TIMEOUT ||
           result == MMC_DEVICE_BUSY;
}

} // namespace

RequestData& RequestData::u8(long value)
{
    bytes_.push_back(static_cast<uint8_t>(value));
    return *this;
}

RequestData& RequestData::u16(long value) { return u8(value).u8(value >> 8); }

RequestData& RequestData::u32(long value) { return u16(value).u16(value >> 16); }

RequestData& RequestData::bytes(const void* data, size_t length)
{
    auto first = static_cast<const uint8_t*>(data);
    if (length > 0) bytes_.insert(bytes_.end(), first, first + length);
    return *this;
}

int sendCommand(FrameNetFn netFn, uint8_t command, const RequestData& request, int capacity,
                Answer& answer)
{
    if (capacity > Answer::kMaxCapacity) capacity = Answer::kMaxCapacity;
    answer.bytes.fill(0);
    answer.count = capacity;
    std::vector<uint8_t> data = request.data();
    int result = MMC_SendRcvMesg(netFn, command, data.empty() ? nullptr : data.data(),
                                 static_cast<int>(data.size()), answer.bytes.data(), &answer.count);
    if (result != 0) return result;
    // An answer without even a completion code belongs to no command.
    if (capacity > 0 && answer.count < 1) return MMC_BAD_DATA;
    return 0;
}

int commandStatus(FrameNetFn netFn, uint8_t command, const RequestData& request)
{
    Answer answer;
    int result = sendCommand(netFn, command, request, 1, answer);
    return result != 0 ? result : answer.completionCode();
}

int commandByte(FrameNetFn netFn, uint8_t command, const RequestData& request, uint8_t* out)
{
    Answer answer;
    int result = sendCommand(netFn, command, request, 2, answer);
    if (result != 0) return result;
    store(out, answer.d(0));
    return answer.completionCode();
}

int commandWord(FrameNetFn netFn, uint8_t command, const RequestData& request, uint16_t* out)
{
    Answer answer;
    int result = sendCommand(netFn, command, request, 3, answer);
    if (result != 0) return result;
    store(out, answer.d16(0));
    return answer.completionCode();
}

int repositoryInfo(uint8_t command, unsigned char* Version, unsigned short* RecCount,
                   unsigned short* FreeSpace, unsigned long* AddTime, unsigned long* EraseTime,
                   unsigned char* OperationSupport)
{
    Answer answer;
    int result = sendCommand(kStorageNetFn, command, {}, 15, answer);
    if (result != 0) return result;
    store(Version, answer.d(0));
    store(RecCount, answer.d16(1));
    store(FreeSpace, answer.d16(3));
    store(AddTime, answer.d32(5));
    store(EraseTime, answer.d32(9));
    store(OperationSupport, answer.d(13));
    return answer.completionCode();
}

int repositoryAllocInfo(uint8_t command, unsigned short* NumPossAlloc,
                        unsigned short* AllocUnitSize, unsigned short* NumFreeAllocUnits,
                        unsigned short* LargestFreeBlock, unsigned char* MaxRecordSize)
{
    Answer answer;
    int result = sendCommand(kStorageNetFn, command, {}, 10, answer);
    if (result != 0) return result;
    store(NumPossAlloc, answer.d16(0));
    store(AllocUnitSize, answer.d16(2));
    store(NumFreeAllocUnits, answer.d16(4));
    store(LargestFreeBlock, answer.d16(6));
    store(MaxRecordSize, answer.d(8));
    return answer.completionCode();
}

int clearRepository(uint8_t command, int reservation, int flags, unsigned char* progress)
{
    return commandByte(kStorageNetFn, command,
                       RequestData().u16(reservation).u8('C').u8('L').u8('R').u8(flags), progress);
}

int retryReservation(int (*reserve)(unsigned short*), unsigned short* reservationId)
{
    int result = 0;
    for (int attempt = 1; attempt <= kReservationAttempts; ++attempt) {
        result = reserve(reservationId);
        if (result == 0 || !isTransient(result) || attempt == kReservationAttempts) break;
        MMCSleep(kReservationPauseStepMs * attempt);
    }
    return result;
}

bool fitsInside(int offset, int count, int size)
{
    return offset >= 0 && count >= 0 && offset <= size && count <= size - offset;
}

} // namespace qv::mgmtctl

namespace qv::mgmtctl {

int readSdrPart(FrameNetFn netFn, uint8_t command, int capacity, int reservation, int recordId,
                int offset, int count, unsigned short* nextId, SDR* record)
{
    if (!fitsInside(offset, count, MMC_SDR_RECORD_SIZE)) return MMC_BAD_DATA;
    Answer answer;
    int result = sendCommand(netFn, command,
                             RequestData().u16(reservation).u16(recordId).u8(offset).u8(count),
                             capacity, answer);
    if (result != 0) return result;
    constexpr int kNextIdBytes = 2;
    store(nextId, answer.d16(0));
    const int arrived = std::max(answer.dataCount() - kNextIdBytes, 0);
    if (record)
        std::memcpy(reinterpret_cast<uint8_t*>(record) + offset, answer.data() + kNextIdBytes,
                    std::min(count, arrived));
    return answer.completionCode();
}

int partialAdd(uint8_t command, int lengthLimit, int reservation, int recordId, int offset,
               int length, int progress, const void* data, unsigned short* recordIdOut)
{
    if (length > lengthLimit) return MMC_BAD_DATA;
    if (length < 0 || offset < 0 || (length > 0 && data == nullptr)) return MMC_BAD_PARAMETERS;
    const auto* part = length > 0 ? static_cast<const uint8_t*>(data) + offset : nullptr;
    return commandWord(kStorageNetFn, command,
                       RequestData()
                           .u16(reservation)
                           .u16(recordId)
                           .u8(offset)
                           .u8(progress)
                           .bytes(part, static_cast<size_t>(length)),
                       recordIdOut);
}

} // namespace qv::mgmtctl
