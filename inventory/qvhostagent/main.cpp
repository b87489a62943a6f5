// qvhostagent: the system group of the MIB, answered from libqvhost and the controller.
#include "agent_frontend.h"
#include "host_mib.h"

int main(int argc, char** argv)
{
    AgentConfig config = *findAgentConfig("qvhostagent");
    config.describeException = describeHostException;
    return runAgent(config, loadHostObjects, argc, argv);
}
