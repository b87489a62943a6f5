// The IPMI command behind every controller operation, for both IPMI versions, and the one
// routine that turns an operation's request record into an exchange and the answer back into its
// response record. Satellite controllers and base controllers share it; each passes its own
// exchange (its first SendReceiveIPMIMessage overload).
#pragma once

#include "ipmcontrollerexport.h"
#include "ipmexception.h"

#include <cstring>
#include <string>

namespace qv::bmc {

#define QVBMC_ID_R0(Result, Name) Name,
#define QVBMC_ID_R1(Result, Name, Request) Name,
#define QVBMC_ID_V0(Name) Name,
enum class CommandId {
    QVBMC_CONTROLLER_COMMANDS(QVBMC_ID_R0, QVBMC_ID_R1, QVBMC_ID_V0)
    QVBMC_BASE_CONTROLLER_COMMANDS(QVBMC_ID_R0, QVBMC_ID_R1)
    Count
};
#undef QVBMC_ID_R0
#undef QVBMC_ID_R1
#undef QVBMC_ID_V0

// The most command data bytes one request may carry.
inline constexpr int kCommandDataLengthMaximum = 26;

struct VersionCommand {
    static constexpr int kVariable = -1;     // the request's bRequestLength
    static constexpr int kNoResponse = -1;   // no answer is awaited
    static constexpr uint8_t kUnsupported = 0xFF;

    uint8_t netFn = kUnsupported;
    uint8_t command = 0;
    int data = 0;
    int capacity = 0;
    bool supported() const { return netFn != kUnsupported; }
};

struct CommandSpec {
    const char* name;
    VersionCommand v10;
    VersionCommand v09;
};

const CommandSpec& commandSpec(CommandId id);

// "Class::Operation".
std::string functionName(const char* className, const char* operation);

// Replaces a caught exception by a new one naming `function`; the new one's construction
// deletes the caught one after its texts were copied.
[[noreturn]] void rethrowAs(CIPMException* caught, const std::string& function);

[[noreturn]] void throwBadArgument(const std::string& function, const char* instruction,
                                   const char* message);

// A bridged request travels as the data of one direct command with one byte ahead of it (Send
// Message: the channel; Master Write I2C: bus and address, without the message's first byte),
// so it must fit the direct limit. Refused at once, as the direct exchange would refuse it on
// every retry.
void checkBridgedRequestFits(const std::string& function, int nRequestLength);

template <class Record>
constexpr size_t recordDataOffset()
{
    if constexpr (requires(Record r) { r.bRequestLength; } || requires(Record r) { r.bResponseLength; })
        return 2;
    else
        return 1;
}

// One controller operation: clear the result, send the request's data, fill the answer in.
// Target is any object with the direct-exchange signature of SendReceiveIPMIMessage.
template <class Response, class Request, class Target>
Response runCommand(Target& target, CommandId id, const Request* request, int version,
                    const char* className)
{
    const CommandSpec& spec = commandSpec(id);
    const VersionCommand& command = version == 9 ? spec.v09 : spec.v10;
    Response result;
    memset(&result, 0, sizeof result);
    if (!command.supported()) return result;

    const unsigned char* data = nullptr;
    int dataLength = 0;
    if (request && command.data != 0) {
        data = reinterpret_cast<const unsigned char*>(request) + recordDataOffset<Request>();
        dataLength = command.data;
        if constexpr (requires { request->bRequestLength; }) {
            if (command.data == VersionCommand::kVariable) dataLength = request->bRequestLength;
        }
        // A stated length beyond the record would read past the caller's request.
        const int room = static_cast<int>(sizeof(Request) - recordDataOffset<Request>());
        if (dataLength > room)
            throwBadArgument(functionName(className, spec.name),
                             "if ( nCommandDataLength > QVBMC_COMMAND_DATA_LENGTH_MAXIMUM )",
                             "Request Command Data Length is invalid");
    }

    unsigned char* answer = reinterpret_cast<unsigned char*>(&result) + recordDataOffset<Response>();
    int received = command.capacity;
    try {
        if (command.capacity == VersionCommand::kNoResponse)
            target.SendReceiveIPMIMessage(command.netFn, command.command, data, dataLength,
                                          nullptr, nullptr);
        else
            target.SendReceiveIPMIMessage(command.netFn, command.command, data, dataLength,
                                          answer, &received);
    } catch (CIPMException* e) {
        rethrowAs(e, functionName(className, spec.name));
    }
    result.bVersion = static_cast<UINT8>(version);
    if constexpr (requires { result.bResponseLength; })
        result.bResponseLength = static_cast<UINT8>(received);
    return result;
}

} // namespace qv::bmc
