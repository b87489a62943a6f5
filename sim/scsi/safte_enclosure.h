// The enclosure-services side of a simulated enclosure processor, as the SAF-TE interface lays it
// out: READ BUFFER (mode 1) of the configuration (buffer 0), the enclosure status with each slot's
// SCSI id (buffer 1) and the device slot status (buffer 4, four bytes per slot), and WRITE BUFFER
// (mode 1) of the one action the hosts send, 0x10 "write device slot status". Written from that
// layout only, not from the library that reads it.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv::sim::scsi {

using Bytes = std::vector<uint8_t>;
struct CommandOutcome;
class ScsiBus;

constexpr size_t kSafteSlotsMax = 40;

struct SafteSlot {
    uint8_t id = 0;                        // SCSI id of the slot's device
    bool inserted = false;
    std::array<uint8_t, 3> state{};        // the three state bytes last written (status first)
};

// Scenario keys of an "enclosure" target (all optional): "safte" (false: a plain processor
// device without the "SAF-TE" identity or buffers), "fans", "powerSupplies", "tempSensors" (counts,
// default 0), "slots": [{"id":N,"inserted":B,"status":S}] (at most 40; status defaults to 0x01
// for an inserted device, 0 for an empty slot).
struct SafteProfile {
    bool identifies = true;
    uint8_t fans = 0, powerSupplies = 0, tempSensors = 0;
    std::vector<SafteSlot> slots;
};

SafteProfile safteProfileFromJson(const nlohmann::json& target);

class SafteEnclosure {
public:
    explicit SafteEnclosure(SafteProfile profile) : profile_(std::move(profile)) {}

    bool identifies() const { return profile_.identifies; }
    // The outcome of READ BUFFER or WRITE BUFFER, or nothing for the target's other commands.
    std::optional<CommandOutcome> execute(const Bytes& cdb, const Bytes& dataOut);

    // Controls. False for a slot the enclosure does not have.
    const std::vector<SafteSlot>& slots() const { return profile_.slots; }
    bool setSlot(size_t slot, std::optional<bool> inserted, std::optional<uint8_t> id);

private:
    CommandOutcome readBuffer(const Bytes& cdb);
    CommandOutcome writeBuffer(const Bytes& cdb, const Bytes& dataOut);
    Bytes configuration() const;
    Bytes enclosureStatus() const;
    Bytes slotStatus() const;

    SafteProfile profile_;
};

// The control requests of enclosures (scsi_simulator.h):
//   {"op":"scsiSafteSlot","sg":N,"slot":I,"inserted":B,"id":T}   (either or both of the last two)
//   {"op":"scsiSafteSlots","sg":N}   (answer "slots": [{"id","inserted","state":[3 bytes]}])
// False when `request` is none of them; else `answer` is {"ok":...}.
bool handleSafteControl(ScsiBus& bus, const nlohmann::json& request, nlohmann::json& answer);

} // namespace qv::sim::scsi
