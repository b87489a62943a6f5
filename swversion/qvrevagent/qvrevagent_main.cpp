// qvrevagent: the software version MIB .1.3.6.1.4.1.93071.2.23.24.
#include "agent_frontend.h"
#include "rev_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvrevagent"), loadObjects, argc, argv);
}
