#include "safte_enclosure.h"

#include "scsi_bus.h"
#include "scsi_target.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

namespace qv::sim::scsi {

namespace {
constexpr uint8_t kWriteBuffer = 0x3B, kReadBuffer = 0x3C;
constexpr uint8_t kModeSafte = 0x01;
constexpr uint8_t kBufferConfiguration = 0, kBufferEnclosureStatus = 1, kBufferSlotStatus = 4;
constexpr uint8_t kActionWriteSlotStatus = 0x10;
constexpr uint8_t kDeviceOperational = 0x01;
constexpr uint8_t kTemperatureReading = 45;   // degrees, offset by 10 as the status byte carries it
constexpr SenseCondition kInvalidFieldInCdb{0x05, 0x24, 0x00};
constexpr SenseCondition kInvalidFieldInList{0x05, 0x26, 0x00};
constexpr SenseCondition kParameterListLength{0x05, 0x1A, 0x00};

CommandOutcome check(const SenseCondition& c) {
    CommandOutcome o;
    o.status = kStatusCheckCondition;
    o.sense = fixedSense(c);
    return o;
}
size_t length24(const Bytes& cdb) { return (size_t(cdb[6]) << 16) | (size_t(cdb[7]) << 8) | cdb[8]; }
} // namespace

SafteProfile safteProfileFromJson(const nlohmann::json& t) {
    SafteProfile p;
    p.identifies = t.value("safte", true);
    p.fans = t.value("fans", uint8_t(0));
    p.powerSupplies = t.value("powerSupplies", uint8_t(0));
    p.tempSensors = t.value("tempSensors", uint8_t(0));
    for (const auto& s : t.value("slots", nlohmann::json::array())) {
        SafteSlot slot;
        slot.id = s.at("id").get<uint8_t>();
        slot.inserted = s.value("inserted", false);
        slot.state[0] = s.value("status", slot.inserted ? kDeviceOperational : uint8_t(0));
        p.slots.push_back(slot);
    }
    if (p.slots.size() > kSafteSlotsMax)
        throw std::runtime_error("an enclosure has at most 40 slots");
    return p;
}

std::optional<CommandOutcome> SafteEnclosure::execute(const Bytes& cdb, const Bytes& dataOut) {
    if (!profile_.identifies || cdb.empty())
        return std::nullopt;
    if (cdb[0] == kReadBuffer)
        return cdb.size() < 10 ? check(kInvalidFieldInCdb) : readBuffer(cdb);
    if (cdb[0] == kWriteBuffer)
        return cdb.size() < 10 ? check(kInvalidFieldInCdb) : writeBuffer(cdb, dataOut);
    return std::nullopt;
}

CommandOutcome SafteEnclosure::readBuffer(const Bytes& cdb) {
    if ((cdb[1] & 0x1F) != kModeSafte)
        return check(kInvalidFieldInCdb);
    CommandOutcome outcome;
    switch (cdb[2]) {
    case kBufferConfiguration: outcome.dataIn = configuration(); break;
    case kBufferEnclosureStatus: outcome.dataIn = enclosureStatus(); break;
    case kBufferSlotStatus: outcome.dataIn = slotStatus(); break;
    default: return check(kInvalidFieldInCdb);
    }
    outcome.dataIn = cutToAllocation(std::move(outcome.dataIn), length24(cdb));
    return outcome;
}

CommandOutcome SafteEnclosure::writeBuffer(const Bytes& cdb, const Bytes& dataOut) {
    if ((cdb[1] & 0x1F) != kModeSafte || cdb[2] != 0)
        return check(kInvalidFieldInCdb);
    const size_t length = length24(cdb);
    if (length != 1 + 3 * profile_.slots.size() || dataOut.size() < length)
        return check(kParameterListLength);
    if (dataOut[0] != kActionWriteSlotStatus)
        return check(kInvalidFieldInList);
    for (size_t i = 0; i < profile_.slots.size(); ++i)
        for (size_t b = 0; b < 3; ++b)
            profile_.slots[i].state[b] = dataOut[1 + 3 * i + b];
    return {};
}

Bytes SafteEnclosure::configuration() const {
    Bytes data(64, 0);
    data[0] = profile_.fans;
    data[1] = profile_.powerSupplies;
    data[2] = uint8_t(profile_.slots.size());
    data[4] = profile_.tempSensors;
    return data;
}

Bytes SafteEnclosure::enclosureStatus() const {
    // Fans and supplies all operational, the slots' ids, door lock and speaker, temperatures and
    // the two bytes of temperature flags.
    Bytes data(size_t(profile_.fans) + profile_.powerSupplies, 0);
    for (const SafteSlot& s : profile_.slots)
        data.push_back(s.id);
    data.push_back(0);
    data.push_back(0);
    data.insert(data.end(), profile_.tempSensors, kTemperatureReading + 10);
    data.insert(data.end(), 2, 0);
    return data;
}

Bytes SafteEnclosure::slotStatus() const {
    Bytes data;
    for (const SafteSlot& s : profile_.slots) {
        data.insert(data.end(), s.state.begin(), s.state.end());
        data.push_back(s.inserted ? 0x01 : 0x00);
    }
    return data;
}

bool SafteEnclosure::setSlot(size_t slot, std::optional<bool> inserted, std::optional<uint8_t> id) {
    if (slot >= profile_.slots.size())
        return false;
    if (inserted)
        profile_.slots[slot].inserted = *inserted;
    if (id)
        profile_.slots[slot].id = *id;
    return true;
}

bool handleSafteControl(ScsiBus& bus, const nlohmann::json& rq, nlohmann::json& answer) {
    const std::string op = rq.at("op").get<std::string>();
    if (op == "scsiSafteSlot") {
        std::optional<bool> inserted;
        std::optional<uint8_t> id;
        if (rq.contains("inserted"))
            inserted = rq.at("inserted").get<bool>();
        if (rq.contains("id"))
            id = rq.at("id").get<uint8_t>();
        bool known = false;
        bus.withEnclosure(rq.at("sg").get<int>(), [&](SafteEnclosure& e) {
            known = e.setSlot(rq.at("slot").get<size_t>(), inserted, id);
        });
        answer = known ? nlohmann::json{{"ok", true}}
                       : nlohmann::json{{"ok", false}, {"error", "no such enclosure slot"}};
        return true;
    }
    if (op == "scsiSafteSlots") {
        nlohmann::json slots = nlohmann::json::array();
        const bool known = bus.withEnclosure(rq.at("sg").get<int>(), [&](SafteEnclosure& e) {
            for (const SafteSlot& s : e.slots())
                slots.push_back({{"id", s.id}, {"inserted", s.inserted}, {"state", s.state}});
        });
        answer = known ? nlohmann::json{{"ok", true}, {"slots", slots}}
                       : nlohmann::json{{"ok", false}, {"error", "no such enclosure"}};
        return true;
    }
    return false;
}

} // namespace qv::sim::scsi
