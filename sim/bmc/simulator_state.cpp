#include "simulator_state.h"

#include <devsock.h>
#include <mmcdev_payload.h>

#include <cerrno>

namespace qv::sim {

namespace mmc = devsock::mmcdev;

namespace {
void putRetcode(Bytes& out, uint16_t retcode) {
    out.push_back(retcode & 0xFF);
    out.push_back(retcode >> 8);
}

void applyAnswerFault(AnswerFault fault, Bytes& frame, uint32_t capacity) {
    switch (fault) {
    case AnswerFault::WrongNetFn:
        frame[0] &= static_cast<uint8_t>(~0x04);
        break;
    case AnswerFault::WrongCommand:
        frame[1] ^= 0xFF;
        break;
    case AnswerFault::TooShort:
        frame.resize(1);
        break;
    case AnswerFault::TooLong:
        while (frame.size() <= capacity)
            frame.push_back(0xEE);
        break;
    case AnswerFault::None:
        break;
    }
}
} // namespace

int SimulatorState::open() {
    std::lock_guard lock(mutex);
    if (faults.opens > 0) {
        --faults.opens;
        return faults.openErrno;
    }
    return 0;
}

Bytes SimulatorState::exchange(const Bytes& message, Dialect dialect) {
    if (message.size() >= 2) {
        auto it = faults.completionCodes.find(static_cast<uint16_t>((message[0] >> 2) << 8 | message[1]));
        if (it != faults.completionCodes.end() && it->second.second > 0) {
            uint8_t code = it->second.first;
            if (--it->second.second <= 0)
                faults.completionCodes.erase(it);
            return {static_cast<uint8_t>(message[0] | 0x04), message[1], code};
        }
    }
    return core.handle(message, dialect);
}

devsock::Reply SimulatorState::sendReceive(const devsock::Request& request) {
    devsock::Reply reply;
    if (faults.exchanges > 0) {
        --faults.exchanges;
        putRetcode(reply.data, faults.exchangeRetcode);
        return reply;
    }
    Bytes frame = exchange(request.data, Dialect::DeviceNode);
    if (frame.empty()) {   // not even a network function and command: bad data
        putRetcode(reply.data, 262);
        return reply;
    }
    if (faults.answerFaults > 0) {
        --faults.answerFaults;
        applyAnswerFault(faults.answerFault, frame, request.outCapacity);
    }
    putRetcode(reply.data, 0);
    reply.data.insert(reply.data.end(), frame.begin(), frame.end());
    return reply;
}

devsock::Reply SimulatorState::ioctl(const devsock::Request& request) {
    std::lock_guard lock(mutex);
    devsock::Reply reply;
    if (faults.ioctls > 0) {
        --faults.ioctls;
        reply.result = -1;
        reply.error = faults.ioctlErrno;
    } else if (request.code == mmc::kSendReceive) {
        reply = sendReceive(request);
    } else if (request.code == mmc::kDriverVersion) {
        reply.data = core.driverVersionBlock();
    } else if (request.code >= mmc::kReadPort1 && request.code <= mmc::kReadPort3) {
        putRetcode(reply.data, 0);
        reply.data.push_back(core.readPort(static_cast<int>(request.code - mmc::kReadPort1 + 1)));
    } else if (request.code >= mmc::kWritePort1 && request.code <= mmc::kWritePort3) {
        if (request.data.size() != 1) {
            reply.result = -1;
            reply.error = EINVAL;
        } else {
            core.writePort(static_cast<int>(request.code - mmc::kWritePort1 + 1), request.data[0]);
            putRetcode(reply.data, 0);
        }
    } else {
        reply.result = -1;
        reply.error = ENOTTY;
    }
    journal.push_back({core.clock.nowMs(), request.code, request.data, reply.data});
    journalBusTraffic();
    return reply;
}

Bytes SimulatorState::standardMessage(const Bytes& message) {
    std::lock_guard lock(mutex);
    Bytes frame = exchange(message, Dialect::Standard);
    journal.push_back({core.clock.nowMs(), kDummyRequestCode, message, frame});
    journalBusTraffic();
    return frame;
}

void SimulatorState::journalBusTraffic() {
    for (auto& [request, response] : core.ipmb.takeTraffic())
        journal.push_back({core.clock.nowMs(), kIpmbFrameCode, std::move(request), std::move(response)});
    for (; core.watchdogActionsJournaled < core.watchdogActions.size(); ++core.watchdogActionsJournaled) {
        const WatchdogAction& a = core.watchdogActions[core.watchdogActionsJournaled];
        journal.push_back({a.timeMs, kWatchdogActionCode, {a.action}, {}});
    }
}

} // namespace qv::sim
