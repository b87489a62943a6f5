// The service's sensors by kind (1 temperature, 2 voltage, 4 fan) and zero-based index, built
// once from the IPMI system object, and the chassis intrusion status.
#pragma once

#include <vector>

#include "env_sensor.h"

class CEnvSensorsList {
public:
    explicit CEnvSensorsList(CIPMSystemExport* poSystem) : m_poSystem(poSystem) {}

    // False when there is no system object.
    bool RebuildSensorsList();
    int GetCount(int nSensor) const;

    int GetSensorType(int nSensor, int nIndex) const;
    int GetSensorLocation(int nSensor, int nIndex) const;
    int GetSensorDescription(int nSensor, int nIndex) const;
    int GetSensorStatus(int nSensor, int nIndex) const;
    int GetSensorNormalMaximum(int nSensor, int nIndex) const;
    int GetSensorNormalMinimum(int nSensor, int nIndex) const;
    int GetSensorMaximum(int nSensor, int nIndex) const;
    int GetSensorMinimum(int nSensor, int nIndex) const;
    int GetSensorLowerNonCritical(int nSensor, int nIndex) const;
    int GetSensorUpperNonCritical(int nSensor, int nIndex) const;
    int GetSensorLowerCritical(int nSensor, int nIndex) const;
    int GetSensorUpperCritical(int nSensor, int nIndex) const;
    int GetSensorLowerNonRecoverable(int nSensor, int nIndex) const;
    int GetSensorUpperNonRecoverable(int nSensor, int nIndex) const;
    int GetSensorResolution(int nSensor, int nIndex) const;
    int GetSensorTolerance(int nSensor, int nIndex) const;
    int GetSensorAccuracy(int nSensor, int nIndex) const;
    int GetSensorPositiveHysterisis(int nSensor, int nIndex) const;
    int GetSensorNegativeHysterisis(int nSensor, int nIndex) const;

    bool SetSensorLowerNonCritical(int nSensor, int nIndex, int nValue);
    bool SetSensorUpperNonCritical(int nSensor, int nIndex, int nValue);
    bool SetSensorLowerCritical(int nSensor, int nIndex, int nValue);
    bool SetSensorUpperCritical(int nSensor, int nIndex, int nValue);
    bool SetSensorLowerNonRecoverable(int nSensor, int nIndex, int nValue);
    bool SetSensorUpperNonRecoverable(int nSensor, int nIndex, int nValue);
    bool SetSensorPositiveHysterisis(int nSensor, int nIndex, int nValue);
    bool SetSensorNegativeHysterisis(int nSensor, int nIndex, int nValue);

    int GetVoltageSensorLevel(int nIndex) const;
    int GetVoltageSensorNominalLevel(int nIndex) const;
    int GetSensorReading(int nSensor, int nIndex) const;
    int GetSensorNominalReading(int nSensor, int nIndex) const;

    // The sensor of a kind at an index; null when there is none.
    const CEnvSensor* Find(int nSensor, int nIndex) const;
    CEnvSensor* Find(int nSensor, int nIndex);

private:
    std::vector<CEnvVoltageSensor> m_oVoltageSensors;
    std::vector<CEnvTemperatureSensor> m_oTemperatureSensors;
    std::vector<CEnvFanSensor> m_oFanSensors;
    CIPMSystemExport* m_poSystem;
};

class CEnvChassis {
public:
    explicit CEnvChassis(CIPMSystemExport* poSystem);
    // 0 without a chassis intrusion sensor, 1 when it reads, 2 when its reading fails.
    int GetStatus() const;

private:
    CIPMSystemExport* m_poSystem;
    CSensorExport* m_poChassisSensor = nullptr;
};
