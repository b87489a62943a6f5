// The simulated controller for event-log tests: a supported model (59) and the default scenario
// (or a given one) with an empty SEL. Tests that include it link qv_regcore.
#pragma once

#include "model_code.h"
#include "service_process.h"

namespace qv::test {

inline bool startEmptyLogSimulator(ChildProcess& sim, const TempRoot& root, nlohmann::json scenario = defaultScenario())
{
    if (!storeModelCode(59)) return false;
    scenario["bmc"]["sel"] = nlohmann::json::array();
    return startSimulator(sim, root, scenario);
}

} // namespace qv::test
