// qvdisktagagent: the drive asset-tag MIB .1.3.6.1.4.1.93071.2.23.32, answered by qvdisktagd.
#include "agent_frontend.h"
#include "tattoo_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvdisktagagent"), loadObjects, argc, argv);
}
