// qvalertcfgagent: adds and removes trap destinations (.1.3.6.1.4.1.93071.2.23.13).
#include "agent_frontend.h"
#include "trap_config_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvalertcfgagent"), loadTrapConfigObjects, argc, argv);
}
