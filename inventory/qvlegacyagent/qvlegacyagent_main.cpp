// qvlegacyagent: MIB-II system group texts and the settable host name.
#include "agent_frontend.h"
#include "legacy_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvlegacyagent"), loadLegacyObjects, argc, argv);
}
