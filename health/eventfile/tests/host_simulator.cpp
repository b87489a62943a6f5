// The simulated controller for the host test, in a unit of its own: the registry's header and
// the library's header each name their own text slice type.
#include "host_simulator.h"

#include "event_log_simulator.h"

namespace qveventfile::test {

bool startSimulatedController(qv::test::ChildProcess& sim, const qv::test::TempRoot& root)
{
    return qv::test::startEmptyLogSimulator(sim, root);
}

} // namespace qveventfile::test
