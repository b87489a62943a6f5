// Reading the controller's SMM and SMS message buffers.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"

#include <algorithm>
#include <cstring>

using namespace qv::mgmtctl;

namespace {

constexpr int kBufferReadCapacity = 33;

// countIncludesCode: the SMM count covers the completion code too, the SMS count only the message.
int readMessageBuffer(uint8_t command, void* Message, unsigned char* Length, bool countIncludesCode)
{
    if (Length == nullptr) return MMC_BAD_PARAMETERS;
    Answer answer;
    int result = sendCommand(kAppNetFn, command, {}, kBufferReadCapacity, answer);
    if (result != 0) return result;
    const int room = *Length;
    const int messageBytes = answer.dataCount();
    if (Message) std::memcpy(Message, answer.data(), std::min(room, messageBytes));
    *Length = static_cast<unsigned char>(countIncludesCode ? answer.count : messageBytes);
    return room < messageBytes ? int{MMC_BUFFER_TOO_SMALL} : answer.completionCode();
}

} // namespace

extern "C" int MMC_ReadSMMMessageBuffer(void* Message, unsigned char* Length)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return readMessageBuffer(0x35, Message, Length, true);
    });
}

extern "C" int MMC_ReadSMSMessageBuffer(void* Message, unsigned char* Length)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&] {
        return readMessageBuffer(0x37, Message, Length, false);
    });
}
