#include "env_sensors_list.h"

namespace {

template <class Sensor>
const CEnvSensor* at(const std::vector<Sensor>& list, int index)
{
    return index >= 0 && static_cast<size_t>(index) < list.size() ? &list[static_cast<size_t>(index)]
                                                                    : nullptr;
}

// Every sensor of every package, in package order and within a package in sensor order.
template <class Visit>
void forEachSensor(CIPMSystemExport* system, Visit visit)
{
    for (int p = 0; p < system->GetPackageCount(); ++p) {
        CIPMPackageExport* package = system->GetPackage(p);
        if (!package) continue;
        for (int s = 0; s < package->GetSensorCount(); ++s)
            if (CSensorExport* sensor = package->GetSensor(s)) visit(p, sensor);
    }
}

} // namespace

bool CEnvSensorsList::RebuildSensorsList()
{
    m_oVoltageSensors.clear();
    m_oTemperatureSensors.clear();
    m_oFanSensors.clear();
    if (!m_poSystem) return false;
    m_poSystem->Initialize();
    forEachSensor(m_poSystem, [this](int, CSensorExport* sensor) {
        switch (GetSdrField(sensor, SDR_SENSOR_TYPE)) {
        case SENSOR_TEMPERATURE: m_oTemperatureSensors.emplace_back(sensor); break;
        case SENSOR_VOLTAGE: m_oVoltageSensors.emplace_back(sensor); break;
        case SENSOR_FAN: m_oFanSensors.emplace_back(sensor); break;
        default: break;
        }
    });
    return true;
}

int CEnvSensorsList::GetCount(int nSensor) const
{
    switch (nSensor) {
    case SENSOR_TEMPERATURE: return static_cast<int>(m_oTemperatureSensors.size());
    case SENSOR_VOLTAGE: return static_cast<int>(m_oVoltageSensors.size());
    case SENSOR_FAN: return static_cast<int>(m_oFanSensors.size());
    default: return 0;
    }
}

const CEnvSensor* CEnvSensorsList::Find(int nSensor, int nIndex) const
{
    switch (nSensor) {
    case SENSOR_TEMPERATURE: return at(m_oTemperatureSensors, nIndex);
    case SENSOR_VOLTAGE: return at(m_oVoltageSensors, nIndex);
    case SENSOR_FAN: return at(m_oFanSensors, nIndex);
    default: return nullptr;
    }
}

CEnvSensor* CEnvSensorsList::Find(int nSensor, int nIndex)
{
    return const_cast<CEnvSensor*>(static_cast<const CEnvSensorsList*>(this)->Find(nSensor, nIndex));
}

#define QV_ENV_LIST_GETTER(Name)                                                                   \
    int CEnvSensorsList::GetSensor##Name(int nSensor, int nIndex) const                            \
    {                                                                                              \
        const CEnvSensor* sensor = Find(nSensor, nIndex);                                          \
        return sensor ? sensor->Get##Name() : 0;                                                   \
    }
QV_ENV_LIST_GETTER(Type)
QV_ENV_LIST_GETTER(Location)
QV_ENV_LIST_GETTER(Description)
QV_ENV_LIST_GETTER(Status)
QV_ENV_LIST_GETTER(NormalMaximum)
QV_ENV_LIST_GETTER(NormalMinimum)
QV_ENV_LIST_GETTER(Maximum)
QV_ENV_LIST_GETTER(Minimum)
QV_ENV_LIST_GETTER(LowerNonCritical)
QV_ENV_LIST_GETTER(UpperNonCritical)
QV_ENV_LIST_GETTER(LowerCritical)
QV_ENV_LIST_GETTER(UpperCritical)
QV_ENV_LIST_GETTER(LowerNonRecoverable)
QV_ENV_LIST_GETTER(UpperNonRecoverable)
QV_ENV_LIST_GETTER(Resolution)
QV_ENV_LIST_GETTER(Tolerance)
QV_ENV_LIST_GETTER(Accuracy)
QV_ENV_LIST_GETTER(PositiveHysterisis)
QV_ENV_LIST_GETTER(NegativeHysterisis)
#undef QV_ENV_LIST_GETTER

#define QV_ENV_LIST_SETTER(Name, Arg)                                                              \
    bool CEnvSensorsList::SetSensor##Name(int nSensor, int nIndex, int nValue)                     \
    {                                                                                              \
        CEnvSensor* sensor = Find(nSensor, nIndex);                                                \
        return sensor && sensor->Set##Name(static_cast<Arg>(nValue));                              \
    }
QV_ENV_LIST_SETTER(LowerNonCritical, long)
QV_ENV_LIST_SETTER(UpperNonCritical, long)
QV_ENV_LIST_SETTER(LowerCritical, long)
QV_ENV_LIST_SETTER(UpperCritical, long)
QV_ENV_LIST_SETTER(LowerNonRecoverable, long)
QV_ENV_LIST_SETTER(UpperNonRecoverable, long)
QV_ENV_LIST_SETTER(PositiveHysterisis, unsigned long)
QV_ENV_LIST_SETTER(NegativeHysterisis, unsigned long)
#undef QV_ENV_LIST_SETTER

int CEnvSensorsList::GetVoltageSensorLevel(int nIndex) const
{
    const CEnvSensor* s = at(m_oVoltageSensors, nIndex);
    return s ? static_cast<const CEnvVoltageSensor*>(s)->GetLevel() : 0;
}

int CEnvSensorsList::GetVoltageSensorNominalLevel(int nIndex) const
{
    const CEnvSensor* s = at(m_oVoltageSensors, nIndex);
    return s ? static_cast<const CEnvVoltageSensor*>(s)->GetNominalLevel() : 0;
}

int CEnvSensorsList::GetSensorReading(int nSensor, int nIndex) const
{
    if (nSensor == SENSOR_TEMPERATURE) {
        const CEnvSensor* s = at(m_oTemperatureSensors, nIndex);
        return s ? static_cast<const CEnvTemperatureSensor*>(s)->GetReading() : 0;
    }
    if (nSensor == SENSOR_FAN) {
        const CEnvSensor* s = at(m_oFanSensors, nIndex);
        return s ? static_cast<const CEnvFanSensor*>(s)->GetReading() : 0;
    }
    return 0;
}

int CEnvSensorsList::GetSensorNominalReading(int nSensor, int nIndex) const
{
    if (nSensor == SENSOR_TEMPERATURE) {
        const CEnvSensor* s = at(m_oTemperatureSensors, nIndex);
        return s ? static_cast<const CEnvTemperatureSensor*>(s)->GetNominalReading() : 0;
    }
    if (nSensor == SENSOR_FAN) {
        const CEnvSensor* s = at(m_oFanSensors, nIndex);
        return s ? static_cast<const CEnvFanSensor*>(s)->GetNominalReading() : 0;
    }
    return 0;
}

CEnvChassis::CEnvChassis(CIPMSystemExport* poSystem) : m_poSystem(poSystem)
{
    if (!m_poSystem) return;
    // The first intrusion sensor of each package; the last package that has one decides.
    int lastPackage = -1;
    forEachSensor(m_poSystem, [this, &lastPackage](int package, CSensorExport* sensor) {
        if (package == lastPackage || GetSdrField(sensor, SDR_SENSOR_TYPE) != SENSOR_CHASSIS) return;
        m_poChassisSensor = sensor;
        lastPackage = package;
    });
}

int CEnvChassis::GetStatus() const
{
    if (!m_poChassisSensor) return 0;
    SensorReadingStruct reading{};
    return m_poChassisSensor->GetReading(&reading) < 0x10000 ? 1 : 2;
}
