#include "scsi_simulator.h"

namespace qv::sim::scsi {

using json = nlohmann::json;

void ScsiSimulator::loadScenario(const json& scenario) {
    bus_.load(scenario.value("scsi", json::object()));
    bus_.writeProcFixtures();
    bus_.writeDiskctlInventory();
    if (serving_) {
        server_.stop();
        server_.start();
    }
}

void ScsiSimulator::start() {
    server_.start();
    serving_ = true;
}

void ScsiSimulator::stop() {
    server_.stop();
    serving_ = false;
}

bool ScsiSimulator::handleControl(const json& rq, json& answer) {
    const std::string op = rq.at("op").get<std::string>();
    if (op.rfind("scsi", 0) != 0)
        return false;
    bool known = true;
    if (op == "scsiCheckCondition") {
        known = bus_.failCommands(rq.at("sg").get<int>(),
                                  {rq.at("key").get<uint8_t>(), rq.value("asc", uint8_t(0)), rq.value("ascq", uint8_t(0))},
                                  rq.value("count", 1u));
    } else if (op == "scsiReset") {
        known = bus_.resetTarget(rq.at("sg").get<int>());
    } else if (op == "scsiInvalidInquiry") {
        known = bus_.setInvalidInquiry(rq.at("sg").get<int>(), rq.value("invalid", true));
    } else if (op == "scsiNodeFaults") {
        NodeFaults faults;
        faults.openErrno = rq.value("openErrno", 0);
        faults.transportErrno = rq.value("transportErrno", 0);
        faults.hostStatus = rq.value("hostStatus", uint16_t(0));
        faults.driverStatus = rq.value("driverStatus", uint16_t(0));
        known = bus_.setFaults(rq.at("sg").get<int>(), faults);
    } else if (op == "scsiJournal") {
        json entries = json::array();
        for (const auto& r : bus_.journal())
            entries.push_back({{"sg", r.sgNumber}, {"cdb", r.cdb}, {"direction", r.direction},
                               {"dataOut", r.dataOut}, {"dataIn", r.dataIn}, {"status", r.status}});
        answer = {{"ok", true}, {"journal", entries}};
        return true;
    } else if (op == "scsiClearJournal") {
        bus_.clearJournal();
    } else {
        answer = {{"ok", false}, {"error", "unknown op " + op}};
        return true;
    }
    answer = known ? json{{"ok", true}} : json{{"ok", false}, {"error", "no SCSI node sg" + std::to_string(rq.at("sg").get<int>())}};
    return true;
}

} // namespace qv::sim::scsi
