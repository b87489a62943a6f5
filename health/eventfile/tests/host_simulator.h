#pragma once

#include "service_process.h"

namespace qveventfile::test {

// The standalone simulator with a supported model and an empty SEL.
bool startSimulatedController(qv::test::ChildProcess& sim, const qv::test::TempRoot& root);
// The simulator on the scenario with a 1.0 baseboard and a 0.9 satellite controller, and the
// IPMI cache service over it.
bool startControllerWithCacheService(qv::test::ChildProcess& sim, qv::test::ChildProcess& cache,
                                     const qv::test::TempRoot& root);

} // namespace qveventfile::test
