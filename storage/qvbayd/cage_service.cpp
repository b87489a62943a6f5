#include "cage_service.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <syslog.h>

#include "log_print.h"
#include "sandbox_path.h"
#include "service_daemon.h"
#include "service_startup.h"

int CCageService::PutInteger(int32_t value)
{
    std::memcpy(pbSendBuffer, &value, sizeof value);
    return sizeof value;
}

int CCageService::PutFlag(bool value)
{
    pbSendBuffer[0] = value ? 1 : 0;
    return 1;
}

int CCageService::PutText(void (CDownload::*get)(char*, int*) const)
{
    int length = kCageReplyMax;
    (m_oDownload.*get)(pbSendBuffer, &length);
    return std::min(length, kCageReplyMax);
}

int CCageService::PutBlock()
{
    int size = m_oCages.GetInfoSize();
    if (size > kCageReplyMax) {
        LogPrint(LOG_WARNING, "GetInfoSize() too large (%d)", size);
        size = kCageReplyMax;
    }
    if (size > 0) std::memcpy(pbSendBuffer, m_oCages.GetInfo(), static_cast<size_t>(size));
    return size;
}

int CCageService::Run(int32_t cmd, const Arguments& a)
{
    CCages& c = m_oCages;
    const int i = a.first;
    switch (cmd) {
    case CMD_GET_CAGE_COUNT: return PutInteger(c.GetCount());
    case CMD_GET_CAGE_INFO_SIZE: return PutInteger(c.GetInfoSize());
    case CMD_GET_CAGE_INFO: return PutBlock();
    case CMD_GET_CAGE_STATUS: return PutInteger(c.GetStatus());
    case CMD_GET_DRIVE_COUNT: return PutInteger(c.GetDriveCount());
    case CMD_GET_DRIVE_INDEX: return PutInteger(c.GetDriveIndex(i));
    case CMD_GET_DRIVE_I2C_ADDR: return PutInteger(c.GetDriveI2cAddr(i));
    case CMD_GET_DRIVE_SCSI_ID: return PutInteger(c.GetDriveScsiId(i));
    case CMD_GET_DRIVE_LED_STATE: return PutInteger(c.GetDriveLedState(i));
    case CMD_SET_DRIVE_LED_STATE: return PutFlag(c.SetDriveLedState(i, a.second));
    case CMD_GET_DRIVE_LED_SET_STATUS: return PutInteger(c.GetDriveLedSetStatus(i));
    case CMD_GET_DRIVE_PRESENT: return PutInteger(c.GetDrivePresent(i));
    case CMD_GET_FLASH_ADAPTER_TYPE: return PutInteger(c.GetFlashAdapterType());
    case CMD_SET_FLASH_ADAPTER_TYPE: c.SetFlashAdapterType(i); return PutFlag(true);
    case CMD_GET_FLASH_ADAPTER_NUM: return PutInteger(c.GetFlashAdapterNum());
    case CMD_SET_FLASH_ADAPTER_NUM: c.SetFlashAdapterNum(i); return PutFlag(true);
    case CMD_GET_FLASH_CHANNEL_NUM: return PutInteger(c.GetFlashChannelNum());
    case CMD_SET_FLASH_CHANNEL_NUM: c.SetFlashChannelNum(i); return PutFlag(true);
    case CMD_SET_FLASH_COUNT: return PutFlag(c.SetFlashCount(i));
    case CMD_GET_FLASH_STATUS: return PutInteger(c.GetFlashStatus());
    case CMD_GET_FLASH_TARGET_ID: return PutInteger(c.GetFlashTargetId());
    case CMD_SET_FLASH_TARGET_ID: c.SetFlashTargetId(i); return PutFlag(true);
    case CMD_SET_FLASH_ONE_COUNT: return PutFlag(c.SetFlashOneCount(i));
    case CMD_GET_DRIVE_READINESS: return PutInteger(c.GetDriveReadiness());
    case CMD_GET_WWW_URL: return PutText(&CDownload::GetUrl);
    case CMD_SET_WWW_URL: return PutFlag(m_oDownload.SetUrl(a.text, false));
    case CMD_GET_WWW_SIZE: return PutInteger(m_oDownload.GetSize());
    case CMD_GET_WWW_STATUS: return PutInteger(m_oDownload.GetStatus());
    case CMD_GET_WWW_PROXY: return PutText(&CDownload::GetProxy);
    case CMD_SET_WWW_PROXY: return PutFlag(m_oDownload.SetProxy(a.text));
    case CMD_GET_FW_STATUS: return PutInteger(m_oFirmware.GetStatus());
    case CMD_SET_FW_UPDATE:
        return PutFlag(m_oFirmware.SetUpdate(i, c.GetFlashAdapterType(), c.GetFlashAdapterNum(),
                                             c.GetFlashChannelNum(), c.GetFlashTargetId(), m_oDownload));
    case CMD_GET_DRIVE_CAGE_CHANNEL: return PutInteger(c.GetDriveCageChannel(i));
    case CMD_GET_DRIVE_CAGE_ADAPTER: return PutInteger(c.GetDriveCageAdapter(i));
    case CMD_GET_DRIVE_CAGE_TYPE: return PutInteger(c.GetDriveCageType(i));
    default: return -1;
    }
}

bool CCageService::ReadArguments(const CageCommand& command, Arguments& args)
{
    switch (command.args) {
    case CageArgs::None: return true;
    case CageArgs::Integer: return m_oReader.ReadField(&args.first);
    case CageArgs::Integers2: return m_oReader.ReadField(&args.first) && m_oReader.ReadField(&args.second);
    case CageArgs::Text: return m_oReader.ReadTextField(args.text);
    }
    return false;
}

bool CCageService::ServeOne()
{
    int32_t cmd = 0;
    if (!m_oReader.ReadCommand(&cmd)) return false;
    const CageCommand* command = findCageCommand(cmd);
    Arguments args;
    if (!command) {
        LogPrint(LOG_ERR, "Unknown command: %d", cmd);
        m_oReader.DiscardRest();
    } else if (!ReadArguments(*command, args)) {
        // A request without its arguments is dropped without a reply.
        m_oReader.DiscardRest();
    } else if (const int length = Run(cmd, args);
               length >= 0 && !m_oReader.Reply(pbSendBuffer, length)) {
        LogPrint(LOG_ERR, "Write() failed (errno=%d)", errno);
    }
    m_oCages.RefreshIfDue();
    return true;
}

int runCageService(CageSource& source)
{
    if (const int status = startIdentifiedService("qvbayd"); status >= 0) return status;

    static CDownload g_oDownload;
    static CFirmware g_oFirmware;
    CCages cages(source);
    cages.Refresh();

    CCageSocket socket;
    if (!socket.Create(qv::sandboxPath(kCageSocketPath).c_str()))
        LogPrint(LOG_CRIT, "Cannot create socket (errno=%d)", errno);
    CServiceRequestReader reader(socket);
    CCageService service(cages, g_oDownload, g_oFirmware, reader);
    while (serviceRunning()) service.ServeOne();
    socket.Destroy();
    return 0;
}
