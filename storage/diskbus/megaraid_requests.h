// Byte layouts of the requests a MegaRAID controller's management interface takes: the
// management command and the pass-through, each in the long form (ioctl 0x6D00 on the
// management device) and the 2.2 kernels' short form (ioctl 1 on the controller's generic node).
// The 32-bit address fields carry 0: the data travel inline behind the header on the channel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace megaraid {

constexpr uint32_t kIoctlManagement = 0x6D00;   // the long forms
constexpr uint32_t kIoctlShort = 1;              // the 2.2 kernels' forms

constexpr uint32_t kLongHeader = 110;
constexpr uint32_t kShortCommandHeader = 8;   // management command reply data offset on 2.2
constexpr uint32_t kShortCommandLength = 32;

constexpr uint8_t kOpcodePassThrough = 0x80;
constexpr uint8_t kOpcodeCommand = 0x81;
constexpr uint8_t kMailboxPassThrough = 3;
constexpr uint8_t kPassThroughMarker = 0xAA;
constexpr uint8_t kAutoSenseFlag = 0x08;
constexpr uint8_t kSenseLength = 32;
// The controller's answer for a pass-through to a device it does not have.
constexpr uint8_t kStatusNoDevice = 0xF0;

// Controller commands.
constexpr uint8_t kCmdEnquiry8 = 5;
constexpr uint8_t kCmdConfig8 = 7;
constexpr uint8_t kCmdExtended = 0xA1;
constexpr uint8_t kParamProductInfo = 0x0E;
constexpr uint8_t kParamConfig40 = 0x04;

#pragma pack(push, 1)
// The long management command and pass-through request (110 bytes; little-endian integers).
struct LongRequest {
    uint32_t inLength;       // 0
    uint32_t outLength;      // 4
    uint8_t opcode;          // 8
    uint8_t reserved9;
    uint16_t adapterCode;    // 10: 0x6D00 | controller number
    uint32_t dataAddress;    // 12 (command form)
    uint32_t reserved16;
    uint32_t dataLength;     // 20 (command form)
    uint8_t mailbox[17];     // 24..40: byte 0 command, 1 marker, 2 parameter
    uint8_t commandStatus;   // 41 (reply)
    // The pass-through's own block from 42 on.
    uint8_t timeoutFlags;    // 42
    uint8_t reserved43;
    uint8_t channel;         // 44
    uint8_t target;          // 45
    uint8_t reserved46[2];
    uint8_t cdb[10];         // 48
    uint8_t cdbLength;       // 58
    uint8_t senseLength;     // 59
    uint8_t sense[32];       // 60 (reply)
    uint8_t reserved92;
    uint8_t scsiStatus;      // 93 (reply)
    uint32_t passDataAddress;   // 94
    uint32_t passDataLength;    // 98
    uint32_t passDataAddress2;  // 102
    uint32_t reserved106;
};
#pragma pack(pop)
static_assert(sizeof(LongRequest) == kLongHeader);
static_assert(offsetof(LongRequest, inLength) == 0 &&
              offsetof(LongRequest, outLength) == 4 &&
              offsetof(LongRequest, opcode) == 8 &&
              offsetof(LongRequest, adapterCode) == 10 &&
              offsetof(LongRequest, dataAddress) == 12 &&
              offsetof(LongRequest, dataLength) == 20 &&
              offsetof(LongRequest, mailbox) == 24 &&
              offsetof(LongRequest, commandStatus) == 41 &&
              offsetof(LongRequest, timeoutFlags) == 42 &&
              offsetof(LongRequest, channel) == 44 &&
              offsetof(LongRequest, target) == 45 &&
              offsetof(LongRequest, cdb) == 48 &&
              offsetof(LongRequest, cdbLength) == 58 &&
              offsetof(LongRequest, senseLength) == 59 &&
              offsetof(LongRequest, sense) == 60 &&
              offsetof(LongRequest, scsiStatus) == 93 &&
              offsetof(LongRequest, passDataAddress) == 94 &&
              offsetof(LongRequest, passDataLength) == 98 &&
              offsetof(LongRequest, passDataAddress2) == 102);

// The 2.2 kernels' management command (32 bytes); its reply data begin at byte 8.
#pragma pack(push, 1)
struct ShortCommand {
    uint32_t inLength;    // 0: 6
    uint32_t outLength;   // 4: 4096
    uint8_t opcode;       // 8: 0x80
    uint8_t reserved9[11];
    uint8_t command;      // 20: mailbox byte 0
    uint8_t parameter;    // 21: mailbox byte 1
    uint8_t reserved22[10];
};
#pragma pack(pop)
static_assert(sizeof(ShortCommand) == kShortCommandLength);
static_assert(offsetof(ShortCommand, opcode) == 8 && offsetof(ShortCommand, command) == 20 &&
              offsetof(ShortCommand, parameter) == 21);

// Offsets of the short pass-through (2.2 kernels), whose tail follows its command block.
namespace shortform {
constexpr unsigned kInLength = 0;
constexpr unsigned kOutLength = 4;
constexpr unsigned kOpcode = 8;
constexpr unsigned kMailbox0 = 20;
constexpr unsigned kMailbox1 = 21;
constexpr unsigned kCdbLength = 22;
constexpr unsigned kCdb = 23;
constexpr uint32_t kOutLengthValue = 4096;
} // namespace shortform

} // namespace megaraid
