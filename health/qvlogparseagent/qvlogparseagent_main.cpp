// qvlogparseagent: the filtered event log under .1.3.6.1.4.1.93071.2.23.29.
#include "agent_frontend.h"
#include "logparse_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvlogparseagent"), loadObjects, argc, argv);
}
