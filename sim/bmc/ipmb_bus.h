// The management bus behind the baseboard controller: satellite controllers by slave address,
// the delivery of one request frame to one of them, and the faults the bus can be made to show.
#pragma once

#include "controller_simulator.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace qv::sim {

class ControllerCore;

// Frame helpers: an IPMB message is rsSA/rqSA, netFn|LUN, checksum, the other address,
// sequence|LUN, command, data, checksum.
constexpr size_t kIpmbMinimumFrame = 7;
constexpr size_t kIpmbMaximumFrame = 39;
uint8_t ipmbChecksum(const std::vector<uint8_t>& bytes, size_t from, size_t to);   // [from, to)
bool ipmbChecksumsValid(const std::vector<uint8_t>& frame);

inline uint32_t ipmbFaultKey(uint8_t address, uint8_t netfn, uint8_t cmd) {
    return static_cast<uint32_t>(address) << 16 | static_cast<uint32_t>(netfn) << 8 | cmd;
}

struct IpmbFaults {
    std::map<uint8_t, int> silent;                                 // address -> answers to drop (<0: all)
    std::map<uint32_t, std::pair<uint8_t, int>> completionCodes;   // address<<16|netfn<<8|cmd -> code, times
    IpmbFault fault = IpmbFault::None;
    int faultTimes = 0;
};

class IpmbBus {
public:
    IpmbBus();
    ~IpmbBus();
    IpmbBus(const IpmbBus&) = delete;
    IpmbBus& operator=(const IpmbBus&) = delete;

    enum class Outcome { Answered, NoAnswer, Nak };
    struct Delivery {
        Outcome outcome = Outcome::Nak;
        std::vector<uint8_t> response;   // the whole response frame, rqSA first
    };

    // A request frame as written on the bus, rsSA first; a leading broadcast address 0 is skipped.
    // `maximumMessage` is what the receiving buffer holds of the answer after its first byte.
    Delivery deliver(const std::vector<uint8_t>& frame, size_t maximumMessage);

    void removeSatellites();   // and back to refusing absent addresses
    // A silent satellite takes every request and never answers.
    void addSatellite(uint8_t address, std::unique_ptr<ControllerCore> core, bool silent);
    ControllerCore* satellite(uint8_t address) const;
    std::vector<uint8_t> addresses() const;

    // Every frame that crossed the bus since the last call: request, response (empty: none).
    std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> takeTraffic();

    IpmbFaults faults;
    // Whether a write to an address where no controller sits is refused (NAK) or just unanswered,
    // as controllers that do not report bus NAKs behave.
    bool nakAbsent = true;

private:
    bool takeSilence(uint8_t address);
    std::optional<uint8_t> takeCompletionCode(uint8_t address, uint8_t netfn, uint8_t cmd);
    void applyFrameFault(std::vector<uint8_t>& response);
    std::vector<uint8_t> respond(ControllerCore& target, const std::vector<uint8_t>& request, size_t maximumMessage);

    struct Satellite {
        std::unique_ptr<ControllerCore> core;
        bool silent = false;
    };
    std::map<uint8_t, Satellite> satellites_;
    std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> traffic_;
};

} // namespace qv::sim
