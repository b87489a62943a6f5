// The environment service protocol between qvclimated and qvclimateagent: command codes, sensor
// kinds and the service's socket.
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

inline bool isGetCommand(int nCmd) { return nCmd >= 1 && nCmd <= 25; }
inline bool isSetCommand(int nCmd) { return nCmd >= 26 && nCmd <= 33; }
inline bool isSensorKind(int nKind) { return nKind == 1 || nKind == 2 || nKind == 4; }
