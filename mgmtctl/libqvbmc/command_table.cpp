#include "command_table.h"

#include <array>
#include <string_view>

namespace qv::bmc {
namespace {

constexpr int kVar = VersionCommand::kVariable;
constexpr int kNone = VersionCommand::kNoResponse;
constexpr VersionCommand kNs{};

constexpr VersionCommand cmd(uint8_t netFn, uint8_t command, int data, int capacity)
{
    return VersionCommand{netFn, command, data, capacity};
}

// Rows in the order of CommandId. The IPMI 0.9 column repeats the 1.0 values where they agree.
constexpr std::array<CommandSpec, static_cast<size_t>(CommandId::Count)> kCommands{{
    {"GetDeviceId", cmd(0x06, 0x01, 0, 12), cmd(0x06, 0x01, 0, 7)},
    {"ColdReset", cmd(0x06, 0x02, 0, 1), cmd(0x06, 0x02, 0, 1)},
    {"ColdResetIgnoreResponse", cmd(0x06, 0x02, 0, kNone), cmd(0x06, 0x02, 0, kNone)},
    {"WarmReset", cmd(0x06, 0x03, 0, 1), cmd(0x06, 0x03, 0, 1)},
    {"WarmResetIgnoreResponse", cmd(0x06, 0x03, 0, kNone), cmd(0x06, 0x03, 0, kNone)},
    {"GetSelfTestResults", cmd(0x06, 0x04, 0, 3), cmd(0x06, 0x04, 0, 2)},
    {"MfgTestOn", cmd(0x06, 0x05, 0, 1), cmd(0x06, 0x05, 0, 1)},
    {"BroadcastGetDeviceId", cmd(0x06, 0x01, 0, 12), cmd(0x06, 0x01, 0, 7)},
    {"SetEventReceiver", cmd(0x04, 0x00, 2, 1), cmd(0x04, 0x00, 2, 1)},
    {"GetEventReceiver", cmd(0x04, 0x01, 0, 3), cmd(0x04, 0x01, 0, 3)},
    {"GetDeviceSdrInfo", cmd(0x04, 0x20, 0, 7), cmd(0x04, 0x20, 0, 7)},
    {"GetDeviceSdr", cmd(0x04, 0x21, 6, 33), cmd(0x04, 0x21, 6, 33)},
    {"ReserveDeviceSdrRepository", cmd(0x04, 0x22, 0, 3), cmd(0x04, 0x22, 0, 3)},
    {"GetSensorReadingFactors", cmd(0x04, 0x23, 2, 8), cmd(0x04, 0x23, 2, 8)},
    {"SetSensorHysterisis", cmd(0x04, 0x24, 4, 1), cmd(0x04, 0x24, 4, 1)},
    {"GetSensorHysterisis", cmd(0x04, 0x25, 2, 3), cmd(0x04, 0x25, 2, 3)},
    {"SetSensorThreshold", cmd(0x04, 0x26, 8, 1), cmd(0x04, 0x26, 3, 1)},
    {"GetSensorThreshold", cmd(0x04, 0x27, 1, 8), cmd(0x04, 0x27, 2, 2)},
    {"SetSensorEventMessageEnable", cmd(0x04, 0x28, 6, 1), cmd(0x04, 0x28, 2, 1)},
    {"GetSensorEventMessageEnable", cmd(0x04, 0x29, 1, 6), cmd(0x04, 0x29, 2, 2)},
    {"ReArmSensorEvents", cmd(0x04, 0x2A, 6, 1), cmd(0x04, 0x2A, 2, 1)},
    {"GetSensorEventStatus", cmd(0x04, 0x2B, 1, 6), cmd(0x04, 0x2B, 1, 3)},
    {"GetSensorReading", cmd(0x04, 0x2D, 1, 5), cmd(0x04, 0x2D, 1, 4)},
    {"SetSensorType", cmd(0x04, 0x2E, 3, 1), kNs},
    {"GetSensorType", cmd(0x04, 0x2F, 1, 3), kNs},
    {"GetChassisStatus", cmd(0x00, 0x01, 0, 4), kNs},
    {"ChassisControl", cmd(0x00, 0x02, 1, 1), kNs},
    {"GetFruInventoryInfo", cmd(0x0A, 0x10, kVar, 4), cmd(0x0A, 0x10, kVar, 4)},
    {"ReadFruInventoryData", cmd(0x0A, 0x11, 4, 32), cmd(0x0A, 0x11, 3, 32)},
    {"WriteFruInventoryData", cmd(0x0A, 0x12, kVar, 2), cmd(0x0A, 0x12, kVar, 2)},
    {"GetSdrRepositoryInfo", cmd(0x0A, 0x20, 0, 15), cmd(0x0A, 0x20, 0, 15)},
    {"GetSdrRepositoryAllocationInfo", cmd(0x0A, 0x21, 0, 10), cmd(0x0A, 0x21, 0, 10)},
    {"ReserveSdrRepository", cmd(0x0A, 0x22, 0, 3), cmd(0x0A, 0x22, 0, 3)},
    {"GetSdr", cmd(0x0A, 0x23, 6, 34), cmd(0x0A, 0x23, 6, 34)},
    {"AddSdr", cmd(0x0A, 0x24, kVar, 3), cmd(0x0A, 0x24, kVar, 3)},
    {"PartialAddSdr", cmd(0x0A, 0x25, kVar, 3), cmd(0x0A, 0x25, kVar, 3)},
    {"DeleteSdr", cmd(0x0A, 0x26, 4, 3), cmd(0x0A, 0x26, 4, 3)},
    {"ClearSdrRepository", cmd(0x0A, 0x27, 6, 2), cmd(0x0A, 0x27, 6, 2)},
    {"GetSdrRepositoryTime", cmd(0x0A, 0x28, 0, 5), cmd(0x0A, 0x28, 0, 5)},
    {"SetSdrRepositoryTime", cmd(0x0A, 0x29, 4, 1), cmd(0x0A, 0x29, 4, 1)},
    {"EnterUpdateMode", cmd(0x0A, 0x2A, 0, 1), kNs},
    {"ExitUpdateMode", cmd(0x0A, 0x2B, 0, 1), kNs},
    {"RunInitializationAgent", cmd(0x0A, 0x2C, 1, 2), kNs},
    {"GetSelInfo", cmd(0x0A, 0x40, 0, 15), cmd(0x0A, 0x40, 0, 15)},
    {"GetSelAllocationInfo", cmd(0x0A, 0x41, 0, 10), cmd(0x0A, 0x41, 0, 10)},
    {"ReserveSel", cmd(0x0A, 0x42, 0, 3), cmd(0x0A, 0x42, 0, 3)},
    {"GetSelEntry", cmd(0x0A, 0x43, 6, 19), cmd(0x0A, 0x43, 6, 19)},
    {"AddSelEntry", cmd(0x0A, 0x44, 16, 3), cmd(0x0A, 0x44, 16, 3)},
    {"PartialAddSelEntry", cmd(0x0A, 0x45, 22, 3), cmd(0x0A, 0x45, 22, 3)},
    {"DeleteSelEntry", cmd(0x0A, 0x46, 4, 3), cmd(0x0A, 0x46, 4, 3)},
    {"ClearSel", cmd(0x0A, 0x47, 6, 2), cmd(0x0A, 0x47, 6, 2)},
    {"GetSelTime", cmd(0x0A, 0x48, 0, 5), cmd(0x0A, 0x48, 0, 5)},
    {"SetSelTime", cmd(0x0A, 0x49, 4, 1), cmd(0x0A, 0x49, 4, 1)},
    {"ReadMmcMemory", kNs, cmd(0x06, 0x1B, 3, 2)},
    {"SetMmcGlobalEnables", cmd(0x06, 0x2E, 1, 1), cmd(0x06, 0x1C, 1, 1)},
    {"GetMmcGlobalEnables", cmd(0x06, 0x2F, 0, 2), cmd(0x06, 0x1D, 0, 2)},
    {"ResetWatchdogTimer", cmd(0x06, 0x22, 0, 1), cmd(0x06, 0x22, 0, 1)},
    {"SetWatchdogTimer", cmd(0x06, 0x24, 6, 1), cmd(0x06, 0x24, 6, 1)},
    {"GetWatchdogTimer", cmd(0x06, 0x25, 0, 9), cmd(0x06, 0x25, 0, 9)},
    {"ClearInterruptFlags", kNs, cmd(0x06, 0x30, 1, 1)},
    {"GetInterruptFlags", kNs, cmd(0x06, 0x31, 0, 2)},
    {"ClearMessageFlags", cmd(0x06, 0x30, 1, 1), kNs},
    {"GetMessageFlags", cmd(0x06, 0x31, 0, 2), kNs},
    {"EnableMsgChannelRec", cmd(0x06, 0x32, 1, 3), kNs},
    {"GetMessage", cmd(0x06, 0x33, 0, 36), kNs},
    {"SendMessage", cmd(0x06, 0x34, kVar, 1), kNs},
    {"ReadEventMessageBuffer", cmd(0x06, 0x35, 0, 33), cmd(0x06, 0x35, 0, 33)},
    {"ReadSmmMessageBuffer", kNs, cmd(0x06, 0x36, 0, 33)},
    {"ReadSmsMessageBuffer", kNs, cmd(0x06, 0x37, 0, 33)},
    {"MasterWriteI2C", kNs, cmd(0x06, 0x50, kVar, 1)},
    {"MasterReadI2C", kNs, cmd(0x06, 0x51, 3, 32)},
    {"MasterWriteReadI2C", cmd(0x06, 0x52, kVar, 45), cmd(0x06, 0x52, kVar, 45)},
}};

#define QVBMC_NAME_R0(Result, Name) #Name,
#define QVBMC_NAME_R1(Result, Name, Request) #Name,
#define QVBMC_NAME_V0(Name) #Name,
constexpr std::string_view kOperationNames[] = {
    QVBMC_CONTROLLER_COMMANDS(QVBMC_NAME_R0, QVBMC_NAME_R1, QVBMC_NAME_V0)
    QVBMC_BASE_CONTROLLER_COMMANDS(QVBMC_NAME_R0, QVBMC_NAME_R1)};

constexpr bool rowsFollowOperations()
{
    for (size_t i = 0; i < kCommands.size(); ++i)
        if (!kCommands[i].name || kOperationNames[i] != kCommands[i].name) return false;
    return true;
}
static_assert(rowsFollowOperations(), "command rows must follow the operation lists");

} // namespace

const CommandSpec& commandSpec(CommandId id) { return kCommands[static_cast<size_t>(id)]; }

std::string functionName(const char* className, const char* operation)
{
    return std::string(className) + "::" + operation;
}

void rethrowAs(CIPMException* caught, const std::string& function)
{
    throw new CIPMException(caught->GetErrorCode(), function.c_str(),
                            caught->GetFailedInstruction(), caught->GetErrorMessage());
}

void throwBadArgument(const std::string& function, const char* instruction, const char* message)
{
    throw new CIPMException(IPMAPI_ERROR_BAD_ARGUMENT, function.c_str(), instruction, message);
}

void checkBridgedRequestFits(const std::string& function, int nRequestLength)
{
    if (nRequestLength + 1 > kCommandDataLengthMaximum)
        throwBadArgument(function, "if ( nCommandDataLength > QVBMC_COMMAND_DATA_LENGTH_MAXIMUM )",
                         "Request Command Data Length is invalid");
}

} // namespace qv::bmc
