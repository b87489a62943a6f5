#include "trap_log_daemon.h"

#include "log_print.h"
#include "qveventlog.h"
#include "service_daemon.h"
#include "log_sink.h"
#include "trap_translate.h"

#include <sys/select.h>
#include <syslog.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int TrapNotification(int operation, netsnmp_session*, int, netsnmp_pdu* pdu, void* magic)
{
    if (operation != kReceivedMessage || !pdu || pdu->command != kSnmpV1TrapPdu) return 1;
    _TData data{};
    if (ProcessTrap(&data, pdu, magic)) QVEL_WriteEvent(&data.SELdata, data.additionalInfo);
    return 1;
}

int runTrapLogDaemon(CSnmpDl& snmp)
{
    if (!detachService()) {
        std::fputs("qvtraplogd: error trying to go background\n", stderr);
        return 1;
    }
    qv::logOpen("qvtraplogd", LOG_DAEMON);
    if (!installStopHandlers()) LogPrint(LOG_DAEMON | LOG_WARNING, "Signal handler installation failed (%d)", errno);
    if (!snmp.Load()) {
        LogPrint(LOG_DAEMON | LOG_WARNING, "qvtraplogd: could not load snmp or crypto libraries.");
        return 1;
    }
    netsnmp_session session;
    snmp.snmp_sess_init(&session);
    session.version = SNMP_DEFAULT_VERSION;
    session.retries = SNMP_DEFAULT_RETRIES;
    session.timeout = SNMP_DEFAULT_TIMEOUT;
    // A named address with a local port makes the session listen there; without a name the
    // library would open the agent's port 161.
    const char* address = std::getenv(kTrapLogAddressEnv);
    session.peername = const_cast<char*>(address && *address ? address : kTrapLogDefaultAddress);
    session.local_port = 162;
    session.authenticator = nullptr;
    session.callback = TrapNotification;
    session.callback_magic = nullptr;
    session.community_len = 0;
    if (!snmp.snmp_open(&session)) {
        snmp.snmp_sess_perror("qvtraplogd", &session);
        return 1;
    }
    while (serviceRunning()) {
        fd_set fds;
        FD_ZERO(&fds);
        int count = 0, block = 0;
        timeval timeout{5, 0};
        snmp.snmp_select_info(&count, &fds, &timeout, &block);
        const int ready = ::select(count, &fds, nullptr, nullptr, block ? nullptr : &timeout);
        if (ready > 0) {
            snmp.snmp_read(&fds);
        } else if (ready == 0) {
            snmp.snmp_timeout();
        } else if (errno != EINTR) {   // a stop signal ends the wait; the loop looks at the flag
            std::fputs("select() error\n", stderr);
            return 1;
        }
    }
    return 0;
}
