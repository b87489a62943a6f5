// The environment agent's client of qvclimated: one request of the environment service
// protocol per call; a failed request gives 0 (gets) or false (sets).
#pragma once

#include "service_client.h"

class CEnvClient {
public:
    CEnvClient();

    int GetSensorCount(int kind);
    int GetSensorType(int kind, int index);
    int GetSensorLocation(int kind, int index);
    int GetSensorDescription(int kind, int index);
    int GetSensorStatus(int kind, int index);
    int GetSensorNormalMaximum(int kind, int index);
    int GetSensorNormalMinimum(int kind, int index);
    int GetSensorMaximum(int kind, int index);
    int GetSensorMinimum(int kind, int index);
    int GetSensorLowerNonCritical(int kind, int index);
    int GetSensorUpperNonCritical(int kind, int index);
    int GetSensorLowerCritical(int kind, int index);
    int GetSensorUpperCritical(int kind, int index);
    int GetSensorLowerNonRecoverable(int kind, int index);
    int GetSensorUpperNonRecoverable(int kind, int index);
    int GetSensorResolution(int kind, int index);
    int GetSensorTolerance(int kind, int index);
    int GetSensorAccuracy(int kind, int index);
    int GetSensorPositiveHysterisis(int kind, int index);
    int GetSensorNegativeHysterisis(int kind, int index);
    int GetSensorReading(int kind, int index);
    int GetSensorNominalReading(int kind, int index);
    int GetVoltageSensorLevel(int index);
    int GetVoltageSensorNominalLevel(int index);
    int GetChassisStatus();

    bool SetSensorLowerNonCritical(int kind, int index, int value);
    bool SetSensorUpperNonCritical(int kind, int index, int value);
    bool SetSensorLowerCritical(int kind, int index, int value);
    bool SetSensorUpperCritical(int kind, int index, int value);
    bool SetSensorLowerNonRecoverable(int kind, int index, int value);
    bool SetSensorUpperNonRecoverable(int kind, int index, int value);
    bool SetSensorPositiveHysterisis(int kind, int index, int value);
    bool SetSensorNegativeHysterisis(int kind, int index, int value);

    // Any get command (1-25) and any set command (26-33) by code.
    int SendGetSensorCommand(int cmd, int kind, int index);
    bool SendSetSensorCommand(int cmd, int kind, int index, int value);

    CSocket& Socket() { return m_oClient.Socket(); }

private:
    CServiceClient m_oClient;
};
