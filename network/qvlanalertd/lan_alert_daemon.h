// qvlanalertd: watches the transmit and receive errors and the traffic of every Ethernet
// interface against the thresholds in the NIC parameter segment and sends a trap to every
// destination when one is reached.
//
// Environment (tests and the demo):
//   QV_FOREGROUND=1          stay in the foreground (no fork, no setsid, descriptors kept)
//   QV_LANALERTD_SECOND_MS   length in ms of one second of the sampling period (default 1000),
//                            so tests can run many cycles quickly
#pragma once

#include "nic_parameters.h"
#include "shared_memory.h"

#include <memory>

inline constexpr char kSecondMsEnv[] = "QV_LANALERTD_SECOND_MS";

// The segment the daemon owns: created at start, removed at SIGTERM.
extern std::unique_ptr<SharedMemory> shm_parm;

// Detaches from the terminal through the service layer (detachService); false when fork fails.
bool daemon();

// Signals only raise flags; serviceSignals() acts on them.
void install_signal_handlers();
void signal_handler(int signo);

// Handles the signals that arrived: logs them, re-reads the destinations after SIGHUP and, after
// SIGTERM, removes the segment. True when the program must end; `status` then holds its exit
// status.
bool serviceSignals(int& status);
// True while a signal waits for serviceSignals().
bool signalPending();

// Start-up check of the segment and copy of the first row into it.
bool preparingNICParameters(NICParameters& nic_parm);

// One cycle: settings written back and interfaces reloaded; every `proc_rate` seconds the
// threshold checks of every interface. False when SIGTERM ended the program during the checks
// (`status` holds the exit status).
bool processingNICParametersGroup(int proc_rate, int proc_time, NICParameters& nic_parm,
                                  int& status);

// The whole program after identification; returns the exit status.
int runLanAlertDaemon();
