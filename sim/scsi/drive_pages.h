// What a simulated disk keeps beyond INQUIRY and its blocks: the log pages (supported pages,
// self-test results, failure prediction, the vendor page 0x32 holding a 600-byte area), the mode
// pages the drive commands touch, a background self-test running on a settable clock, and the
// firmware download and format commands. Written from SPC and SBC, not from the library's code.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <vector>

namespace qv::sim::scsi {

using Bytes = std::vector<uint8_t>;
struct CommandOutcome;

constexpr size_t kDriveAreaBytes = 600;
constexpr size_t kSelfTestEntries = 20;

// Per-target scenario keys (all optional): "logPages" (supported log pages, default
// [0,16,47,50]), "smartAsc"/"smartAscq" (page 0x2F), "smartCheckCondition" (page 0x2F ends with
// CHECK CONDITION, sense 5D/smartAscq), "selfTestSeconds" (short test, default 120),
// "extendedSelfTestSeconds" (default 1800; also the control page's completion time),
// "selfTestResult" (default 0), "powerOnHours" (default 1000), "modePage0" (page bytes 18 and 19
// as [b18,b19], default [0,0]), "notReadyAfterDownload" (TEST UNIT READY answers 04/01 that many
// times after WRITE BUFFER, default 2), "driveArea" (the 600-byte area, zero-padded).
struct DriveProfile {
    std::vector<uint8_t> logPages{0x00, 0x10, 0x2F, 0x32};
    uint8_t smartAsc = 0, smartAscq = 0;
    bool smartCheckCondition = false;
    uint32_t shortSeconds = 120, extendedSeconds = 1800;
    uint8_t selfTestResult = 0;
    uint16_t powerOnHours = 1000;
    uint8_t modeByte18 = 0, modeByte19 = 0;
    unsigned notReadyAfterDownload = 2;
    std::array<uint8_t, kDriveAreaBytes> area{};
};

DriveProfile driveProfileFromJson(const nlohmann::json& target);

// The simulator clock of self-tests, in seconds; an empty function restores the system clock.
void SetDriveClock(std::function<time_t()> clock);

class DrivePages {
public:
    explicit DrivePages(DriveProfile profile) : profile_(std::move(profile)) {}

    // The outcome of a command these pages own, or nothing for the target's other commands.
    // `isDisk` false: a CD-ROM drive (TEST UNIT READY without medium answers 3A/00 when
    // `hasMedium` is false); enclosures never reach here.
    std::optional<CommandOutcome> execute(const Bytes& cdb, const Bytes& dataOut, bool isDisk, bool hasMedium);
    // The sense data of REQUEST SENSE while a self-test runs (progress in bytes 16-17), or nothing.
    std::optional<Bytes> progressSense();

    // Controls.
    const std::array<uint8_t, kDriveAreaBytes>& area() const { return profile_.area; }
    void setArea(const Bytes& bytes);
    // LOG SELECT of parameter `parameter` of page 0x32 fails (-1: none).
    void failLogSelect(int parameter) { failLogSelectParameter_ = parameter; }
    // Page 0x10 answers with a header other than 10 00 01 90.
    void setBadSelfTestHeader(bool bad) { badSelfTestHeader_ = bad; }
    void setSelfTestOutcome(uint8_t result, uint16_t hours) {
        profile_.selfTestResult = result;
        profile_.powerOnHours = hours;
    }

private:
    struct LogEntry {
        uint8_t code = 0, result = 0;
        uint16_t hours = 0;
    };
    void advance();
    CommandOutcome logSense(const Bytes& cdb);
    CommandOutcome logSelect(const Bytes& cdb, const Bytes& dataOut);
    CommandOutcome modeSense(const Bytes& cdb);
    CommandOutcome modeSelect(const Bytes& dataOut);
    CommandOutcome sendDiagnostic(const Bytes& cdb);
    CommandOutcome writeBuffer(const Bytes& cdb);
    Bytes selfTestPage() const;
    Bytes areaPage(unsigned firstParameter) const;

    DriveProfile profile_;
    int failLogSelectParameter_ = -1;
    bool badSelfTestHeader_ = false;
    bool running_ = false;
    uint8_t runningCode_ = 0;
    time_t started_ = 0;
    uint32_t duration_ = 0;
    std::vector<LogEntry> log_;   // newest first, at most 20
    unsigned notReadyLeft_ = 0;
};

} // namespace qv::sim::scsi
