// Sensor device commands.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"

#include <algorithm>
#include <cstring>

using namespace qv::mgmtctl;

namespace {
// Not taken from any argument; 0 asks for the event enables without further selection.
constexpr uint8_t kEventEnableSelector = 0;
constexpr int kMaxReadingBytes = 3;
} // namespace

extern "C" int MMC_GetDeviceSDR(int ReservationID, int RecID, int Offset, int Count,
                                unsigned short* NextNum, SDR* Data)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return readSdrPart(kSensorNetFn, 0x21, 33, ReservationID, RecID, Offset, Count, NextNum, Data);
    });
}

extern "C" int MMC_ReserveDeviceSDRRepository(unsigned short* Reservation)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandWord(kSensorNetFn, 0x22, {}, Reservation);
    });
}

extern "C" int MMC_SetSensorHysterisis(int SensorNum, int HysterisisMask, int Positive, int Negative)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandStatus(kSensorNetFn, 0x24,
                             RequestData().u8(SensorNum).u8(HysterisisMask).u8(Positive).u8(Negative));
    });
}

extern "C" int MMC_GetSensorHysterisis(int SensorNum, int HysterisisMask, unsigned char* Positive,
                                       unsigned char* Negative)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        Answer answer;
        int result = sendCommand(kSensorNetFn, 0x25, RequestData().u8(SensorNum).u8(HysterisisMask), 3,
                                 answer);
        if (result != 0) return result;
        store(Positive, answer.d(0));
        store(Negative, answer.d(1));
        return answer.completionCode();
    });
}

extern "C" int MMC_SetSensorThreshold(int SensorNum, int Threshold, int Value)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandStatus(kSensorNetFn, 0x26, RequestData().u8(SensorNum).u8(Threshold).u8(Value));
    });
}

extern "C" int MMC_GetSensorThreshold(int SensorNum, int Threshold, unsigned char* Value)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandByte(kSensorNetFn, 0x27, RequestData().u8(SensorNum).u8(Threshold), Value);
    });
}

extern "C" int MMC_SetSensorEventEnable(int SensorNum, int flags)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandStatus(kSensorNetFn, 0x28, RequestData().u8(SensorNum).u8(flags));
    });
}

extern "C" int MMC_GetSensorEventEnable(int SensorNum, unsigned char* Flags)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandByte(kSensorNetFn, 0x29, RequestData().u8(SensorNum).u8(kEventEnableSelector),
                           Flags);
    });
}

extern "C" int MMC_RearmSensorEvents(int SensorNum, int flags)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        return commandStatus(kSensorNetFn, 0x2A, RequestData().u8(SensorNum).u8(flags));
    });
}

extern "C" int MMC_GetSensorReading(int SensorNum, unsigned char* Reading)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        Answer answer;
        int result = sendCommand(kSensorNetFn, 0x2D, RequestData().u8(SensorNum), 4, answer);
        if (result != 0) return result;
        if (Reading)
            std::memcpy(Reading, answer.data(), std::min(answer.dataCount(), kMaxReadingBytes));
        return answer.completionCode();
    });
}
