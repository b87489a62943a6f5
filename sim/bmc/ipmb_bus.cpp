#include "ipmb_bus.h"

#include "controller_core.h"

namespace qv::sim {

namespace {
constexpr uint8_t kBroadcastAddress = 0x00;
constexpr uint8_t kCannotReturnRequestedBytes = 0xCA;
} // namespace

uint8_t ipmbChecksum(const Bytes& bytes, size_t from, size_t to) {
    uint8_t sum = 0;
    for (size_t i = from; i < to && i < bytes.size(); ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(-sum);
}

bool ipmbChecksumsValid(const Bytes& frame) {
    if (frame.size() < kIpmbMinimumFrame)
        return false;
    return ipmbChecksum(frame, 0, 3) == 0 && ipmbChecksum(frame, 3, frame.size()) == 0;
}

IpmbBus::IpmbBus() = default;
IpmbBus::~IpmbBus() = default;

void IpmbBus::removeSatellites() {
    satellites_.clear();
    nakAbsent = true;
}

void IpmbBus::addSatellite(uint8_t address, std::unique_ptr<ControllerCore> core, bool silent) {
    satellites_[address] = Satellite{std::move(core), silent};
}

ControllerCore* IpmbBus::satellite(uint8_t address) const {
    auto it = satellites_.find(address);
    return it == satellites_.end() ? nullptr : it->second.core.get();
}

std::vector<uint8_t> IpmbBus::addresses() const {
    std::vector<uint8_t> out;
    for (const auto& [address, unused] : satellites_)
        out.push_back(address);
    return out;
}

std::vector<std::pair<Bytes, Bytes>> IpmbBus::takeTraffic() {
    std::vector<std::pair<Bytes, Bytes>> out;
    out.swap(traffic_);
    return out;
}

bool IpmbBus::takeSilence(uint8_t address) {
    if (satellites_.at(address).silent)
        return true;
    auto it = faults.silent.find(address);
    if (it == faults.silent.end() || it->second == 0)
        return false;
    if (it->second > 0 && --it->second == 0)
        faults.silent.erase(it);
    return true;
}

std::optional<uint8_t> IpmbBus::takeCompletionCode(uint8_t address, uint8_t netfn, uint8_t cmd) {
    auto it = faults.completionCodes.find(ipmbFaultKey(address, netfn, cmd));
    if (it == faults.completionCodes.end() || it->second.second <= 0)
        return std::nullopt;
    uint8_t code = it->second.first;
    if (--it->second.second <= 0)
        faults.completionCodes.erase(it);
    return code;
}

void IpmbBus::applyFrameFault(Bytes& response) {
    if (faults.faultTimes <= 0 || faults.fault == IpmbFault::None)
        return;
    --faults.faultTimes;
    switch (faults.fault) {
    case IpmbFault::WrongSequence:
        // a consistent frame for another request: only the sequence number gives it away
        response[4] = static_cast<uint8_t>((((response[4] >> 2) + 1) & 0x3F) << 2 | (response[4] & 0x03));
        response.back() = ipmbChecksum(response, 3, response.size() - 1);
        break;
    case IpmbFault::BadHeaderChecksum:
        response[2] ^= 0x5A;
        break;
    case IpmbFault::BadDataChecksum:
        response.back() ^= 0x5A;
        break;
    case IpmbFault::None:
        break;
    }
}

IpmbBus::Delivery IpmbBus::deliver(const Bytes& written, size_t maximumMessage) {
    Bytes request = written;
    if (request.size() > 1 && request[0] == kBroadcastAddress)
        request.erase(request.begin());
    Delivery result;
    ControllerCore* target = request.empty() ? nullptr : satellite(request[0]);
    if (target == nullptr) {
        result.outcome = nakAbsent ? Outcome::Nak : Outcome::NoAnswer;
    } else if (request.size() > kIpmbMaximumFrame || !ipmbChecksumsValid(request) || takeSilence(request[0])) {
        // a responder drops a frame it cannot trust without a word, as a silent one drops all
        result.outcome = Outcome::NoAnswer;
    } else {
        result.outcome = Outcome::Answered;
        result.response = respond(*target, request, maximumMessage);
    }
    traffic_.emplace_back(written, result.response);
    return result;
}

Bytes IpmbBus::respond(ControllerCore& target, const Bytes& request, size_t maximumMessage) {
    uint8_t netfn = request[1] >> 2, command = request[5];
    Bytes payload;   // completion code and data
    if (auto code = takeCompletionCode(request[0], netfn, command)) {
        payload = {*code};
    } else {
        Bytes message{request[1], command};
        message.insert(message.end(), request.begin() + 6, request.end() - 1);
        Bytes frame = target.handle(message, target.ipmi10 ? Dialect::Standard : Dialect::DeviceNode);
        payload.assign(frame.begin() + 2, frame.end());
    }
    Bytes response{request[3], static_cast<uint8_t>(((netfn | 1) << 2) | (request[4] & 0x03)), 0, request[0],
                   static_cast<uint8_t>((request[4] & 0xFC) | (request[1] & 0x03)), command};
    // the receiving buffer holds the frame from its second byte: header rest, payload, checksum
    if (response.size() + payload.size() > maximumMessage)
        payload = {kCannotReturnRequestedBytes};
    response.insert(response.end(), payload.begin(), payload.end());
    response[2] = ipmbChecksum(response, 0, 2);
    response.push_back(ipmbChecksum(response, 3, response.size()));
    applyFrameFault(response);
    return response;
}

} // namespace qv::sim
