// The simulator's control channel for tests: a Unix stream socket on which each line is one JSON
// request and each answer one JSON line.
//   {"op":"loadScenario","file":PATH} | {"op":"loadScenario","scenario":{...}}
//   {"op":"setClock","seconds":N}      | {"op":"advanceClock","ms":N}
//   {"op":"failOpens","count":N,"errno":E} | {"op":"failExchanges","count":N,"retcode":R}
//   {"op":"failIoctls","count":N,"errno":E}
//   {"op":"completionCode","netfn":F,"cmd":C,"code":K,"times":N}
//   {"op":"answerFault","fault":"wrongNetFn|wrongCommand|tooShort|tooLong","times":N}
//   {"op":"clearFaults"} | {"op":"journal"} | {"op":"clearJournal"}
//   {"op":"watchdog"}: the timer's fields and "taken", the actions it took ({"timeMs","action"})
//   {"op":"setWatchdogFlags","flags":N}: the timer use expiration flags a restart would leave
//   and the SCSI requests of scsi_simulator.h ("scsi..." ops)
// Answers: {"ok":true,...} or {"ok":false,"error":TEXT}.
#pragma once

#include "controller_simulator.h"
#include "scsi_simulator.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace qv::sim {

// The simulated devices the control channel commands.
struct SimulatedDevices {
    ControllerSimulator& controller;
    scsi::ScsiSimulator& scsi;
};

nlohmann::json handleControlRequest(SimulatedDevices devices, const nlohmann::json& request);

// Serves the channel until `stopFd` becomes readable, calling `listening` once clients can
// connect. Throws when the socket cannot be made.
void serveControlChannel(SimulatedDevices devices, const std::string& socketPath, int stopFd,
                         const std::function<void()>& listening);

} // namespace qv::sim
