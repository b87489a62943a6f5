#include "tattoo_service.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <syslog.h>

#include "identify.h"
#include "log_print.h"
#include "log_sink.h"
#include "sandbox_path.h"
#include "service_daemon.h"
#include "service_startup.h"

int CTattooService::PutInteger(int32_t value)
{
    std::memcpy(pbSendBuffer, &value, sizeof value);
    return sizeof value;
}

int CTattooService::PutFlag(bool value)
{
    pbSendBuffer[0] = value ? 1 : 0;
    return 1;
}

// A text with its NUL; an index out of range gets an empty text, never an earlier reply's bytes.
int CTattooService::PutText(bool (CTattoo::*get)(int, char*, int*), int32_t index)
{
    int length = kTattooReplyMax;
    if (!(m_oTattoo.*get)(index, pbSendBuffer, &length)) {
        pbSendBuffer[0] = '\0';
        return 1;
    }
    return length <= kTattooReplyMax ? length : kTattooReplyMax;
}

// The time text without a NUL; an index out of range gets an empty text (one NUL byte).
int CTattooService::PutTimeText(bool (CTattoo::*get)(int, char*, int), int32_t index)
{
    if (!(m_oTattoo.*get)(index, pbSendBuffer, kTattooReplyMax)) {
        pbSendBuffer[0] = '\0';
        return 1;
    }
    return static_cast<int>(std::strlen(pbSendBuffer));
}

int CTattooService::Run(int32_t cmd, int32_t index, int32_t value)
{
    CTattoo& t = m_oTattoo;
    switch (cmd) {
    case CMD_GET_ADAPTER_COUNT: return PutInteger(t.GetAdapterCount());
    case CMD_GET_ADAPTER_PORT: return PutInteger(t.GetAdapterPort(index));
    case CMD_GET_ADAPTER_NAME: return PutText(&CTattoo::GetAdapterName, index);
    case CMD_GET_ADAPTER_MFG: return PutText(&CTattoo::GetAdapterMfg, index);
    case CMD_GET_ADAPTER_VERSION: return PutText(&CTattoo::GetAdapterVersion, index);
    case CMD_GET_ADAPTER_CLASS: return PutInteger(t.GetAdapterClass(index));
    case CMD_GET_DRIVE_COUNT: return PutInteger(t.GetDriveCount());
    case CMD_GET_DRIVE_ADAPTER: return PutInteger(t.GetDriveAdapter(index));
    case CMD_GET_DRIVE_CHANNEL: return PutInteger(t.GetDriveChannel(index));
    case CMD_GET_DRIVE_TARGET: return PutInteger(t.GetDriveTargetId(index));
    case CMD_GET_DRIVE_VERSION: return PutText(&CTattoo::GetDriveVersion, index);
    case CMD_GET_DRIVE_VENDOR: return PutText(&CTattoo::GetDriveProductRevision, index);
    case CMD_GET_DRIVE_DATE_CODE: return PutText(&CTattoo::GetDriveDateCode, index);
    case CMD_GET_DRIVE_SERIAL: return PutText(&CTattoo::GetDriveSerial, index);
    case CMD_GET_DRIVE_PRODUCT_ID: return PutText(&CTattoo::GetDriveQVProductId, index);
    case CMD_GET_DRIVE_LETTERS: return PutInteger(t.GetDriveLetters(index));
    case CMD_GET_DRIVE_RAID_LEVEL: return PutInteger(t.GetDriveRaidLevel(index));
    case CMD_GET_DRIVE_WAS_LOCATED: return PutInteger(t.GetDriveWasLocated(index));
    case CMD_SET_DRIVE_WAS_LOCATED: return PutFlag(t.SetDriveWasLocated(index));
    case CMD_GET_DRIVE_REFRESH: return PutInteger(t.GetDriveRefresh());
    case CMD_SET_DRIVE_REFRESH: return PutFlag(t.SetDriveRefresh(index, false));
    case CMD_GET_DRIVE_REFRESH_STATUS: return PutInteger(t.GetDriveRefreshStatus());
    case CMD_GET_DRIVE_DST_AVAIL: return PutInteger(t.GetDriveDstAvail(index));
    case CMD_GET_DRIVE_DST_PERCENT: return PutInteger(t.GetDriveDstPercent(index));
    case CMD_GET_DRIVE_DST_START: return PutInteger(t.GetDriveDstStart(index));
    case CMD_SET_DRIVE_DST_START: return PutInteger(t.SetDriveDstStart(index, value));
    case CMD_GET_DRIVE_DST_RESULTS: return PutInteger(t.GetDriveDstResults(index));
    case CMD_GET_DRIVE_DST_COMPLETION_TIME: return PutInteger(t.GetDriveDstCompletionTime(index));
    case CMD_GET_DRIVE_DST_START_TIME: return PutTimeText(&CTattoo::GetDriveDstStartTime, index);
    case CMD_GET_DRIVE_DST_END_TIME: return PutTimeText(&CTattoo::GetDriveDstEndTime, index);
    default: return 0;
    }
}

bool CTattooService::ServeOne()
{
    int32_t cmd = 0;
    if (!m_oReader.ReadCommand(&cmd)) return false;
    const TattooCommand* command = findTattooCommand(cmd);
    if (!command) {
        LogPrint(LOG_ERR, "Unknown command: %d", cmd);
        m_oReader.DiscardRest();
        return true;
    }
    int32_t args[2] = {0, 0};
    for (int i = 0; i < command->fields; ++i)
        if (!m_oReader.ReadField(&args[i])) {
            // A request without its arguments is dropped without a reply.
            m_oReader.DiscardRest();
            return true;
        }
    const int length = Run(cmd, args[0], args[1]);
    if (!m_oReader.Reply(pbSendBuffer, length)) LogPrint(LOG_ERR, "Write() failed (errno=%d)", errno);
    return true;
}

int runTattooService()
{
    if (const int status = startIdentifiedService("qvdisktagd"); status >= 0) return status;

    CTattoo tattoo;
    tattoo.SetDriveRefresh(0, true);

    CSocket socket;
    if (!socket.Create(qv::sandboxPath(kTattooSocketPath).c_str()))
        LogPrint(LOG_CRIT, "Cannot create socket (errno=%d)", errno);
    CServiceRequestReader reader(socket);
    CTattooService service(tattoo, reader);
    while (serviceRunning()) service.ServeOne();
    socket.Destroy();
    return 0;
}
