// qvloadagent: memory and processor load figures under .1.3.6.1.4.1.944.2.
#include "agent_frontend.h"
#include "load_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvloadagent"), loadPerformanceObjects, argc, argv);
}
