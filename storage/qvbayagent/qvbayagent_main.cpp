// qvbayagent: the hot-swap drive cage MIB .1.3.6.1.4.1.93071.2.23.28, answered by qvbayd.
#include "agent_frontend.h"
#include "cage_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvbayagent"), loadObjects, argc, argv);
}
