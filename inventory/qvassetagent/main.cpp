// qvassetagent: the entity subtree .1.3.6.1.4.1.93071.2.36.1.1.
#include "agent_frontend.h"
#include "asset_objects.h"

int main(int argc, char** argv)
{
    return runAgent(*findAgentConfig("qvassetagent"), loadAssetObjects, argc, argv);
}
