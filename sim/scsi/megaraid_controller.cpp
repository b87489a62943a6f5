#include "megaraid_controller.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace qv::sim::scsi {

namespace {
// The management interface's request layouts.
constexpr size_t kLongHeader = 110;
constexpr size_t kShortHeader = 32;
constexpr size_t kShortData = 8;
constexpr uint8_t kPassThroughOpcode = 0x80, kCommandOpcode = 0x81;
constexpr uint8_t kPassThroughMailbox = 3, kPassThroughMarker = 0xAA;
// Long form offsets.
constexpr size_t kInLength = 0, kCommand = 24, kMarker = 25, kParameter = 26, kCommandStatus = 41, kChannel = 44,
                 kTarget = 45, kCdb = 48, kCdbLength = 58, kSenseLength = 59, kSense = 60, kScsiStatus = 93,
                 kDataLength = 98;
// Short form offsets.
constexpr size_t kShortCommand = 20, kShortParameter = 21, kShortCdbLength = 22, kShortCdb = 23;

constexpr uint8_t kEnquiry = 5, kConfiguration8 = 7, kExtended = 0xA1, kProductInfo = 0x0E, kConfiguration40 = 0x04;
constexpr uint8_t kCommandRefused = 1;

// The configuration replies of the 8- and 40-logical-drive cards.
constexpr ConfigShape kShape8{8, 104, 4, 24, 8, 80, false};
constexpr ConfigShape kShape40{40, 584, 8, 72, 32, 256, true};

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
void putLe32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void putLe16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void fourBytes(const nlohmann::json& j, const char* key, uint8_t (&to)[4]) {
    const auto list = j.value(key, nlohmann::json::array());
    for (size_t i = 0; i < 4 && i < list.size(); ++i)
        to[i] = list[i].is_string() ? static_cast<uint8_t>(list[i].get<std::string>().at(0)) : list[i].get<uint8_t>();
}
// Copies `data` into the buffer at `at`, as far as the buffer reaches.
void place(Bytes& buffer, size_t at, const Bytes& data) {
    if (at >= buffer.size())
        return;
    std::copy_n(data.begin(), std::min(data.size(), buffer.size() - at), buffer.begin() + at);
}
} // namespace

void MegaRaidController::load(const nlohmann::json& j) {
    MegaRaidDescription d;
    d.host = j.at("host").get<int>();
    d.sgNumber = j.value("sg", -1);
    d.driveCapacity = j.value("logicalDriveCapacity", 40u);
    if (d.driveCapacity != 8 && d.driveCapacity != 40)
        throw std::runtime_error("a MegaRAID card holds 8 or 40 logical drives");
    fourBytes(j, "firmware", d.firmware);
    fourBytes(j, "bios", d.bios);
    d.memoryMB = j.value("memoryMB", uint16_t(0));
    d.boardId = j.value("boardId", uint16_t(0));
    d.productName = j.value("product", "");
    for (const auto& ld : j.value("logicalDrives", nlohmann::json::array())) {
        RaidLogicalDrive drive;
        drive.level = ld.at("level").get<uint8_t>();
        drive.status = ld.value("status", uint8_t(2));
        for (const auto& s : ld.value("spans", nlohmann::json::array())) {
            RaidSpan span;
            span.startBlock = s.value("start", 0u);
            span.blocks = s.at("blocks").get<uint32_t>();
            for (const auto& m : s.at("members"))
                span.members.emplace_back(m.at(0).get<int>(), m.at(1).get<int>());
            drive.spans.push_back(std::move(span));
        }
        d.drives.push_back(std::move(drive));
    }
    std::map<std::pair<int, int>, SimulatedTarget> disks;
    for (const auto& t : j.value("disks", nlohmann::json::array())) {
        TargetDescription disk = targetFromJson(t);
        disk.host = d.host;
        disk.sgNumber = -1;
        disks.emplace(std::make_pair(disk.channel, disk.id), SimulatedTarget(disk));
    }
    description_ = std::move(d);
    disks_ = std::move(disks);
}

SimulatedTarget* MegaRaidController::disk(int channel, int id) {
    auto it = disks_.find({channel, id});
    return it == disks_.end() ? nullptr : &it->second;
}

bool MegaRaidController::setDriveStatus(unsigned drive, uint8_t status) {
    if (drive >= description_.drives.size())
        return false;
    description_.drives[drive].status = status;
    return true;
}

Bytes MegaRaidController::configuration(const ConfigShape& shape) const {
    Bytes data(4 + shape.drives * shape.record + shape.physicalDrives * 8, 0);
    const size_t count = std::min<size_t>(description_.drives.size(), shape.drives);
    data[0] = static_cast<uint8_t>(count);
    for (size_t i = 0; i < count; ++i) {
        const RaidLogicalDrive& ld = description_.drives[i];
        const size_t record = 4 + i * shape.record;
        data[record] = static_cast<uint8_t>(std::min<size_t>(ld.spans.size(), shape.spans));
        data[record + 1] = ld.level;
        data[record + 4] = ld.status;
        data[record + 7] =
            ld.spans.empty() ? 0 : static_cast<uint8_t>(std::min<size_t>(ld.spans[0].members.size(), shape.devices));
        for (size_t j = 0; j < ld.spans.size() && j < shape.spans; ++j) {
            const size_t span = record + 8 + j * shape.span;
            putLe32(data, span, ld.spans[j].startBlock);
            putLe32(data, span + 4, ld.spans[j].blocks);
            for (size_t k = 0; k < ld.spans[j].members.size() && k < shape.devices; ++k) {
                const auto [channel, id] = ld.spans[j].members[k];
                if (shape.packed) {
                    data[span + 9 + 2 * k] = static_cast<uint8_t>((id & 0x0F) | (channel << 4));
                } else {
                    data[span + 8 + 2 * k] = static_cast<uint8_t>(channel);
                    data[span + 9 + 2 * k] = static_cast<uint8_t>(id);
                }
            }
        }
    }
    return data;
}

bool MegaRaidController::command(uint8_t command, uint8_t parameter, Bytes& data) const {
    const bool wide = description_.driveCapacity == 40;
    const auto& d = description_;
    if (command == kEnquiry) {
        data.assign(64, 0);
        std::copy_n(d.firmware, 4, data.begin() + 4);
        data[11] = static_cast<uint8_t>(std::min<uint16_t>(d.memoryMB, 255));
        std::copy_n(d.bios, 4, data.begin() + 13);
        return true;
    }
    if (command == kConfiguration8 && !wide) {
        data = configuration(kShape8);
        return true;
    }
    if (command == kExtended && wide && parameter == kProductInfo) {
        data.assign(256, 0);
        std::copy_n(d.firmware, 4, data.begin() + 8);
        std::copy_n(d.bios, 4, data.begin() + 24);
        std::copy_n(d.productName.begin(), std::min<size_t>(d.productName.size(), 80), data.begin() + 40);
        putLe16(data, 128, d.memoryMB);
        putLe16(data, 130, d.boardId);
        return true;
    }
    if (command == kExtended && wide && parameter == kConfiguration40) {
        data = configuration(kShape40);
        return true;
    }
    return false;
}

CommandOutcome MegaRaidController::passThrough(int channel, int target, const Bytes& cdb, const Bytes& dataOut,
                                               PassThroughRecord& record) {
    record.passThrough = true;
    record.channel = channel;
    record.target = target;
    record.cdb = cdb;
    record.dataOut = dataOut;
    CommandOutcome outcome;
    if (SimulatedTarget* member = disk(channel, target))
        outcome = member->execute(cdb, dataOut);
    else
        outcome.status = kRaidNoDevice;
    record.status = outcome.status;
    return outcome;
}

int32_t MegaRaidController::longRequest(Bytes& buffer, PassThroughRecord& record) {
    if (buffer.size() < kLongHeader)
        return -1;
    const uint8_t opcode = buffer[8];
    if (opcode == kCommandOpcode) {
        Bytes data;
        const bool offered = command(buffer[kCommand], buffer[kParameter], data);
        record.cdb = {buffer[kCommand], buffer[kParameter]};
        record.status = offered ? 0 : kCommandRefused;
        std::fill(buffer.begin() + kLongHeader, buffer.end(), 0);
        place(buffer, kLongHeader, data);
        buffer[kCommandStatus] = offered ? 0 : kCommandRefused;
        return 0;
    }
    if (opcode != kPassThroughOpcode || buffer[kCommand] != kPassThroughMailbox || buffer[kMarker] != kPassThroughMarker)
        return -1;
    const size_t cdbLength = buffer[kCdbLength];
    if (cdbLength == 0 || cdbLength > 10)
        return -1;
    const Bytes cdb(buffer.begin() + kCdb, buffer.begin() + kCdb + cdbLength);
    const uint32_t dataLength = le32(buffer, kDataLength);
    record.toDevice = le32(buffer, kInLength) != 0;
    Bytes dataOut;
    if (record.toDevice)
        dataOut.assign(buffer.begin() + kLongHeader,
                       buffer.begin() + kLongHeader + std::min<size_t>(dataLength, buffer.size() - kLongHeader));
    CommandOutcome outcome = passThrough(buffer[kChannel], buffer[kTarget], cdb, dataOut, record);
    buffer[kScsiStatus] = outcome.status;
    std::fill(buffer.begin() + kSense, buffer.begin() + kSense + 32, 0);
    Bytes sense = outcome.sense;
    sense.resize(std::min<size_t>(sense.size(), std::min<size_t>(buffer[kSenseLength], 32)));
    place(buffer, kSense, sense);
    if (!record.toDevice) {
        outcome.dataIn.resize(std::min<size_t>(outcome.dataIn.size(), dataLength));
        place(buffer, kLongHeader, outcome.dataIn);
        record.dataIn = outcome.dataIn;
    }
    return 0;
}

int32_t MegaRaidController::shortRequest(Bytes& buffer, PassThroughRecord& record) {
    if (buffer.size() < kShortHeader || buffer[8] != kPassThroughOpcode)
        return -1;
    if (buffer[kShortCommand] != kPassThroughMailbox || buffer[kShortParameter] != kPassThroughMarker) {
        Bytes data;
        const bool offered = command(buffer[kShortCommand], buffer[kShortParameter], data);
        record.cdb = {buffer[kShortCommand], buffer[kShortParameter]};
        record.status = offered ? 0 : kCommandRefused;
        std::fill(buffer.begin() + kShortData, buffer.end(), 0);
        place(buffer, kShortData, data);
        return offered ? 0 : kCommandRefused;
    }
    const size_t cdbLength = buffer[kShortCdbLength];
    const size_t tail = kShortCdb + cdbLength;
    if (cdbLength == 0 || cdbLength > 16 || tail + 4 > buffer.size())
        return -1;
    const Bytes cdb(buffer.begin() + kShortCdb, buffer.begin() + tail);
    const uint32_t inLength = le32(buffer, kInLength);
    const size_t outLength = inLength > cdbLength + 7 ? inLength - cdbLength - 7 : 0;
    record.toDevice = outLength > 0;
    Bytes dataOut(buffer.begin() + tail + 4, buffer.begin() + std::min(buffer.size(), tail + 4 + outLength));
    CommandOutcome outcome = passThrough(buffer[tail + 2], buffer[tail + 3], cdb, dataOut, record);
    if (!record.toDevice) {
        place(buffer, kShortData, outcome.dataIn);
        record.dataIn = outcome.dataIn;
    }
    return outcome.status;
}

} // namespace qv::sim::scsi
