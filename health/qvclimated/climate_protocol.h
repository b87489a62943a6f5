// The environment service protocol between qvclimated and qvclimateagent: the service's socket,
// sensor kinds, and the one command table (code, fields after the code, reply, and the agent's
// table column the command serves) that the service, the client and the agent's columns read.
#pragma once

inline constexpr char kClimateSocketPath[] = "/var/qvserver/qvclimated.socket";

enum CMD_GET {
    CMD_GET_SENSOR_COUNT = 1,
    CMD_GET_SENSOR_TYPE,
    CMD_GET_SENSOR_LOCATION,
    CMD_GET_SENSOR_DESCRIPTION,
    CMD_GET_SENSOR_STATUS,
    CMD_GET_SENSOR_NORMAL_MAXIMUM,
    CMD_GET_SENSOR_NORMAL_MINIMUM,
    CMD_GET_SENSOR_MAXIMUM,
    CMD_GET_SENSOR_MINIMUM,
    CMD_GET_SENSOR_LNC,
    CMD_GET_SENSOR_UNC,
    CMD_GET_SENSOR_LC,
    CMD_GET_SENSOR_UC,
    CMD_GET_SENSOR_LNR,
    CMD_GET_SENSOR_UNR,
    CMD_GET_SENSOR_RESOLUTION,
    CMD_GET_SENSOR_TOLERANCE,
    CMD_GET_SENSOR_ACCURACY,
    CMD_GET_SENSOR_POSITIVE_HYSTERISIS,
    CMD_GET_SENSOR_NEGATIVE_HYSTERISIS,
    CMD_GET_CHASSIS_STATUS,
    CMD_GET_SENSOR_LEVEL,
    CMD_GET_SENSOR_NOMINAL_LEVEL,
    CMD_GET_SENSOR_READING,
    CMD_GET_SENSOR_NOMINAL_READING,
};

enum CMD_SET {
    CMD_SET_SENSOR_LNC = 26,
    CMD_SET_SENSOR_UNC,
    CMD_SET_SENSOR_LC,
    CMD_SET_SENSOR_UC,
    CMD_SET_SENSOR_LNR,
    CMD_SET_SENSOR_UNR,
    CMD_SET_SENSOR_POSITIVE_HYSTERISIS,
    CMD_SET_SENSOR_NEGATIVE_HYSTERISIS,
};

constexpr bool isGetCommand(int nCmd) { return nCmd >= 1 && nCmd <= 25; }
constexpr bool isSetCommand(int nCmd) { return nCmd >= 26 && nCmd <= 33; }
constexpr bool isSensorKind(int nKind) { return nKind == 1 || nKind == 2 || nKind == 4; }

inline constexpr int kSensorKindTemperature = 1;
inline constexpr int kSensorKindVoltage = 2;
inline constexpr int kSensorKindFan = 4;

// The 4-byte fields that follow the command code, in this order.
enum class ClimateFields { None, Kind, KindIndex, KindIndexValue };
// A get is answered with a 4-byte integer, a set with one byte (1 written, 0 not).
enum class ClimateReply { Integer, Flag };
// Which of the agent's sensor tables a column command serves.
enum ClimateTables : unsigned { kNoTable = 0, kVoltageTable = 1, kTemperatureTable = 2, kFanTable = 4,
                                kAllTables = 7 };

struct ClimateCommand {
    int code;
    ClimateFields fields;
    ClimateReply reply;
    int column;          // the agent's table column (0: none)
    unsigned tables;     // ClimateTables the column command serves
};

inline constexpr ClimateCommand kClimateCommands[] = {
    {CMD_GET_SENSOR_COUNT, ClimateFields::Kind, ClimateReply::Integer, 0, kNoTable},
    {CMD_GET_SENSOR_TYPE, ClimateFields::KindIndex, ClimateReply::Integer, 2, kAllTables},
    {CMD_GET_SENSOR_LOCATION, ClimateFields::KindIndex, ClimateReply::Integer, 3, kAllTables},
    {CMD_GET_SENSOR_DESCRIPTION, ClimateFields::KindIndex, ClimateReply::Integer, 4, kAllTables},
    {CMD_GET_SENSOR_STATUS, ClimateFields::KindIndex, ClimateReply::Integer, 5, kAllTables},
    {CMD_GET_SENSOR_NORMAL_MAXIMUM, ClimateFields::KindIndex, ClimateReply::Integer, 8, kAllTables},
    {CMD_GET_SENSOR_NORMAL_MINIMUM, ClimateFields::KindIndex, ClimateReply::Integer, 9, kAllTables},
    {CMD_GET_SENSOR_MAXIMUM, ClimateFields::KindIndex, ClimateReply::Integer, 10, kAllTables},
    {CMD_GET_SENSOR_MINIMUM, ClimateFields::KindIndex, ClimateReply::Integer, 11, kAllTables},
    {CMD_GET_SENSOR_LNC, ClimateFields::KindIndex, ClimateReply::Integer, 12, kAllTables},
    {CMD_GET_SENSOR_UNC, ClimateFields::KindIndex, ClimateReply::Integer, 13, kAllTables},
    {CMD_GET_SENSOR_LC, ClimateFields::KindIndex, ClimateReply::Integer, 14, kAllTables},
    {CMD_GET_SENSOR_UC, ClimateFields::KindIndex, ClimateReply::Integer, 15, kAllTables},
    {CMD_GET_SENSOR_LNR, ClimateFields::KindIndex, ClimateReply::Integer, 16, kAllTables},
    {CMD_GET_SENSOR_UNR, ClimateFields::KindIndex, ClimateReply::Integer, 17, kAllTables},
    {CMD_GET_SENSOR_RESOLUTION, ClimateFields::KindIndex, ClimateReply::Integer, 18, kAllTables},
    {CMD_GET_SENSOR_TOLERANCE, ClimateFields::KindIndex, ClimateReply::Integer, 19, kAllTables},
    {CMD_GET_SENSOR_ACCURACY, ClimateFields::KindIndex, ClimateReply::Integer, 20, kAllTables},
    {CMD_GET_SENSOR_POSITIVE_HYSTERISIS, ClimateFields::KindIndex, ClimateReply::Integer, 21, kAllTables},
    {CMD_GET_SENSOR_NEGATIVE_HYSTERISIS, ClimateFields::KindIndex, ClimateReply::Integer, 22, kAllTables},
    {CMD_GET_CHASSIS_STATUS, ClimateFields::None, ClimateReply::Integer, 0, kNoTable},
    {CMD_GET_SENSOR_LEVEL, ClimateFields::KindIndex, ClimateReply::Integer, 6, kVoltageTable},
    {CMD_GET_SENSOR_NOMINAL_LEVEL, ClimateFields::KindIndex, ClimateReply::Integer, 7, kVoltageTable},
    {CMD_GET_SENSOR_READING, ClimateFields::KindIndex, ClimateReply::Integer, 6,
     kTemperatureTable | kFanTable},
    {CMD_GET_SENSOR_NOMINAL_READING, ClimateFields::KindIndex, ClimateReply::Integer, 7,
     kTemperatureTable | kFanTable},
    {CMD_SET_SENSOR_LNC, ClimateFields::KindIndexValue, ClimateReply::Flag, 12, kAllTables},
    {CMD_SET_SENSOR_UNC, ClimateFields::KindIndexValue, ClimateReply::Flag, 13, kAllTables},
    {CMD_SET_SENSOR_LC, ClimateFields::KindIndexValue, ClimateReply::Flag, 14, kAllTables},
    {CMD_SET_SENSOR_UC, ClimateFields::KindIndexValue, ClimateReply::Flag, 15, kAllTables},
    {CMD_SET_SENSOR_LNR, ClimateFields::KindIndexValue, ClimateReply::Flag, 16, kAllTables},
    {CMD_SET_SENSOR_UNR, ClimateFields::KindIndexValue, ClimateReply::Flag, 17, kAllTables},
    {CMD_SET_SENSOR_POSITIVE_HYSTERISIS, ClimateFields::KindIndexValue, ClimateReply::Flag, 21, kAllTables},
    {CMD_SET_SENSOR_NEGATIVE_HYSTERISIS, ClimateFields::KindIndexValue, ClimateReply::Flag, 22, kAllTables},
};

// The row of a command code; null for a code the service does not know.
constexpr const ClimateCommand* findClimateCommand(int nCmd)
{
    for (const ClimateCommand& c : kClimateCommands)
        if (c.code == nCmd) return &c;
    return nullptr;
}

constexpr bool commandTableIsConsistent()
{
    int expected = 1;
    for (const ClimateCommand& c : kClimateCommands) {
        if (c.code != expected++) return false;
        if ((c.reply == ClimateReply::Flag) != isSetCommand(c.code)) return false;
        if ((c.fields == ClimateFields::KindIndexValue) != isSetCommand(c.code)) return false;
    }
    return expected == CMD_SET_SENSOR_NEGATIVE_HYSTERISIS + 1;
}
static_assert(commandTableIsConsistent(), "one row per code, gets answer integers, sets flags");

// The agent table a sensor kind is shown in.
constexpr unsigned tableOfKind(int nKind)
{
    return nKind == kSensorKindVoltage       ? kVoltageTable
           : nKind == kSensorKindTemperature ? kTemperatureTable
           : nKind == kSensorKindFan         ? kFanTable
                                             : kNoTable;
}

// The command a column of the given kind's table reads (or, with `set`, writes); 0 when none.
constexpr int columnCommand(int column, int nKind, bool set)
{
    for (const ClimateCommand& c : kClimateCommands)
        if (c.column == column && (c.tables & tableOfKind(nKind)) != 0 &&
            (c.reply == ClimateReply::Flag) == set)
            return c.code;
    return 0;
}
