// qvrestartagent: the automatic server restart MIB .1.3.6.1.4.1.93071.2.23.25.
#include "agent_frontend.h"
#include "restart_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvrestartagent"), loadObjects, argc, argv);
}
