#include "scsi_target.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <stdexcept>

namespace qv::sim::scsi {

namespace {
// SPC operation codes and the sense conditions used below.
constexpr uint8_t kTestUnitReady = 0x00, kRequestSense = 0x03, kRead6 = 0x08, kInquiry = 0x12,
                  kReadCapacity10 = 0x25;
constexpr SenseCondition kInvalidOpcode{0x05, 0x20, 0x00};
constexpr SenseCondition kInvalidFieldInCdb{0x05, 0x24, 0x00};
constexpr SenseCondition kLbaOutOfRange{0x05, 0x21, 0x00};
constexpr SenseCondition kPowerOnOrReset{0x06, 0x29, 0x00};
constexpr SenseCondition kMediumNotPresent{0x02, 0x3A, 0x00};
constexpr uint32_t kBlockLength = 512;

uint8_t peripheralType(TargetKind kind) {
    switch (kind) {
    case TargetKind::Disk: return 0x00;
    case TargetKind::CdRom: return 0x05;
    case TargetKind::Enclosure: return 0x03;   // processor device
    }
    return 0x1F;
}

void putText(Bytes& to, size_t offset, size_t width, const std::string& text) {
    for (size_t i = 0; i < width; ++i)
        to[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

void putBigEndian32(Bytes& to, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        to[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

} // namespace

Bytes cutToAllocation(Bytes data, size_t allocation) {
    if (data.size() > allocation)
        data.resize(allocation);
    return data;
}

TargetDescription targetFromJson(const nlohmann::json& t) {
    TargetDescription d;
    d.channel = t.value("channel", 0);
    d.id = t.at("id").get<int>();
    d.lun = t.value("lun", 0);
    const std::string kind = t.value("kind", "disk");
    if (kind == "disk")
        d.kind = TargetKind::Disk;
    else if (kind == "cdrom")
        d.kind = TargetKind::CdRom;
    else if (kind == "enclosure")
        d.kind = TargetKind::Enclosure;
    else
        throw std::runtime_error("unknown SCSI target kind: " + kind);
    d.vendor = t.value("vendor", "");
    d.product = t.value("product", "");
    d.revision = t.value("revision", "");
    d.serial = t.value("serial", "");
    for (const auto& b : t.value("vendorBytes", nlohmann::json::array()))
        d.vendorBytes.push_back(b.get<uint8_t>());
    d.blocks = t.value("blocks", 0u);
    d.blockNode = t.value("block", "");
    d.drive = driveProfileFromJson(t);
    if (d.kind == TargetKind::Enclosure)
        d.safte = safteProfileFromJson(t);
    return d;
}

Bytes fixedSense(const SenseCondition& condition) {
    Bytes sense(18, 0);
    sense[0] = 0x70;            // current error, fixed format
    sense[2] = condition.key & 0x0F;
    sense[7] = 10;              // additional sense length
    sense[12] = condition.asc;
    sense[13] = condition.ascq;
    return sense;
}

Bytes SimulatedTarget::inquiryData() const {
    Bytes data(96, 0);
    if (invalidInquiry_) {
        if (blankInquiry_)
            return data;
        data[0] = 0x7F;         // qualifier 3, type 0x1F: no device here
        data[4] = 91;
        return data;
    }
    data[0] = peripheralType(description_.kind);
    data[1] = description_.kind == TargetKind::CdRom ? 0x80 : 0x00;   // removable medium
    data[2] = 0x02;             // SCSI-2
    data[3] = 0x02;             // response data format 2
    data[4] = static_cast<uint8_t>(data.size() - 5);
    putText(data, 8, 8, description_.vendor);
    putText(data, 16, 16, description_.product);
    putText(data, 32, 4, description_.revision);
    // Vendor-specific area from byte 36: the serial number, then the scenario's own bytes; an
    // enclosure processor identifies itself with "SAF-TE" at 44.
    size_t at = 36;
    for (char c : description_.serial)
        if (at < data.size())
            data[at++] = static_cast<uint8_t>(c);
    for (uint8_t b : description_.vendorBytes)
        if (at < data.size())
            data[at++] = b;
    if (description_.kind == TargetKind::Enclosure && safte_.identifies()) {
        const std::string safte = "SAF-TE";
        std::copy(safte.begin(), safte.end(), data.begin() + 44);
    }
    return data;
}

void SimulatedTarget::failNext(const SenseCondition& condition, unsigned count) {
    injected_ = condition;
    injectedCount_ = count;
}

CommandOutcome SimulatedTarget::checkCondition(const SenseCondition& condition) {
    lastSense_ = condition;
    CommandOutcome outcome;
    outcome.status = kStatusCheckCondition;
    outcome.sense = fixedSense(condition);
    return outcome;
}

CommandOutcome SimulatedTarget::execute(const Bytes& cdb, const Bytes& dataOut) {
    if (cdb.empty())
        return checkCondition(kInvalidOpcode);
    const uint8_t opcode = cdb[0];
    if (opcode == kRequestSense)
        return requestSense(cdb);
    if (injectedCount_ > 0) {
        --injectedCount_;
        return checkCondition(injected_);
    }
    if (opcode == kInquiry)
        return inquiry(cdb);
    if (unitAttention_) {
        unitAttention_ = false;
        return checkCondition(kPowerOnOrReset);
    }
    lastSense_.reset();
    if (description_.kind == TargetKind::Enclosure) {
        if (auto owned = safte_.execute(cdb, dataOut)) {
            if (owned->status == kStatusCheckCondition)
                lastSense_ = SenseCondition{uint8_t(owned->sense[2] & 0x0F), owned->sense[12], owned->sense[13]};
            return *owned;
        }
    } else {
        auto owned = drive_.execute(cdb, dataOut, description_.kind == TargetKind::Disk, description_.blocks > 0);
        if (owned) {
            if (owned->status == kStatusCheckCondition)
                lastSense_ = SenseCondition{uint8_t(owned->sense[2] & 0x0F), owned->sense[12], owned->sense[13]};
            return *owned;
        }
    }
    switch (opcode) {
    case kTestUnitReady:
        if (cdb.size() < 6)
            return checkCondition(kInvalidFieldInCdb);
        return {};
    case kReadCapacity10:
        if (cdb.size() < 10)
            return checkCondition(kInvalidFieldInCdb);
        return readCapacity();
    case kRead6:
        if (cdb.size() < 6)
            return checkCondition(kInvalidFieldInCdb);
        return read6(cdb);
    default:
        return checkCondition(kInvalidOpcode);
    }
}

CommandOutcome SimulatedTarget::inquiry(const Bytes& cdb) {
    if (cdb.size() < 6)
        return checkCondition(kInvalidFieldInCdb);
    if ((cdb[1] & 0x01) != 0 || cdb[2] != 0)   // vital product data pages are not offered
        return checkCondition(kInvalidFieldInCdb);
    CommandOutcome outcome;
    outcome.dataIn = cutToAllocation(inquiryData(), cdb[4]);
    return outcome;
}

CommandOutcome SimulatedTarget::readCapacity() {
    if (description_.kind == TargetKind::Enclosure)
        return checkCondition(kInvalidOpcode);
    if (description_.blocks == 0)
        return checkCondition(kMediumNotPresent);
    CommandOutcome outcome;
    outcome.dataIn.assign(8, 0);
    putBigEndian32(outcome.dataIn, 0, description_.blocks - 1);
    putBigEndian32(outcome.dataIn, 4, kBlockLength);
    return outcome;
}

CommandOutcome SimulatedTarget::read6(const Bytes& cdb) {
    if (description_.kind == TargetKind::Enclosure)
        return checkCondition(kInvalidOpcode);
    const uint32_t lba = (uint32_t(cdb[1] & 0x1F) << 16) | (uint32_t(cdb[2]) << 8) | cdb[3];
    const uint32_t count = cdb[4] == 0 ? 256 : cdb[4];
    if (uint64_t(lba) + count > description_.blocks)
        return checkCondition(kLbaOutOfRange);
    CommandOutcome outcome;
    outcome.dataIn.resize(size_t(count) * kBlockLength);
    // Each block carries its address, so a test sees which blocks were read.
    for (uint32_t b = 0; b < count; ++b)
        putBigEndian32(outcome.dataIn, size_t(b) * kBlockLength, lba + b);
    return outcome;
}

CommandOutcome SimulatedTarget::requestSense(const Bytes& cdb) {
    CommandOutcome outcome;
    const size_t allocation = cdb.size() >= 5 ? cdb[4] : 0;
    if (!lastSense_ && description_.kind == TargetKind::Disk) {
        if (auto progress = drive_.progressSense()) {
            outcome.dataIn = cutToAllocation(*progress, allocation);
            return outcome;
        }
    }
    outcome.dataIn = cutToAllocation(fixedSense(lastSense_.value_or(SenseCondition{})), allocation);
    lastSense_.reset();
    return outcome;
}

} // namespace qv::sim::scsi
