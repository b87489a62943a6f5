#include "scsi_bus.h"

#include <sandbox_path.h>
#include <scsi_payload.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qv::sim::scsi {

namespace payload = qv::devsock::scsi;

namespace {
TargetKind kindOf(const std::string& text) {
    if (text == "disk")
        return TargetKind::Disk;
    if (text == "cdrom")
        return TargetKind::CdRom;
    if (text == "enclosure")
        return TargetKind::Enclosure;
    throw std::runtime_error("unknown SCSI target kind: " + text);
}

const char* procTypeName(TargetKind kind) {
    switch (kind) {
    case TargetKind::Disk: return "Direct-Access   ";
    case TargetKind::CdRom: return "CD-ROM          ";
    case TargetKind::Enclosure: return "Processor       ";
    }
    return "Unknown         ";
}

devsock::Reply failed(int error) {
    devsock::Reply reply;
    reply.result = -1;
    reply.error = error;
    return reply;
}

template <typename T>
void append(Bytes& to, const T& value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    to.insert(to.end(), p, p + sizeof value);
}

std::string padded(const std::string& text, size_t width) {
    std::string out = text.substr(0, width);
    out.resize(width, ' ');
    return out;
}
} // namespace

void ScsiBus::load(const nlohmann::json& scsi) {
    std::vector<AdapterDescription> adapters;
    std::map<int, SimulatedTarget> targets;
    for (const auto& a : scsi.value("adapters", nlohmann::json::array()))
        adapters.push_back({a.at("host").get<int>(), a.at("driver").get<std::string>()});
    for (const auto& t : scsi.value("targets", nlohmann::json::array())) {
        TargetDescription d;
        d.host = t.at("host").get<int>();
        d.channel = t.value("channel", 0);
        d.id = t.at("id").get<int>();
        d.lun = t.value("lun", 0);
        d.sgNumber = t.at("sg").get<int>();
        d.kind = kindOf(t.value("kind", "disk"));
        d.vendor = t.value("vendor", "");
        d.product = t.value("product", "");
        d.revision = t.value("revision", "");
        d.serial = t.value("serial", "");
        for (const auto& b : t.value("vendorBytes", nlohmann::json::array()))
            d.vendorBytes.push_back(b.get<uint8_t>());
        d.blocks = t.value("blocks", 0u);
        if (!targets.emplace(d.sgNumber, SimulatedTarget(d)).second)
            throw std::runtime_error("two SCSI targets on sg " + std::to_string(d.sgNumber));
    }
    std::lock_guard lock(mutex_);
    adapters_ = std::move(adapters);
    targets_ = std::move(targets);
    faults_.clear();
    journal_.clear();
}

void ScsiBus::writeProcFixtures() const {
    std::lock_guard lock(mutex_);
    namespace fs = std::filesystem;
    const fs::path proc = qv::sandboxPath("/proc/scsi");
    fs::create_directories(proc);
    for (const auto& a : adapters_) {
        fs::create_directories(proc / a.driver);
        std::ofstream(proc / a.driver / std::to_string(a.host)) << "Simulated " << a.driver << " host adapter\n";
    }
    std::ofstream listing(proc / "scsi");
    listing << "Attached devices: \n";
    for (const auto& [sg, target] : targets_) {
        const auto& d = target.description();
        char line[160];
        std::snprintf(line, sizeof line, "Host: scsi%d Channel: %02d Id: %02d Lun: %02d\n", d.host,
                      d.channel, d.id, d.lun);
        listing << line << "  Vendor: " << padded(d.vendor, 8) << " Model: " << padded(d.product, 16)
                << " Rev: " << padded(d.revision, 4) << "\n  Type:   " << procTypeName(d.kind)
                << "                 ANSI SCSI revision: 02\n";
    }
    // The RAID controller's own host line names its driver, as the kernel lists it.
    for (const auto& a : adapters_)
        if (a.driver == "megaraid")
            listing << "Host: scsi" << a.host << " Channel: 00 Id: 07 Lun: 00\n  Vendor: MegaRAID"
                    << "                                  \n";
}

std::vector<int> ScsiBus::sgNumbers() const {
    std::lock_guard lock(mutex_);
    std::vector<int> numbers;
    for (const auto& entry : targets_)
        numbers.push_back(entry.first);
    return numbers;
}

int ScsiBus::open(int sgNumber) const {
    std::lock_guard lock(mutex_);
    if (targets_.count(sgNumber) == 0)
        return ENXIO;
    auto f = faults_.find(sgNumber);
    return f == faults_.end() ? 0 : f->second.openErrno;
}

devsock::Reply ScsiBus::handle(int sgNumber, const devsock::Request& request) {
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end())
        return failed(ENXIO);
    auto f = faults_.find(sgNumber);
    if (f != faults_.end() && f->second.transportErrno != 0)
        return failed(f->second.transportErrno);
    switch (request.code) {
    case payload::kSgGetScsiId: {
        const auto& d = t->second.description();
        payload::ScsiIdReply id{};
        id.hostNumber = d.host;
        id.channel = d.channel;
        id.scsiId = d.id;
        id.lun = d.lun;
        id.scsiType = t->second.inquiryData()[0] & 0x1F;
        id.commandsPerLun = 1;
        id.queueDepth = 1;
        devsock::Reply reply;
        append(reply.data, id);
        return reply;
    }
    case payload::kSgIo:
        return sgIo(sgNumber, t->second, request);
    default:
        return failed(EINVAL);
    }
}

devsock::Reply ScsiBus::sgIo(int sgNumber, SimulatedTarget& target, const devsock::Request& request) {
    payload::SgIoRequestFields fields;
    if (request.data.size() < sizeof fields)
        return failed(EINVAL);
    std::memcpy(&fields, request.data.data(), sizeof fields);
    const size_t cdbEnd = sizeof fields + fields.cmdLength;
    const bool toDevice = fields.direction == payload::kToDevice;
    const size_t dataOutLength = toDevice ? fields.dataLength : 0;
    // The driver refuses what a real request block could not describe.
    if (fields.cmdLength < 6 || fields.cmdLength > 16 || request.data.size() != cdbEnd + dataOutLength)
        return failed(EINVAL);

    CommandRecord record;
    record.sgNumber = sgNumber;
    record.cdb.assign(request.data.begin() + sizeof fields, request.data.begin() + cdbEnd);
    record.direction = fields.direction;
    record.dataOut.assign(request.data.begin() + cdbEnd, request.data.end());

    payload::SgIoStatusFields status{};
    CommandOutcome outcome;
    const NodeFaults faults = faults_.count(sgNumber) ? faults_[sgNumber] : NodeFaults{};
    if (faults.hostStatus != 0 || faults.driverStatus != 0) {
        status.hostStatus = faults.hostStatus;
        status.driverStatus = faults.driverStatus;
    } else {
        outcome = target.execute(record.cdb, record.dataOut);
    }
    // The data phase moves at most what the initiator offered, and only from the device.
    if (fields.direction != payload::kFromDevice)
        outcome.dataIn.clear();
    else if (outcome.dataIn.size() > fields.dataLength)
        outcome.dataIn.resize(fields.dataLength);
    status.status = outcome.status;
    status.maskedStatus = outcome.status >> 1;
    const size_t senseLength = std::min<size_t>(outcome.sense.size(), fields.senseCapacity);
    status.senseWritten = static_cast<uint8_t>(senseLength);
    if (senseLength > 0)
        status.driverStatus |= payload::kDriverSense;
    if (fields.direction == payload::kFromDevice)
        status.residual = static_cast<int32_t>(fields.dataLength - outcome.dataIn.size());

    devsock::Reply reply;
    append(reply.data, status);
    Bytes sense(fields.senseCapacity, 0);
    std::copy_n(outcome.sense.begin(), senseLength, sense.begin());
    reply.data.insert(reply.data.end(), sense.begin(), sense.end());
    reply.data.insert(reply.data.end(), outcome.dataIn.begin(), outcome.dataIn.end());

    record.dataIn = outcome.dataIn;
    record.status = outcome.status;
    journal_.push_back(std::move(record));
    return reply;
}

bool ScsiBus::failCommands(int sgNumber, const SenseCondition& condition, unsigned count) {
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end())
        return false;
    t->second.failNext(condition, count);
    return true;
}

bool ScsiBus::resetTarget(int sgNumber) {
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end())
        return false;
    t->second.reset();
    return true;
}

bool ScsiBus::setInvalidInquiry(int sgNumber, bool invalid) {
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end())
        return false;
    t->second.setInvalidInquiry(invalid);
    return true;
}

bool ScsiBus::setFaults(int sgNumber, const NodeFaults& faults) {
    std::lock_guard lock(mutex_);
    if (targets_.count(sgNumber) == 0)
        return false;
    faults_[sgNumber] = faults;
    return true;
}

std::vector<CommandRecord> ScsiBus::journal() const {
    std::lock_guard lock(mutex_);
    return journal_;
}

void ScsiBus::clearJournal() {
    std::lock_guard lock(mutex_);
    journal_.clear();
}

} // namespace qv::sim::scsi
