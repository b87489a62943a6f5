// The controller's own firmware transfer protocol.
#include "mgmtctl.h"
#include "command_exchange.h"
#include "library_boundary.h"
#include "pause_hook.h"

#include <algorithm>
#include <cstring>

using namespace qv::mgmtctl;

namespace {

int InFWXFERMode = 0;  // per process: the controller does not tell

const uint8_t kTransferKey[2] = {'Q', 'V'};
constexpr int kEnterAttempts = 3;
constexpr int kEnterSettleMs = 2000;  // the controller needs this after every enter attempt
constexpr int kAddressBytes = 3;
constexpr int kMaxProgramBytes = 32;

} // namespace

extern "C" int MMC_QVEnterFirmwareTransferMode(void)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        Answer answer;
        int result = 0;
        for (int attempt = 0; attempt < kEnterAttempts; ++attempt) {
            result = sendCommand(kFirmwareNetFn, 0xC0, RequestData().bytes(kTransferKey, 2), 1, answer);
            pauseSteady(kEnterSettleMs);
            if (result == 0) break;
        }
        if (result != 0) return result;
        if (answer.completionCode() == 0) InFWXFERMode = 1;
        return answer.completionCode();
    });
}

extern "C" int MMC_QVSetFirmwareTransferAddress(const unsigned char* Address)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (!InFWXFERMode) return MMC_NOT_IN_FW_XFER_MODE;
        if (Address == nullptr) return MMC_BAD_PARAMETERS;
        Answer answer;
        int result = sendCommand(kFirmwareNetFn, 0xC1, RequestData().bytes(Address, kAddressBytes), 2,
                                 answer);
        return result != 0 ? result : answer.completionCode();
    });
}

extern "C" int MMC_QVFirmwareProgram(int Length, const void* Data, unsigned char* Count,
                                     unsigned char* Status)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (!InFWXFERMode) return MMC_NOT_IN_FW_XFER_MODE;
        const int length = std::min(Length & 0xFF, kMaxProgramBytes);
        if (length > 0 && Data == nullptr) return MMC_BAD_PARAMETERS;
        Answer answer;
        int result = sendCommand(kFirmwareNetFn, 0xC2, RequestData().bytes(Data, length), 3, answer);
        if (result != 0) return result;
        store(Count, answer.d(0));
        store(Status, answer.d(1));
        return answer.completionCode();
    });
}

extern "C" int MMC_QVFirmwareRead(int Length, void* Buffer, unsigned char* Count)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (!InFWXFERMode) return MMC_NOT_IN_FW_XFER_MODE;
        if (Length < 0) return MMC_BAD_PARAMETERS;
        Answer answer;
        int result = sendCommand(kFirmwareNetFn, 0xC4, RequestData().u8(Length), 32, answer);
        if (result != 0) return result;
        if (Buffer) std::memcpy(Buffer, answer.data(), std::min(Length, answer.dataCount()));
        store(Count, answer.dataCount());
        return answer.completionCode();
    });
}

extern "C" int MMC_QVGetFirmwareChecksum(unsigned char* StartAddress, unsigned char* EndAddress,
                                         unsigned char* Checksum, unsigned char* Block1Status,
                                         unsigned char* Block2Status)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        if (!InFWXFERMode) return MMC_NOT_IN_FW_XFER_MODE;
        if (StartAddress == nullptr || EndAddress == nullptr) return MMC_BAD_PARAMETERS;
        Answer answer;
        int result = sendCommand(kFirmwareNetFn, 0xC3,
                                 RequestData()
                                     .bytes(StartAddress, kAddressBytes)
                                     .bytes(EndAddress, kAddressBytes),
                                 11, answer);
        if (result != 0) return result;
        store(Block1Status, answer.d(0));
        store(Block2Status, answer.d(1));
        // Both address buffers hold four bytes: the 24-bit address and a zero.
        std::memcpy(StartAddress, answer.data() + 2, kAddressBytes);
        StartAddress[kAddressBytes] = 0;
        std::memcpy(EndAddress, answer.data() + 5, kAddressBytes);
        EndAddress[kAddressBytes] = 0;
        if (Checksum) std::memcpy(Checksum, answer.data() + 8, 2);
        return answer.completionCode();
    });
}

extern "C" int MMC_QVExitFirmwareTransferMode(void)
{
    return qv::catchAtBoundary(MMC_NO_MEMORY, [&]() -> int {
        // Sent whatever the flag says: another process may have left the controller in the mode.
        Answer answer;
        int result = sendCommand(kFirmwareNetFn, 0xC5, {}, 1, answer);
        if (result != 0) return result;
        if (answer.completionCode() == 0) InFWXFERMode = 0;
        return answer.completionCode();
    });
}
