// qvspaceagent: volume capacity, settings and history under .1.3.6.1.4.1.93071.2.23.15.
#include "space_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvspaceagent"), loadSpaceObjects, argc, argv,
                    &spaceLockGuard);
}
