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
        TargetDescription d = targetFromJson(t);
        d.host = t.at("host").get<int>();
        d.sgNumber = t.at("sg").get<int>();
        if (!targets.emplace(d.sgNumber, SimulatedTarget(d)).second)
            throw std::runtime_error("two SCSI targets on sg " + std::to_string(d.sgNumber));
    }
    std::optional<MegaRaidController> raid;
    if (scsi.contains("megaraid")) {
        raid.emplace();
        raid->load(scsi["megaraid"]);
        if (raid->description().sgNumber >= 0 && targets.count(raid->description().sgNumber))
            throw std::runtime_error("the RAID controller's sg number is a target's");
    }
    std::lock_guard lock(mutex_);
    raid_ = std::move(raid);
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
    // The kernel lists its devices in the order of their generic nodes; the RAID controller's own
    // line names its driver (a 2.2 kernel's tools count "Host" lines up to it).
    std::map<int, std::string> lines;
    for (const auto& [sg, target] : targets_) {
        const auto& d = target.description();
        char line[160];
        std::snprintf(line, sizeof line, "Host: scsi%d Channel: %02d Id: %02d Lun: %02d\n", d.host,
                      d.channel, d.id, d.lun);
        lines[sg] = std::string(line) + "  Vendor: " + padded(d.vendor, 8) + " Model: " + padded(d.product, 16) +
                    " Rev: " + padded(d.revision, 4) + "\n  Type:   " + procTypeName(d.kind) +
                    "                 ANSI SCSI revision: 02\n";
    }
    auto controllerLine = [](int host) {
        return "Host: scsi" + std::to_string(host) + " Channel: 00 Id: 07 Lun: 00\n  Vendor: MegaRAID" +
               "                                  \n";
    };
    int next = lines.empty() ? 0 : lines.rbegin()->first + 1;
    for (const auto& a : adapters_)
        if (a.driver == "megaraid") {
            const bool own = raid_ && raid_->description().host == a.host && raid_->description().sgNumber >= 0;
            lines[own ? raid_->description().sgNumber : next++] = controllerLine(a.host);
        }
    std::ofstream listing(proc / "scsi");
    listing << "Attached devices: \n";
    for (const auto& entry : lines)
        listing << entry.second;
}

std::vector<int> ScsiBus::sgNumbers() const {
    std::lock_guard lock(mutex_);
    std::vector<int> numbers;
    for (const auto& entry : targets_)
        numbers.push_back(entry.first);
    if (raid_ && raid_->description().sgNumber >= 0)
        numbers.push_back(raid_->description().sgNumber);
    return numbers;
}

std::map<std::string, int> ScsiBus::blockNodes() const {
    std::lock_guard lock(mutex_);
    std::map<std::string, int> nodes;
    for (const auto& [sg, target] : targets_)
        if (!target.description().blockNode.empty())
            nodes[target.description().blockNode] = sg;
    return nodes;
}

int ScsiBus::openBlock(int sgNumber, uint32_t access) const {
    if (const int refusal = open(sgNumber); refusal != 0)
        return refusal;
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t != targets_.end() && t->second.description().kind == TargetKind::CdRom && access != devsock::kOpenRead)
        return EROFS;
    return 0;
}

devsock::Reply ScsiBus::handleBlock(int sgNumber, const devsock::Request& request) {
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end() || request.op != devsock::kIoctl)
        return failed(ENXIO);
    const auto& d = t->second.description();
    devsock::Reply reply;
    if (request.code == payload::kGetIdLun) {
        payload::IdLunReply id{};
        id.devId = (d.id & 0xFF) | (d.lun & 0xFF) << 8 | (d.channel & 0xFF) << 16 | (d.host & 0xFF) << 24;
        id.hostUniqueId = d.host + 1;
        append(reply.data, id);
    } else if (request.code == payload::kGetBusNumber) {
        append(reply.data, int32_t(d.host));
    } else {
        return failed(EINVAL);
    }
    return reply;
}

bool ScsiBus::hasController() const {
    std::lock_guard lock(mutex_);
    return raid_.has_value();
}

int ScsiBus::open(int sgNumber) const {
    std::lock_guard lock(mutex_);
    const bool controller = raid_ && raid_->description().sgNumber == sgNumber;
    if (targets_.count(sgNumber) == 0 && !controller)
        return ENXIO;
    auto f = faults_.find(sgNumber);
    return f == faults_.end() ? 0 : f->second.openErrno;
}

devsock::Reply ScsiBus::handle(int sgNumber, const devsock::Request& request) {
    Bytes held;
    return handle(sgNumber, request, held);
}

devsock::Reply ScsiBus::handle(int sgNumber, const devsock::Request& request, Bytes& held) {
    std::lock_guard lock(mutex_);
    if (raid_ && raid_->description().sgNumber == sgNumber)
        return controllerNode(request);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end())
        return failed(ENXIO);
    auto f = faults_.find(sgNumber);
    if (f != faults_.end() && f->second.transportErrno != 0)
        return failed(f->second.transportErrno);
    // The RAID driver takes its short-form requests on the generic node of any of its devices.
    constexpr uint32_t kRaidShortForm = 1;
    if (raid_ && request.op == devsock::kIoctl && request.code == kRaidShortForm &&
        t->second.description().host == raid_->description().host)
        return raidRequest(request, true, sgNumber);
    if (request.op == devsock::kWrite)
        return sgWrite(sgNumber, t->second, request, held);
    if (request.op == devsock::kRead) {
        if (held.empty())
            return failed(EAGAIN);   // nothing written to answer
        devsock::Reply reply;
        reply.data.assign(held.begin(), held.begin() + std::min<size_t>(held.size(), request.outCapacity));
        held.clear();
        return reply;
    }
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

namespace {
// The 2.2 interface's request header: 36 bytes, reply_len at 4, pack_id at 8, a packed status
// word at 16 (target status in bits 1-5, host status 6-13, driver status 14-21), then 16 bytes
// of sense.
constexpr size_t kHeader22 = 36;
constexpr size_t kSense22 = 16;
size_t commandLength22(uint8_t opcode) {
    static const size_t byGroup[8] = {6, 10, 10, 6, 16, 12, 6, 6};
    return byGroup[opcode >> 5];
}
} // namespace

devsock::Reply ScsiBus::sgWrite(int sgNumber, SimulatedTarget& target, const devsock::Request& request, Bytes& held) {
    const Bytes& in = request.data;
    if (in.size() < kHeader22 + 6)
        return failed(EINVAL);
    int32_t replyLength;
    std::memcpy(&replyLength, in.data() + 4, 4);
    const size_t cdbLength = commandLength22(in[kHeader22]);
    if (in.size() < kHeader22 + cdbLength || replyLength < static_cast<int32_t>(kHeader22))
        return failed(EINVAL);
    CommandRecord record;
    record.form = "sg2";
    record.sgNumber = sgNumber;
    record.cdb.assign(in.begin() + kHeader22, in.begin() + kHeader22 + cdbLength);
    record.dataOut.assign(in.begin() + kHeader22 + cdbLength, in.end());
    const size_t dataInLength = static_cast<size_t>(replyLength) - kHeader22;
    record.direction = !record.dataOut.empty() ? payload::kToDevice
                       : dataInLength > 0      ? payload::kFromDevice
                                               : payload::kNoData;
    const NodeFaults faults = faults_.count(sgNumber) ? faults_[sgNumber] : NodeFaults{};
    CommandOutcome outcome;
    uint32_t hostStatus = faults.hostStatus, driverStatus = faults.driverStatus;
    if (hostStatus == 0 && driverStatus == 0)
        outcome = target.execute(record.cdb, record.dataOut);
    if (record.direction != payload::kFromDevice)
        outcome.dataIn.clear();
    else if (outcome.dataIn.size() > dataInLength)
        outcome.dataIn.resize(dataInLength);
    if (!outcome.sense.empty())
        driverStatus |= payload::kDriverSense;
    Bytes answer(in.begin(), in.begin() + kHeader22);
    const int32_t packLength = static_cast<int32_t>(kHeader22 + outcome.dataIn.size());
    std::memcpy(answer.data(), &packLength, 4);
    const uint32_t word = (uint32_t(outcome.status >> 1) & 0x1F) << 1 | (hostStatus & 0xFF) << 6 | (driverStatus & 0xFF) << 14;
    std::memcpy(answer.data() + 16, &word, 4);
    std::fill(answer.begin() + 20, answer.end(), 0);
    std::copy_n(outcome.sense.begin(), std::min(outcome.sense.size(), kSense22), answer.begin() + 20);
    answer.insert(answer.end(), outcome.dataIn.begin(), outcome.dataIn.end());
    held = std::move(answer);
    record.dataIn = outcome.dataIn;
    record.status = outcome.status;
    journal_.push_back(std::move(record));
    return {};
}

devsock::Reply ScsiBus::controllerNode(const devsock::Request& request) {
    const auto& d = raid_->description();
    if (request.op == devsock::kIoctl && request.code == payload::kSgGetScsiId) {
        payload::ScsiIdReply id{};
        id.hostNumber = d.host;
        id.scsiId = 7;
        id.scsiType = 3;   // the controller shows itself as a processor device
        id.commandsPerLun = 1;
        id.queueDepth = 1;
        devsock::Reply reply;
        append(reply.data, id);
        return reply;
    }
    constexpr uint32_t kShortForm = 1;
    if (request.op != devsock::kIoctl || request.code != kShortForm)
        return failed(EINVAL);
    return raidRequest(request, true, d.sgNumber);
}

devsock::Reply ScsiBus::handleController(const devsock::Request& request) {
    std::lock_guard lock(mutex_);
    constexpr uint32_t kManagement = 0x6D00;
    if (!raid_ || request.op != devsock::kIoctl || request.code != kManagement)
        return failed(EINVAL);
    return raidRequest(request, false, -1);
}

devsock::Reply ScsiBus::raidRequest(const devsock::Request& request, bool shortForm, int sgNumber) {
    Bytes buffer = request.data;
    PassThroughRecord record;
    const int32_t result = shortForm ? raid_->shortRequest(buffer, record) : raid_->longRequest(buffer, record);
    if (result < 0)
        return failed(EINVAL);
    journalPassThrough(shortForm ? "megaraid22" : "megaraid", sgNumber, record);
    // The payload: the ioctl's result, then the command buffer as the driver left it.
    devsock::Reply reply;
    append(reply.data, result);
    reply.data.insert(reply.data.end(), buffer.begin(), buffer.end());
    return reply;
}

void ScsiBus::journalPassThrough(const char* form, int sgNumber, const PassThroughRecord& pass) {
    CommandRecord record;
    record.form = pass.passThrough ? form : std::string(form) + "-command";
    record.sgNumber = sgNumber;
    record.channel = pass.channel;
    record.target = pass.target;
    record.cdb = pass.cdb;
    record.direction = pass.toDevice ? payload::kToDevice : payload::kFromDevice;
    record.dataOut = pass.dataOut;
    record.dataIn = pass.dataIn;
    record.status = pass.status;
    journal_.push_back(std::move(record));
}

bool ScsiBus::failRaidDisk(int channel, int id, const SenseCondition& condition, unsigned count) {
    std::lock_guard lock(mutex_);
    SimulatedTarget* disk = raid_ ? raid_->disk(channel, id) : nullptr;
    if (disk == nullptr)
        return false;
    disk->failNext(condition, count);
    return true;
}

bool ScsiBus::setRaidDriveStatus(unsigned drive, uint8_t status) {
    std::lock_guard lock(mutex_);
    return raid_ && raid_->setDriveStatus(drive, status);
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

bool ScsiBus::setInvalidInquiry(int sgNumber, bool invalid, bool blank) {
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end())
        return false;
    t->second.setInvalidInquiry(invalid, blank);
    return true;
}

bool ScsiBus::setFaults(int sgNumber, const NodeFaults& faults) {
    std::lock_guard lock(mutex_);
    if (targets_.count(sgNumber) == 0)
        return false;
    faults_[sgNumber] = faults;
    return true;
}

bool ScsiBus::withDrive(int sgNumber, const std::function<void(DrivePages&)>& change) {
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end() || t->second.description().kind == TargetKind::Enclosure)
        return false;
    change(t->second.drive());
    return true;
}

bool ScsiBus::withEnclosure(int sgNumber, const std::function<void(SafteEnclosure&)>& change) {
    std::lock_guard lock(mutex_);
    auto t = targets_.find(sgNumber);
    if (t == targets_.end() || t->second.description().kind != TargetKind::Enclosure)
        return false;
    change(t->second.enclosure());
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
