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
    if (handleSafteControl(bus_, rq, answer))
        return true;
    bool known = true;
    if (op == "scsiCheckCondition") {
        const SenseCondition condition{rq.at("key").get<uint8_t>(), rq.value("asc", uint8_t(0)), rq.value("ascq", uint8_t(0))};
        known = rq.contains("raidChannel")
                    ? bus_.failRaidDisk(rq.at("raidChannel").get<int>(), rq.at("raidTarget").get<int>(), condition,
                                        rq.value("count", 1u))
                    : bus_.failCommands(rq.at("sg").get<int>(), condition, rq.value("count", 1u));
    } else if (op == "scsiRaidDriveStatus") {
        known = bus_.setRaidDriveStatus(rq.at("drive").get<unsigned>(), rq.at("status").get<uint8_t>());
    } else if (op == "scsiReset") {
        known = bus_.resetTarget(rq.at("sg").get<int>());
    } else if (op == "scsiInvalidInquiry") {
        known = bus_.setInvalidInquiry(rq.at("sg").get<int>(), rq.value("invalid", true), rq.value("blank", false));
    } else if (op == "scsiNodeFaults") {
        NodeFaults faults;
        faults.openErrno = rq.value("openErrno", 0);
        faults.transportErrno = rq.value("transportErrno", 0);
        faults.hostStatus = rq.value("hostStatus", uint16_t(0));
        faults.driverStatus = rq.value("driverStatus", uint16_t(0));
        known = bus_.setFaults(rq.at("sg").get<int>(), faults);
    } else if (op == "scsiDriveArea") {
        const int sg = rq.at("sg").get<int>();
        if (rq.contains("area")) {
            const auto bytes = rq.at("area").get<Bytes>();
            known = bus_.withDrive(sg, [&](DrivePages& d) { d.setArea(bytes); });
        } else {
            Bytes area;
            known = bus_.withDrive(sg, [&](DrivePages& d) { area.assign(d.area().begin(), d.area().end()); });
            if (known) {
                answer = {{"ok", true}, {"area", area}};
                return true;
            }
        }
    } else if (op == "scsiSelfTest") {
        known = bus_.withDrive(rq.at("sg").get<int>(), [&](DrivePages& d) {
            if (rq.contains("result"))
                d.setSelfTestOutcome(rq.at("result").get<uint8_t>(), rq.value("hours", uint16_t(1000)));
            if (rq.contains("badHeader"))
                d.setBadSelfTestHeader(rq.at("badHeader").get<bool>());
        });
    } else if (op == "scsiLogSelectFault") {
        const int parameter = rq.value("parameter", -1);
        known = bus_.withDrive(rq.at("sg").get<int>(), [&](DrivePages& d) { d.failLogSelect(parameter); });
    } else if (op == "scsiJournal") {
        json entries = json::array();
        for (const auto& r : bus_.journal())
            entries.push_back({{"form", r.form}, {"sg", r.sgNumber}, {"channel", r.channel}, {"target", r.target},
                               {"cdb", r.cdb}, {"direction", r.direction},
                               {"dataOut", r.dataOut}, {"dataIn", r.dataIn}, {"status", r.status}});
        answer = {{"ok", true}, {"journal", entries}};
        return true;
    } else if (op == "scsiClearJournal") {
        bus_.clearJournal();
    } else {
        answer = {{"ok", false}, {"error", "unknown op " + op}};
        return true;
    }
    answer = known ? json{{"ok", true}} : json{{"ok", false}, {"error", "no such SCSI target or logical drive"}};
    return true;
}

} // namespace qv::sim::scsi
