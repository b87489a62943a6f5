// qvclimateagent: the environment MIB .1.3.6.1.4.1.93071.2.23.26, answered by qvclimated.
#include "agent_frontend.h"
#include "climate_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvclimateagent"), loadObjects, argc, argv);
}
