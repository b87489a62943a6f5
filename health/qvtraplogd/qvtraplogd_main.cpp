// qvtraplogd: the trap-to-event service.
#include "agent_identification.h"
#include "trap_log_daemon.h"

int main()
{
    CSnmpDl snmp;   // unloaded when main returns
    if (!identifySupportedPlatform()) return 1;
    return runTrapLogDaemon(snmp);
}
