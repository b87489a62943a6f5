#pragma once

#include "service_process.h"

namespace qveventfile::test {

// The standalone simulator with a supported model and an empty SEL.
bool startSimulatedController(qv::test::ChildProcess& sim, const qv::test::TempRoot& root);

} // namespace qveventfile::test
