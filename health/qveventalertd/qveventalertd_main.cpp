// qveventalertd: the event trap daemon.
#include "agent_identification.h"
#include "event_alert_daemon.h"

int main()
{
    // Before detaching, so the refusal reaches the terminal.
    if (!identifySupportedPlatform()) return 1;
    return runEventAlertDaemon();
}
