// qvshutdownd: the shutdown service.
#include "agent_identification.h"
#include "shutdown_service.h"

int main()
{
    if (!identifySupportedPlatform()) return 1;
    return runShutdownService();
}
