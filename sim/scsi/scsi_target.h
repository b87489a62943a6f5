// One simulated SCSI target (disk, CD-ROM drive or enclosure processor) answering commands as
// SPC and SBC define them. Written from the standards only; nothing is shared with the product's
// command builders, so a fault in those shows up as a failing test.
#pragma once

#include "drive_pages.h"
#include "safte_enclosure.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim::scsi {

using Bytes = std::vector<uint8_t>;

enum class TargetKind { Disk, CdRom, Enclosure };

struct TargetDescription {
    int host = 0, channel = 0, id = 0, lun = 0;
    int sgNumber = 0;                 // served as /dev/sg<sgNumber>
    TargetKind kind = TargetKind::Disk;
    std::string vendor, product, revision, serial;
    Bytes vendorBytes;                // INQUIRY bytes from 36 + serial length on (vendor specific)
    uint32_t blocks = 0;              // capacity in 512-byte blocks (disks)
    std::string blockNode;            // its block device node ("/dev/sda"), none when empty
    DriveProfile drive;               // log and mode pages, self-test, download (drive_pages.h)
    SafteProfile safte;               // enclosures: slots and buffers (safte_enclosure.h)
};

// A target of a scenario: channel, id, lun, kind and INQUIRY texts, capacity (host and sg number
// are the caller's). Throws on a malformed one.
TargetDescription targetFromJson(const nlohmann::json& target);

// What a command ended with. CHECK CONDITION carries fixed-format sense data.
struct CommandOutcome {
    uint8_t status = 0;               // SCSI status byte: 0 GOOD, 2 CHECK CONDITION
    Bytes sense;
    Bytes dataIn;
};

// A sense condition: key, additional sense code and qualifier.
struct SenseCondition {
    uint8_t key = 0, asc = 0, ascq = 0;
};

constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;

// `data` cut to a command's allocation length.
Bytes cutToAllocation(Bytes data, size_t allocation);

// Fixed-format sense data (response code 0x70), 18 bytes.
Bytes fixedSense(const SenseCondition& condition);

class SimulatedTarget {
public:
    explicit SimulatedTarget(TargetDescription description)
        : description_(std::move(description)), drive_(description_.drive), safte_(description_.safte) {}

    const TargetDescription& description() const { return description_; }
    // The INQUIRY data the target gives (96 bytes), before any allocation length cut.
    Bytes inquiryData() const;
    // Runs one command. `dataOut` is what the initiator sent.
    CommandOutcome execute(const Bytes& cdb, const Bytes& dataOut);

    // Faults: the next `count` commands end with CHECK CONDITION and `condition`.
    void failNext(const SenseCondition& condition, unsigned count);
    // A reset: the next command other than INQUIRY and REQUEST SENSE reports a unit attention.
    void reset() { unitAttention_ = true; }
    // INQUIRY answers with a peripheral qualifier of 3 (no device at this LUN) and no text.
    // `blank`: instead, every byte of the data is zero (a device that answers without identity).
    void setInvalidInquiry(bool invalid, bool blank = false) {
        invalidInquiry_ = invalid;
        blankInquiry_ = invalid && blank;
    }
    DrivePages& drive() { return drive_; }
    SafteEnclosure& enclosure() { return safte_; }

private:
    CommandOutcome checkCondition(const SenseCondition& condition);
    CommandOutcome inquiry(const Bytes& cdb);
    CommandOutcome readCapacity();
    CommandOutcome read6(const Bytes& cdb);
    CommandOutcome requestSense(const Bytes& cdb);

    TargetDescription description_;
    std::optional<SenseCondition> lastSense_;
    SenseCondition injected_;
    unsigned injectedCount_ = 0;
    bool unitAttention_ = false;
    bool invalidInquiry_ = false;
    bool blankInquiry_ = false;
    DrivePages drive_;
    SafteEnclosure safte_;
};

} // namespace qv::sim::scsi
