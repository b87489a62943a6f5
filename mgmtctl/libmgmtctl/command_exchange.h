// What every command function shares: request building, one exchange with the answer kept in a
// fixed buffer, and the common answer shapes. Internal to the library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mgmtctl.h"

namespace qv::mgmtctl {

// Network function and LUN 0, as the first frame byte.
enum FrameNetFn : uint8_t {
    kSensorNetFn = 0x10,
    kAppNetFn = 0x18,
    kFirmwareNetFn = 0x20,
    kStorageNetFn = 0x28,
};

// Request data; integers are truncated to their field and go little-endian.
class RequestData {
public:
    RequestData& u8(long value);
    RequestData& u16(long value);
    RequestData& u32(long value);
    RequestData& bytes(const void* data, size_t length);
    const std::vector<uint8_t>& data() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Completion code followed by the data; bytes the controller did not send read as zero.
struct Answer {
    static constexpr int kMaxCapacity = 255;
    std::array<uint8_t, kMaxCapacity> bytes{};
    int count = 0;  // completion code and data bytes returned

    uint8_t completionCode() const { return bytes[0]; }
    uint8_t d(int index) const { return bytes[1 + index]; }
    uint16_t d16(int index) const { return static_cast<uint16_t>(d(index) | d(index + 1) << 8); }
    uint32_t d32(int index) const { return d16(index) | static_cast<uint32_t>(d16(index + 2)) << 16; }
    const uint8_t* data() const { return bytes.data() + 1; }
    int dataCount() const { return count > 0 ? count - 1 : 0; }
};

// One command. Returns 0 when an answer with a completion code arrived, else the result code.
int sendCommand(FrameNetFn netFn, uint8_t command, const RequestData& request, int capacity,
                Answer& answer);

template <typename T, typename V> void store(T* out, V value)
{
    if (out) *out = static_cast<T>(value);
}

// Commands whose answer is the completion code, one byte, or one 16-bit id.
int commandStatus(FrameNetFn netFn, uint8_t command, const RequestData& request);
int commandByte(FrameNetFn netFn, uint8_t command, const RequestData& request, uint8_t* out);
int commandWord(FrameNetFn netFn, uint8_t command, const RequestData& request, uint16_t* out);

// Get SDR Repository Info and Get SEL Info share one answer layout, as do the two alloc infos.
int repositoryInfo(uint8_t command, unsigned char* Version, unsigned short* RecCount,
                   unsigned short* FreeSpace, unsigned long* AddTime, unsigned long* EraseTime,
                   unsigned char* OperationSupport);
int repositoryAllocInfo(uint8_t command, unsigned short* NumPossAlloc,
                        unsigned short* AllocUnitSize, unsigned short* NumFreeAllocUnits,
                        unsigned short* LargestFreeBlock, unsigned char* MaxRecordSize);

// Clear SDR Repository and Clear SEL: reservation, "CLR", flags; the answer is the progress.
int clearRepository(uint8_t command, int reservation, int flags, unsigned char* progress);

// Reserves again while the result is transient, with growing pauses of bounded total.
int retryReservation(int (*reserve)(unsigned short*), unsigned short* reservationId);

// True when `count` bytes at `offset` stay inside a destination of `size` bytes.
bool fitsInside(int offset, int count, int size);

} // namespace qv::mgmtctl

namespace qv::mgmtctl {

// Get SDR and Get Device SDR: `count` record bytes from record offset `offset`, copied to the same
// offset of the caller's 64-byte record. Refuses (262) a part that would not fit the record.
int readSdrPart(FrameNetFn netFn, uint8_t command, int capacity, int reservation, int recordId,
                int offset, int count, unsigned short* nextId, SDR* record);

// Partial Add SDR and Partial Add SEL Entry: `length` bytes from `data` + `offset`.
int partialAdd(uint8_t command, int lengthLimit, int reservation, int recordId, int offset,
               int length, int progress, const void* data, unsigned short* recordIdOut);

} // namespace qv::mgmtctl
