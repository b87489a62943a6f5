// What every client of the simulator shares: the controller, the faults still to inject and the
// journal, behind one mutex. The transports (device node, ipmitool dummy socket) call in here.
#pragma once

#include "controller_core.h"

#include <devsock.h>

#include <mutex>

namespace qv::sim {

struct PendingFaults {
    int opens = 0, openErrno = 0;
    int exchanges = 0;
    uint16_t exchangeRetcode = 0;
    int ioctls = 0, ioctlErrno = 0;
    std::map<uint16_t, std::pair<uint8_t, int>> completionCodes;   // netfn<<8|cmd -> code, times
    AnswerFault answerFault = AnswerFault::None;
    int answerFaults = 0;
};

struct SimulatorState {
    mutable std::mutex mutex;
    ControllerCore core;
    PendingFaults faults;
    std::vector<JournalEntry> journal;

    // kOpen: 0 or the errno to refuse with.
    int open();
    // One driver request of the device node.
    devsock::Reply ioctl(const devsock::Request& request);
    // One message of the standard interface: the answer frame.
    Bytes standardMessage(const Bytes& message);
    // Moves the frames that crossed the management bus and the watchdog's actions into the
    // journal; callers hold the mutex.
    void journalBusTraffic();

private:
    Bytes exchange(const Bytes& message, Dialect dialect);   // with completion-code faults
    devsock::Reply sendReceive(const devsock::Request& request);
};

} // namespace qv::sim
