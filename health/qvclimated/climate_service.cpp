#include "climate_service.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <syslog.h>

#include "climate_protocol.h"
#include "identify.h"
#include "log_print.h"
#include "log_sink.h"
#include "sandbox_path.h"
#include "service_daemon.h"

namespace {
enum class Refusal { MissingParameters, NotSupported, Unknown };
}

static void logRefusal(Refusal why, int nCmd)
{
    switch (why) {
    case Refusal::MissingParameters: LogPrint(LOG_ERR, "Missing Parameters : cmd %d", nCmd); break;
    case Refusal::NotSupported: LogPrint(LOG_ERR, "Sensor not supported (cmd : %d)", nCmd); break;
    case Refusal::Unknown: LogPrint(LOG_ERR, "Unknown command: %d", nCmd); break;
    }
}

void CClimateService::Answer(const void* pbData, int cbData)
{
    if (!m_oReader.Reply(pbData, cbData)) LogPrint(LOG_ERR, "Write() failed (errno=%d)", errno);
}

int CClimateService::Get(int nCmd, int nKind, int nIndex)
{
    CEnvSensorsList& l = m_oList;
    switch (nCmd) {
    case CMD_GET_SENSOR_COUNT: return l.GetCount(nKind);
    case CMD_GET_SENSOR_TYPE: return l.GetSensorType(nKind, nIndex);
    case CMD_GET_SENSOR_LOCATION: return l.GetSensorLocation(nKind, nIndex);
    case CMD_GET_SENSOR_DESCRIPTION: return l.GetSensorDescription(nKind, nIndex);
    case CMD_GET_SENSOR_STATUS: return l.GetSensorStatus(nKind, nIndex);
    case CMD_GET_SENSOR_NORMAL_MAXIMUM: return l.GetSensorNormalMaximum(nKind, nIndex);
    case CMD_GET_SENSOR_NORMAL_MINIMUM: return l.GetSensorNormalMinimum(nKind, nIndex);
    case CMD_GET_SENSOR_MAXIMUM: return l.GetSensorMaximum(nKind, nIndex);
    case CMD_GET_SENSOR_MINIMUM: return l.GetSensorMinimum(nKind, nIndex);
    case CMD_GET_SENSOR_LNC: return l.GetSensorLowerNonCritical(nKind, nIndex);
    case CMD_GET_SENSOR_UNC: return l.GetSensorUpperNonCritical(nKind, nIndex);
    case CMD_GET_SENSOR_LC: return l.GetSensorLowerCritical(nKind, nIndex);
    case CMD_GET_SENSOR_UC: return l.GetSensorUpperCritical(nKind, nIndex);
    case CMD_GET_SENSOR_LNR: return l.GetSensorLowerNonRecoverable(nKind, nIndex);
    case CMD_GET_SENSOR_UNR: return l.GetSensorUpperNonRecoverable(nKind, nIndex);
    case CMD_GET_SENSOR_RESOLUTION: return l.GetSensorResolution(nKind, nIndex);
    case CMD_GET_SENSOR_TOLERANCE: return l.GetSensorTolerance(nKind, nIndex);
    case CMD_GET_SENSOR_ACCURACY: return l.GetSensorAccuracy(nKind, nIndex);
    case CMD_GET_SENSOR_POSITIVE_HYSTERISIS: return l.GetSensorPositiveHysterisis(nKind, nIndex);
    case CMD_GET_SENSOR_NEGATIVE_HYSTERISIS: return l.GetSensorNegativeHysterisis(nKind, nIndex);
    case CMD_GET_CHASSIS_STATUS: return CEnvChassis(m_poSystem).GetStatus();
    case CMD_GET_SENSOR_LEVEL: return l.GetVoltageSensorLevel(nIndex);
    case CMD_GET_SENSOR_NOMINAL_LEVEL: return l.GetVoltageSensorNominalLevel(nIndex);
    case CMD_GET_SENSOR_READING: return l.GetSensorReading(nKind, nIndex);
    case CMD_GET_SENSOR_NOMINAL_READING: return l.GetSensorNominalReading(nKind, nIndex);
    default: return 0;
    }
}

bool CClimateService::Set(int nCmd, int nKind, int nIndex, int nValue)
{
    CEnvSensorsList& l = m_oList;
    switch (nCmd) {
    case CMD_SET_SENSOR_LNC: return l.SetSensorLowerNonCritical(nKind, nIndex, nValue);
    case CMD_SET_SENSOR_UNC: return l.SetSensorUpperNonCritical(nKind, nIndex, nValue);
    case CMD_SET_SENSOR_LC: return l.SetSensorLowerCritical(nKind, nIndex, nValue);
    case CMD_SET_SENSOR_UC: return l.SetSensorUpperCritical(nKind, nIndex, nValue);
    case CMD_SET_SENSOR_LNR: return l.SetSensorLowerNonRecoverable(nKind, nIndex, nValue);
    case CMD_SET_SENSOR_UNR: return l.SetSensorUpperNonRecoverable(nKind, nIndex, nValue);
    case CMD_SET_SENSOR_POSITIVE_HYSTERISIS: return l.SetSensorPositiveHysterisis(nKind, nIndex, nValue);
    case CMD_SET_SENSOR_NEGATIVE_HYSTERISIS: return l.SetSensorNegativeHysterisis(nKind, nIndex, nValue);
    default: return false;
    }
}


bool CClimateService::ServeOne()
{
    int32_t cmd = 0;
    if (!m_oReader.ReadCommand(&cmd)) return false;
    auto refuse = [this, cmd](Refusal why) {
        logRefusal(why, cmd);
        m_oReader.DiscardRest();
        return true;
    };
    const ClimateCommand* command = findClimateCommand(cmd);
    if (!command) return refuse(Refusal::Unknown);
    const ClimateFields fields = command->fields;
    int32_t kind = 0, index = 0, value = 0;
    if (fields >= ClimateFields::Kind) {
        if (!m_oReader.ReadField(&kind)) return refuse(Refusal::MissingParameters);
        if (!isSensorKind(kind)) return refuse(Refusal::NotSupported);
    }
    if (fields >= ClimateFields::KindIndex && !m_oReader.ReadField(&index))
        return refuse(Refusal::MissingParameters);
    if (fields >= ClimateFields::KindIndexValue && !m_oReader.ReadField(&value))
        return refuse(Refusal::MissingParameters);
    if (command->reply == ClimateReply::Integer) {
        const int32_t answer = Get(cmd, kind, index);
        Answer(&answer, sizeof answer);
    } else {
        const uint8_t written = Set(cmd, kind, index, value) ? 1 : 0;
        Answer(&written, sizeof written);
    }
    return true;
}

int runClimateService()
{
    if (!identifySupportedPlatform()) return 1;
    if (!detachService()) {
        std::fputs("qvclimated: error trying to go background\n", stderr);
        return 1;
    }
    qv::logOpen("qvclimated", LOG_DAEMON);
    if (!installStopHandlers()) LogPrint(LOG_WARNING, "Signal handler installation failed (%d)", errno);

    RegisterWithAPI();
    CIPMSystemExport* system = CreateIPMSystem();
    if (!system) {
        std::fputs("\nCreation of a CIPMSystem failed\n", stdout);
        UnRegisterWithAPI();
        return 1;
    }
    CEnvSensorsList list(system);
    list.RebuildSensorsList();

    CSocket socket;
    if (!socket.Create(qv::sandboxPath(kClimateSocketPath).c_str()))
        LogPrint(LOG_CRIT, "Cannot create socket (errno=%d)", errno);
    CServiceRequestReader reader(socket);
    CClimateService service(list, system, reader);
    while (serviceRunning()) service.ServeOne();

    DestroyIPMSystem(system);
    UnRegisterWithAPI();
    return 0;
}
