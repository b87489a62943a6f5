// qvlanagent: network interface tables and the trap daemon's thresholds under
// .1.3.6.1.4.1.93071.2.23.18.
#include "agent_frontend.h"
#include "nic_object_table.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvlanagent"), loadObjects, argc, argv);
}
