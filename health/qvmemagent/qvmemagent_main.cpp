// qvmemagent: the memory-module MIB .1.3.6.1.4.1.93071.2.23.21.
#include "agent_frontend.h"
#include "memory_objects.h"

int main(int argc, char** argv)
{
    argv0 = argc > 0 && argv[0] ? argv[0] : "";
    return runAgent(*findAgentConfig("qvmemagent"), loadObjects, argc, argv);
}
