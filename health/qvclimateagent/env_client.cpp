#include "env_client.h"

#include <cstdint>

#include "climate_protocol.h"

CEnvClient::CEnvClient() : m_oClient(kClimateSocketPath) {}

int CEnvClient::SendGetSensorCommand(int cmd, int kind, int index)
{
    const ClimateCommand* command = findClimateCommand(cmd);
    const ClimateFields fields = command ? command->fields : ClimateFields::KindIndex;
    const bool sent = fields == ClimateFields::None ? m_oClient.SendFields({cmd})
                      : fields == ClimateFields::Kind ? m_oClient.SendFields({cmd, kind})
                                                      : m_oClient.SendFields({cmd, kind, index});
    int32_t reply = 0;
    return sent && m_oClient.ReadReply(&reply, sizeof reply) ? reply : 0;
}

bool CEnvClient::SendSetSensorCommand(int cmd, int kind, int index, int value)
{
    uint8_t reply = 0;
    return m_oClient.SendFields({cmd, kind, index, value}) &&
           m_oClient.ReadReply(&reply, sizeof reply) && reply == 1;
}

int CEnvClient::GetSensorCount(int kind) { return SendGetSensorCommand(CMD_GET_SENSOR_COUNT, kind, 0); }
int CEnvClient::GetChassisStatus() { return SendGetSensorCommand(CMD_GET_CHASSIS_STATUS, 0, 0); }
int CEnvClient::GetVoltageSensorLevel(int index)
{
    return SendGetSensorCommand(CMD_GET_SENSOR_LEVEL, kSensorKindVoltage, index);
}
int CEnvClient::GetVoltageSensorNominalLevel(int index)
{
    return SendGetSensorCommand(CMD_GET_SENSOR_NOMINAL_LEVEL, kSensorKindVoltage, index);
}

#define QV_ENV_CLIENT_GET(Name, Cmd)                                                               \
    int CEnvClient::Name(int kind, int index) { return SendGetSensorCommand(Cmd, kind, index); }
QV_ENV_CLIENT_GET(GetSensorType, CMD_GET_SENSOR_TYPE)
QV_ENV_CLIENT_GET(GetSensorLocation, CMD_GET_SENSOR_LOCATION)
QV_ENV_CLIENT_GET(GetSensorDescription, CMD_GET_SENSOR_DESCRIPTION)
QV_ENV_CLIENT_GET(GetSensorStatus, CMD_GET_SENSOR_STATUS)
QV_ENV_CLIENT_GET(GetSensorNormalMaximum, CMD_GET_SENSOR_NORMAL_MAXIMUM)
QV_ENV_CLIENT_GET(GetSensorNormalMinimum, CMD_GET_SENSOR_NORMAL_MINIMUM)
QV_ENV_CLIENT_GET(GetSensorMaximum, CMD_GET_SENSOR_MAXIMUM)
QV_ENV_CLIENT_GET(GetSensorMinimum, CMD_GET_SENSOR_MINIMUM)
QV_ENV_CLIENT_GET(GetSensorLowerNonCritical, CMD_GET_SENSOR_LNC)
QV_ENV_CLIENT_GET(GetSensorUpperNonCritical, CMD_GET_SENSOR_UNC)
QV_ENV_CLIENT_GET(GetSensorLowerCritical, CMD_GET_SENSOR_LC)
QV_ENV_CLIENT_GET(GetSensorUpperCritical, CMD_GET_SENSOR_UC)
QV_ENV_CLIENT_GET(GetSensorLowerNonRecoverable, CMD_GET_SENSOR_LNR)
QV_ENV_CLIENT_GET(GetSensorUpperNonRecoverable, CMD_GET_SENSOR_UNR)
QV_ENV_CLIENT_GET(GetSensorResolution, CMD_GET_SENSOR_RESOLUTION)
QV_ENV_CLIENT_GET(GetSensorTolerance, CMD_GET_SENSOR_TOLERANCE)
QV_ENV_CLIENT_GET(GetSensorAccuracy, CMD_GET_SENSOR_ACCURACY)
QV_ENV_CLIENT_GET(GetSensorPositiveHysterisis, CMD_GET_SENSOR_POSITIVE_HYSTERISIS)
QV_ENV_CLIENT_GET(GetSensorNegativeHysterisis, CMD_GET_SENSOR_NEGATIVE_HYSTERISIS)
QV_ENV_CLIENT_GET(GetSensorReading, CMD_GET_SENSOR_READING)
QV_ENV_CLIENT_GET(GetSensorNominalReading, CMD_GET_SENSOR_NOMINAL_READING)
#undef QV_ENV_CLIENT_GET

#define QV_ENV_CLIENT_SET(Name, Cmd)                                                               \
    bool CEnvClient::Name(int kind, int index, int value)                                          \
    {                                                                                              \
        return SendSetSensorCommand(Cmd, kind, index, value);                                      \
    }
QV_ENV_CLIENT_SET(SetSensorLowerNonCritical, CMD_SET_SENSOR_LNC)
QV_ENV_CLIENT_SET(SetSensorUpperNonCritical, CMD_SET_SENSOR_UNC)
QV_ENV_CLIENT_SET(SetSensorLowerCritical, CMD_SET_SENSOR_LC)
QV_ENV_CLIENT_SET(SetSensorUpperCritical, CMD_SET_SENSOR_UC)
QV_ENV_CLIENT_SET(SetSensorLowerNonRecoverable, CMD_SET_SENSOR_LNR)
QV_ENV_CLIENT_SET(SetSensorUpperNonRecoverable, CMD_SET_SENSOR_UNR)
QV_ENV_CLIENT_SET(SetSensorPositiveHysterisis, CMD_SET_SENSOR_POSITIVE_HYSTERISIS)
QV_ENV_CLIENT_SET(SetSensorNegativeHysterisis, CMD_SET_SENSOR_NEGATIVE_HYSTERISIS)
#undef QV_ENV_CLIENT_SET
