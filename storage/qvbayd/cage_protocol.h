// The drive-cage service protocol between qvbayd and its agent: a 4-byte command datagram, then
// one datagram per argument (integers as 4 bytes, texts with their NUL, at most 512 bytes); one
// reply datagram. Host byte order; drive indexes are 0-based positions in the flat drive list.
#pragma once

#include <cstdint>

inline constexpr char kCageSocketPath[] = "/var/qvserver/qvbayd.socket";

enum CageCommandCode : int32_t {
    CMD_GET_CAGE_COUNT = 1,
    CMD_GET_CAGE_INFO_SIZE = 2,
    CMD_GET_CAGE_INFO = 3,
    CMD_GET_CAGE_STATUS = 4,
    CMD_GET_DRIVE_COUNT = 5,
    CMD_GET_DRIVE_INDEX = 6,
    CMD_GET_DRIVE_I2C_ADDR = 7,
    CMD_GET_DRIVE_SCSI_ID = 8,
    CMD_GET_DRIVE_LED_STATE = 9,
    CMD_SET_DRIVE_LED_STATE = 10,
    CMD_GET_DRIVE_LED_SET_STATUS = 11,
    CMD_GET_DRIVE_PRESENT = 12,
    CMD_GET_FLASH_ADAPTER_TYPE = 13,
    CMD_SET_FLASH_ADAPTER_TYPE = 14,
    CMD_GET_FLASH_ADAPTER_NUM = 15,
    CMD_SET_FLASH_ADAPTER_NUM = 16,
    CMD_GET_FLASH_CHANNEL_NUM = 17,
    CMD_SET_FLASH_CHANNEL_NUM = 18,
    CMD_SET_FLASH_COUNT = 19,
    CMD_GET_FLASH_STATUS = 20,
    CMD_GET_FLASH_TARGET_ID = 21,
    CMD_SET_FLASH_TARGET_ID = 22,
    CMD_SET_FLASH_ONE_COUNT = 23,
    CMD_GET_DRIVE_READINESS = 24,
    CMD_GET_WWW_URL = 25,
    CMD_SET_WWW_URL = 26,
    CMD_GET_WWW_SIZE = 27,
    CMD_GET_WWW_STATUS = 28,
    CMD_GET_WWW_PROXY = 29,
    CMD_SET_WWW_PROXY = 30,
    CMD_GET_FW_STATUS = 31,
    CMD_SET_FW_UPDATE = 32,
    CMD_GET_DRIVE_CAGE_CHANNEL = 33,
    CMD_GET_DRIVE_CAGE_ADAPTER = 34,
    CMD_GET_DRIVE_CAGE_TYPE = 35,
};

enum class CageArgs {
    None,
    Integer,      // one 4-byte argument
    Integers2,    // drive and level
    Text,         // one text argument
};

enum class CageReply {
    Integer,   // int32
    Flag,      // 1 byte: 1 true, 0 false
    Text,      // the text and its NUL
    Block,     // the cage descriptors
};

struct CageCommand {
    int32_t code;
    CageArgs args;
    CageReply reply;
};

inline constexpr int kCageReplyMax = 4096;
// Marks a flash request still under way in the flash status.
inline constexpr int32_t kCageFlashBusy = 99999999;

inline constexpr CageCommand kCageCommands[] = {
    {CMD_GET_CAGE_COUNT, CageArgs::None, CageReply::Integer},
    {CMD_GET_CAGE_INFO_SIZE, CageArgs::None, CageReply::Integer},
    {CMD_GET_CAGE_INFO, CageArgs::None, CageReply::Block},
    {CMD_GET_CAGE_STATUS, CageArgs::None, CageReply::Integer},
    {CMD_GET_DRIVE_COUNT, CageArgs::None, CageReply::Integer},
    {CMD_GET_DRIVE_INDEX, CageArgs::Integer, CageReply::Integer},
    {CMD_GET_DRIVE_I2C_ADDR, CageArgs::Integer, CageReply::Integer},
    {CMD_GET_DRIVE_SCSI_ID, CageArgs::Integer, CageReply::Integer},
    {CMD_GET_DRIVE_LED_STATE, CageArgs::Integer, CageReply::Integer},
    {CMD_SET_DRIVE_LED_STATE, CageArgs::Integers2, CageReply::Flag},
    {CMD_GET_DRIVE_LED_SET_STATUS, CageArgs::Integer, CageReply::Integer},
    {CMD_GET_DRIVE_PRESENT, CageArgs::Integer, CageReply::Integer},
    {CMD_GET_FLASH_ADAPTER_TYPE, CageArgs::None, CageReply::Integer},
    {CMD_SET_FLASH_ADAPTER_TYPE, CageArgs::Integer, CageReply::Flag},
    {CMD_GET_FLASH_ADAPTER_NUM, CageArgs::None, CageReply::Integer},
    {CMD_SET_FLASH_ADAPTER_NUM, CageArgs::Integer, CageReply::Flag},
    {CMD_GET_FLASH_CHANNEL_NUM, CageArgs::None, CageReply::Integer},
    {CMD_SET_FLASH_CHANNEL_NUM, CageArgs::Integer, CageReply::Flag},
    {CMD_SET_FLASH_COUNT, CageArgs::Integer, CageReply::Flag},
    {CMD_GET_FLASH_STATUS, CageArgs::None, CageReply::Integer},
    {CMD_GET_FLASH_TARGET_ID, CageArgs::None, CageReply::Integer},
    {CMD_SET_FLASH_TARGET_ID, CageArgs::Integer, CageReply::Flag},
    {CMD_SET_FLASH_ONE_COUNT, CageArgs::Integer, CageReply::Flag},
    {CMD_GET_DRIVE_READINESS, CageArgs::None, CageReply::Integer},
    {CMD_GET_WWW_URL, CageArgs::None, CageReply::Text},
    {CMD_SET_WWW_URL, CageArgs::Text, CageReply::Flag},
    {CMD_GET_WWW_SIZE, CageArgs::None, CageReply::Integer},
    {CMD_GET_WWW_STATUS, CageArgs::None, CageReply::Integer},
    {CMD_GET_WWW_PROXY, CageArgs::None, CageReply::Text},
    {CMD_SET_WWW_PROXY, CageArgs::Text, CageReply::Flag},
    {CMD_GET_FW_STATUS, CageArgs::None, CageReply::Integer},
    {CMD_SET_FW_UPDATE, CageArgs::Integer, CageReply::Flag},
    {CMD_GET_DRIVE_CAGE_CHANNEL, CageArgs::Integer, CageReply::Integer},
    {CMD_GET_DRIVE_CAGE_ADAPTER, CageArgs::Integer, CageReply::Integer},
    {CMD_GET_DRIVE_CAGE_TYPE, CageArgs::Integer, CageReply::Integer},
};

constexpr const CageCommand* findCageCommand(int32_t code)
{
    for (const CageCommand& c : kCageCommands)
        if (c.code == code) return &c;
    return nullptr;
}
