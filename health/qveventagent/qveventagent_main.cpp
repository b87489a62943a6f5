// qveventagent: the event log MIB .1.3.6.1.4.1.93071.2.23.19.
#include "agent_frontend.h"
#include "event_log_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qveventagent"), loadObjects, argc, argv);
}
