// qvtestagent: a small agent on the framework for end-to-end tests, the benchmark and the demo.
// Subtree .1.3.6.1.4.1.93071.2.99: scalars, a two-column table, a walker column whose instances
// straddle 2^31, a writable string and integer kept in qvtestagent.ini, read-only octet/address.
#include "agent_frontend.h"
#include "test_agent_objects.h"

int main(int argc, char** argv)
{
    static const AgentConfig config{"qvtestagent", "QVTESTAGENT - QV Test SNMP Agent",
                                    ArgsVariant::Standard, true, true, true, false};
    return runAgent(config, loadTestAgentObjects, argc, argv);
}
