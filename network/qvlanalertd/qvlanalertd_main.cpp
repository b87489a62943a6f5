// qvlanalertd: the network trap daemon.
#include "agent_identification.h"
#include "lan_alert_daemon.h"

int main()
{
    // Before detaching, so the refusal reaches the terminal.
    if (!identifySupportedPlatform()) return 1;
    return runLanAlertDaemon();
}
