#include "drive_pages.h"

#include "scsi_target.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace qv::sim::scsi {

namespace {
constexpr uint8_t kTestUnitReady = 0x00, kFormatUnit = 0x04, kModeSelect6 = 0x15, kModeSense6 = 0x1A,
                  kSendDiagnostic = 0x1D, kWriteBuffer = 0x3B, kLogSelect = 0x4C, kLogSense = 0x4D;
constexpr uint8_t kSelfTestPage = 0x10, kSmartPage = 0x2F, kAreaPage = 0x32, kControlPage = 0x0A;
constexpr SenseCondition kInvalidFieldInCdb{0x05, 0x24, 0x00};
constexpr SenseCondition kInvalidFieldInList{0x05, 0x26, 0x00};
constexpr SenseCondition kSelfTestInProgress{0x02, 0x04, 0x09};
constexpr SenseCondition kBecomingReady{0x02, 0x04, 0x01};
constexpr SenseCondition kMediumNotPresent{0x02, 0x3A, 0x00};
constexpr SenseCondition kWriteError{0x03, 0x0C, 0x00};
constexpr size_t kAreaParameterBytes = 200;
constexpr uint8_t kResultRunning = 15, kResultAborted = 1;

std::function<time_t()>& driveClock() {
    static std::function<time_t()> clock;
    return clock;
}
time_t now() { return driveClock() ? driveClock()() : std::time(nullptr); }

CommandOutcome check(const SenseCondition& c) {
    CommandOutcome o;
    o.status = kStatusCheckCondition;
    o.sense = fixedSense(c);
    return o;
}
CommandOutcome good(Bytes data = {}) {
    CommandOutcome o;
    o.dataIn = std::move(data);
    return o;
}
unsigned be16(const Bytes& b, size_t at) { return (unsigned(b[at]) << 8) | b[at + 1]; }
void put16(Bytes& b, size_t at, unsigned v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}
} // namespace

DriveProfile driveProfileFromJson(const nlohmann::json& t) {
    DriveProfile p;
    if (t.contains("logPages")) {
        p.logPages.clear();
        for (const auto& v : t.at("logPages"))
            p.logPages.push_back(v.get<uint8_t>());
    }
    p.smartAsc = t.value("smartAsc", uint8_t(0));
    p.smartAscq = t.value("smartAscq", uint8_t(0));
    p.smartCheckCondition = t.value("smartCheckCondition", false);
    p.shortSeconds = t.value("selfTestSeconds", 120u);
    p.extendedSeconds = t.value("extendedSelfTestSeconds", 1800u);
    p.selfTestResult = t.value("selfTestResult", uint8_t(0));
    p.powerOnHours = t.value("powerOnHours", uint16_t(1000));
    if (t.contains("modePage0")) {
        p.modeByte18 = t.at("modePage0").at(0).get<uint8_t>();
        p.modeByte19 = t.at("modePage0").at(1).get<uint8_t>();
    }
    p.notReadyAfterDownload = t.value("notReadyAfterDownload", 2u);
    if (t.contains("driveArea")) {
        size_t i = 0;
        for (const auto& v : t.at("driveArea"))
            if (i < kDriveAreaBytes)
                p.area[i++] = v.get<uint8_t>();
    }
    return p;
}

void SetDriveClock(std::function<time_t()> clock) { driveClock() = std::move(clock); }

void DrivePages::setArea(const Bytes& bytes) {
    profile_.area.fill(0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), kDriveAreaBytes), profile_.area.begin());
}

void DrivePages::advance() {
    if (running_ && now() - started_ >= time_t(duration_)) {
        running_ = false;
        log_.front() = {runningCode_, profile_.selfTestResult, profile_.powerOnHours};
    }
}

std::optional<CommandOutcome> DrivePages::execute(const Bytes& cdb, const Bytes& dataOut, bool isDisk,
                                                  bool hasMedium) {
    advance();
    const uint8_t opcode = cdb[0];
    if (opcode == kTestUnitReady) {
        if (!isDisk && !hasMedium)
            return check(kMediumNotPresent);
        if (notReadyLeft_ > 0) {
            --notReadyLeft_;
            return check(kBecomingReady);
        }
        return std::nullopt;
    }
    if (!isDisk)
        return std::nullopt;
    const size_t need = opcode >= 0x20 ? 10 : 6;
    switch (opcode) {
    case kFormatUnit: case kModeSelect6: case kModeSense6: case kSendDiagnostic:
    case kWriteBuffer: case kLogSelect: case kLogSense:
        if (cdb.size() < need)
            return check(kInvalidFieldInCdb);
        break;
    default:
        return std::nullopt;
    }
    switch (opcode) {
    case kFormatUnit: return good();
    case kModeSense6: return modeSense(cdb);
    case kModeSelect6: return modeSelect(dataOut);
    case kSendDiagnostic: return sendDiagnostic(cdb);
    case kWriteBuffer: return writeBuffer(cdb);
    case kLogSelect: return logSelect(cdb, dataOut);
    default: return logSense(cdb);
    }
}

std::optional<Bytes> DrivePages::progressSense() {
    advance();
    if (!running_)
        return std::nullopt;
    Bytes sense = fixedSense({0x00, 0x04, 0x09});
    const uint64_t elapsed = uint64_t(std::max<time_t>(0, now() - started_));
    const unsigned progress = unsigned(std::min<uint64_t>(0xFFFF, elapsed * 65536 / std::max(1u, duration_)));
    sense[15] = 0x80;   // sense-key specific bytes valid: progress indication
    put16(sense, 16, progress);
    return sense;
}

Bytes DrivePages::selfTestPage() const {
    Bytes page(4 + kSelfTestEntries * 20, 0);
    page[0] = badSelfTestHeader_ ? 0x11 : kSelfTestPage;
    put16(page, 2, kSelfTestEntries * 20);
    for (size_t e = 0; e < kSelfTestEntries; ++e) {
        const size_t at = 4 + e * 20;
        put16(page, at, unsigned(e + 1));
        page[at + 2] = 0x03;
        page[at + 3] = 0x10;
        if (e < log_.size()) {
            page[at + 4] = uint8_t(log_[e].code << 5 | (log_[e].result & 0x0F));
            put16(page, at + 6, log_[e].hours);
        }
    }
    return page;
}

Bytes DrivePages::areaPage(unsigned first) const {
    Bytes page(4, 0);
    page[0] = kAreaPage;
    for (unsigned n = first; n < kDriveAreaBytes / kAreaParameterBytes; ++n) {
        page.insert(page.end(), {0x00, uint8_t(n), 0x01, uint8_t(kAreaParameterBytes)});
        page.insert(page.end(), profile_.area.begin() + n * kAreaParameterBytes,
                    profile_.area.begin() + (n + 1) * kAreaParameterBytes);
    }
    put16(page, 2, unsigned(page.size() - 4));
    return page;
}

CommandOutcome DrivePages::logSense(const Bytes& cdb) {
    const uint8_t page = cdb[2] & 0x3F;
    const size_t allocation = be16(cdb, 7);
    if (std::find(profile_.logPages.begin(), profile_.logPages.end(), page) == profile_.logPages.end())
        return check(kInvalidFieldInCdb);
    Bytes data;
    switch (page) {
    case 0x00:
        data = {0x00, 0x00, 0x00, uint8_t(profile_.logPages.size())};
        data.insert(data.end(), profile_.logPages.begin(), profile_.logPages.end());
        break;
    case kSelfTestPage: data = selfTestPage(); break;
    case kSmartPage:
        if (profile_.smartCheckCondition)
            return check({0x01, 0x5D, profile_.smartAscq});
        data = {kSmartPage, 0x00, 0x00, 0x08, 0x00, 0x00, 0x03, 0x04, profile_.smartAsc, profile_.smartAscq, 38, 0};
        break;
    case kAreaPage: {
        const unsigned pointer = be16(cdb, 5);
        if (pointer >= kDriveAreaBytes / kAreaParameterBytes)
            return check(kInvalidFieldInCdb);
        data = areaPage(pointer);
        break;
    }
    default: data = {page, 0x00, 0x00, 0x00}; break;
    }
    return good(cutToAllocation(std::move(data), allocation));
}

CommandOutcome DrivePages::logSelect(const Bytes& cdb, const Bytes& dataOut) {
    const size_t listLength = be16(cdb, 7);
    if (listLength == 0)
        return good();
    const size_t wanted = 4 + 4 + kAreaParameterBytes;
    if (listLength < wanted || dataOut.size() < wanted)
        return check(kInvalidFieldInCdb);
    if ((dataOut[0] & 0x3F) != kAreaPage || be16(dataOut, 2) != wanted - 4 || dataOut[7] != kAreaParameterBytes)
        return check(kInvalidFieldInList);
    const unsigned parameter = be16(dataOut, 4);
    if (parameter >= kDriveAreaBytes / kAreaParameterBytes)
        return check(kInvalidFieldInList);
    if (int(parameter) == failLogSelectParameter_)
        return check(kWriteError);
    std::copy_n(dataOut.begin() + 8, kAreaParameterBytes, profile_.area.begin() + parameter * kAreaParameterBytes);
    return good();
}

CommandOutcome DrivePages::modeSense(const Bytes& cdb) {
    const uint8_t page = cdb[2] & 0x3F;
    Bytes data;
    if (page == kControlPage) {
        data.assign(4 + 12, 0);
        data[4] = kControlPage;
        data[5] = 0x0A;
        put16(data, 14, std::min<uint32_t>(profile_.extendedSeconds, 0xFFFF));
    } else if (page == 0x00) {
        data.assign(4 + 2 + 14, 0);
        data[5] = 14;
        data[18] = profile_.modeByte18;
        data[19] = profile_.modeByte19;
    } else {
        return check(kInvalidFieldInCdb);
    }
    data[0] = uint8_t(data.size() - 1);
    return good(cutToAllocation(std::move(data), cdb[4]));
}

CommandOutcome DrivePages::modeSelect(const Bytes& dataOut) {
    if (dataOut.size() >= 20 && dataOut[4] == 0x00) {
        profile_.modeByte18 = dataOut[18];
        profile_.modeByte19 = dataOut[19];
    }
    return good();
}

CommandOutcome DrivePages::sendDiagnostic(const Bytes& cdb) {
    const uint8_t code = cdb[1] >> 5;
    if (code == 4) {
        if (running_) {
            running_ = false;
            log_.front().result = kResultAborted;
        }
        return good();
    }
    if (code != 1 && code != 2)
        return code == 0 ? good() : check(kInvalidFieldInCdb);
    if (running_)
        return check(kSelfTestInProgress);
    running_ = true;
    runningCode_ = code;
    started_ = now();
    duration_ = code == 1 ? profile_.shortSeconds : profile_.extendedSeconds;
    log_.insert(log_.begin(), LogEntry{code, kResultRunning, profile_.powerOnHours});
    if (log_.size() > kSelfTestEntries)
        log_.pop_back();
    return good();
}

CommandOutcome DrivePages::writeBuffer(const Bytes& cdb) {
    const uint8_t mode = cdb[1] & 0x1F;
    if (mode != 5 && mode != 7)
        return check(kInvalidFieldInCdb);
    notReadyLeft_ = profile_.notReadyAfterDownload;
    return good();
}

} // namespace qv::sim::scsi
