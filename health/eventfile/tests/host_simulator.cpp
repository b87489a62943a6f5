// The simulated controller for the host test, in a unit of its own: the registry's header and
// the library's header each name their own text slice type.
#include "host_simulator.h"

#include "event_log_simulator.h"

namespace qveventfile::test {

bool startSimulatedController(qv::test::ChildProcess& sim, const qv::test::TempRoot& root)
{
    return qv::test::startEmptyLogSimulator(sim, root);
}

bool startControllerWithCacheService(qv::test::ChildProcess& sim, qv::test::ChildProcess& cache,
                                     const qv::test::TempRoot& root)
{
    // The default server and the 0.9 satellite of the IPMI objects scenario with its 0.9 records.
    std::ifstream in(std::string(QV_SCENARIO_DIR) + "/ipmi-objects.json");
    const nlohmann::json objects = nlohmann::json::parse(in);
    nlohmann::json scenario = qv::test::defaultScenario();
    int id = 0x70;
    for (const auto& record : objects["bmc"]["sdr"]) {
        if (record.value("sdrVersion", "") == "0x90") {
            scenario["bmc"]["sdr"].push_back(record);
            scenario["bmc"]["sdr"].back()["id"] = id++;
        }
    }
    for (const auto& satellite : objects["bmc"]["satellites"])
        if (satellite.value("ipmiVersion", "") == "0.9") scenario["bmc"]["satellites"].push_back(satellite);
    if (!qv::test::startEmptyLogSimulator(sim, root, scenario)) return false;
    cache.start(qv::test::installedPath("mgmtctl/qvbmccached/qvbmccached"), {},
                {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root.path() + "/qv.log"}});
    return qv::test::eventually([&] { return root.exists("/var/qvserver/pipe.in"); });
}

} // namespace qveventfile::test
