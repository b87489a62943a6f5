// The drive tag service protocol between qvdisktagd and its agent: a 4-byte command datagram,
// then one 4-byte datagram per argument; one reply datagram. Host byte order; 0-based indexes.
#pragma once

#include <cstdint>

inline constexpr char kTattooSocketPath[] = "/var/qvserver/qvdisktagd.socket";

enum TattooCommandCode : int32_t {
    CMD_GET_ADAPTER_COUNT = 1,
    CMD_GET_ADAPTER_PORT = 2,
    CMD_GET_ADAPTER_NAME = 3,
    CMD_GET_ADAPTER_MFG = 4,
    CMD_GET_ADAPTER_VERSION = 5,
    CMD_GET_ADAPTER_CLASS = 6,
    CMD_GET_DRIVE_COUNT = 7,
    CMD_GET_DRIVE_ADAPTER = 8,
    CMD_GET_DRIVE_CHANNEL = 9,
    CMD_GET_DRIVE_TARGET = 10,
    CMD_GET_DRIVE_VERSION = 11,
    CMD_GET_DRIVE_VENDOR = 12,
    CMD_GET_DRIVE_DATE_CODE = 13,
    CMD_GET_DRIVE_SERIAL = 14,
    CMD_GET_DRIVE_PRODUCT_ID = 15,
    CMD_GET_DRIVE_LETTERS = 16,
    CMD_GET_DRIVE_RAID_LEVEL = 17,
    CMD_GET_DRIVE_WAS_LOCATED = 18,
    CMD_SET_DRIVE_WAS_LOCATED = 19,
    CMD_GET_DRIVE_REFRESH = 20,
    CMD_SET_DRIVE_REFRESH = 21,
    CMD_GET_DRIVE_REFRESH_STATUS = 22,
    CMD_GET_DRIVE_DST_AVAIL = 23,
    CMD_GET_DRIVE_DST_PERCENT = 24,
    CMD_GET_DRIVE_DST_START = 25,
    CMD_SET_DRIVE_DST_START = 26,
    CMD_GET_DRIVE_DST_RESULTS = 27,
    CMD_GET_DRIVE_DST_COMPLETION_TIME = 28,
    CMD_GET_DRIVE_DST_START_TIME = 29,
    CMD_GET_DRIVE_DST_END_TIME = 30,
};

enum class TattooReply {
    Integer,    // int32
    Flag,       // 1 byte
    Text,       // the text and its NUL, at most kTattooReplyMax bytes
    TimeText,   // a ctime() text (25 bytes) or "NA", no NUL
};

struct TattooCommand {
    int32_t code;
    int fields;   // argument datagrams after the command
    TattooReply reply;
};

inline constexpr int kTattooReplyMax = 4096;
// Marks a refresh still under way in the refresh status.
inline constexpr int32_t kTattooBusy = 99999999;

inline constexpr TattooCommand kTattooCommands[] = {
    {CMD_GET_ADAPTER_COUNT, 0, TattooReply::Integer},
    {CMD_GET_ADAPTER_PORT, 1, TattooReply::Integer},
    {CMD_GET_ADAPTER_NAME, 1, TattooReply::Text},
    {CMD_GET_ADAPTER_MFG, 1, TattooReply::Text},
    {CMD_GET_ADAPTER_VERSION, 1, TattooReply::Text},
    {CMD_GET_ADAPTER_CLASS, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_COUNT, 0, TattooReply::Integer},
    {CMD_GET_DRIVE_ADAPTER, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_CHANNEL, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_TARGET, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_VERSION, 1, TattooReply::Text},
    {CMD_GET_DRIVE_VENDOR, 1, TattooReply::Text},
    {CMD_GET_DRIVE_DATE_CODE, 1, TattooReply::Text},
    {CMD_GET_DRIVE_SERIAL, 1, TattooReply::Text},
    {CMD_GET_DRIVE_PRODUCT_ID, 1, TattooReply::Text},
    {CMD_GET_DRIVE_LETTERS, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_RAID_LEVEL, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_WAS_LOCATED, 1, TattooReply::Integer},
    {CMD_SET_DRIVE_WAS_LOCATED, 1, TattooReply::Flag},
    {CMD_GET_DRIVE_REFRESH, 0, TattooReply::Integer},
    {CMD_SET_DRIVE_REFRESH, 1, TattooReply::Flag},
    {CMD_GET_DRIVE_REFRESH_STATUS, 0, TattooReply::Integer},
    {CMD_GET_DRIVE_DST_AVAIL, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_DST_PERCENT, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_DST_START, 1, TattooReply::Integer},
    {CMD_SET_DRIVE_DST_START, 2, TattooReply::Integer},
    {CMD_GET_DRIVE_DST_RESULTS, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_DST_COMPLETION_TIME, 1, TattooReply::Integer},
    {CMD_GET_DRIVE_DST_START_TIME, 1, TattooReply::TimeText},
    {CMD_GET_DRIVE_DST_END_TIME, 1, TattooReply::TimeText},
};

constexpr const TattooCommand* findTattooCommand(int32_t code)
{
    for (const TattooCommand& c : kTattooCommands)
        if (c.code == code) return &c;
    return nullptr;
}
