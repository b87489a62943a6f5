// Simulated management controller, usable in-process from test fixtures and by the standalone
// simulator. It serves the controller driver device qv::sandboxPath("/dev/mmcdev") as a
// SOCK_SEQPACKET socket (framing of platform/devsock) and, optionally, the stream socket of
// ipmitool's "dummy" interface. All clients share one state.
//
// Written from the IPMI standard and the driver's documented byte layouts only: nothing here is
// shared with the code it stands in for, so an encoding fault there shows up as a failing test.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim {

// One driver request as the simulator saw it. For send/receive `request` is the message
// (netfn<<2|lun, command, data...) and `answer` the whole answer frame; for the other driver
// requests both hold the request's and reply's payload bytes.
struct JournalEntry {
    uint64_t timeMs = 0;        // simulator clock
    uint32_t requestCode = 0;   // driver request number 1..8, or kDummyRequestCode
    std::vector<uint8_t> request;
    std::vector<uint8_t> answer;
};

// Requests that came through the ipmitool dummy socket are journaled with this code.
constexpr uint32_t kDummyRequestCode = 0x100;

// Frames that crossed the management bus behind the controller (bridged requests) are journaled
// with this code: `request` the frame as written (rsSA first), `answer` the satellite's whole
// response frame, empty when none came (silent satellite, bad checksum, no device).
constexpr uint32_t kIpmbFrameCode = 0x101;

// Damage a satellite's response frame can be made to carry.
enum class IpmbFault {
    None,
    WrongSequence,       // a well-formed answer with the next sequence number
    BadHeaderChecksum,   // first checksum wrong
    BadDataChecksum,     // closing checksum wrong
};

// Malformed answers the send/receive request can be made to give.
enum class AnswerFault {
    None,
    WrongNetFn,    // answer byte 0 lacks the response bit
    WrongCommand,  // answer byte 1 is another command
    TooShort,      // fewer than 2 answer bytes
    TooLong,       // more answer bytes than the caller offered
};

struct WatchdogState {
    uint8_t use = 0;             // timer use byte as last set (bit 6 = running)
    uint8_t actions = 0;
    uint8_t preTimeoutInterval = 0;
    uint8_t expirationFlags = 0;
    uint16_t initialCountdown = 0;  // 100 ms units
    uint16_t presentCountdown = 0;  // 100 ms units, as of now on the simulator clock
    bool running = false;
    bool expired = false;           // the countdown reached 0 since the last set
};

// A countdown that ran out with an action (IPMI timer actions: 1 hard reset, 2 power down,
// 3 power cycle); one with no action only sets its expiration flag. Journaled with
// kWatchdogActionCode: `request` {action}, `answer` empty.
struct WatchdogAction {
    uint64_t timeMs = 0;   // simulator clock at the moment the countdown reached 0
    uint8_t action = 0;
};
constexpr uint32_t kWatchdogActionCode = 0x102;

struct SelEntry {
    uint16_t id = 0;
    std::vector<uint8_t> bytes;  // the 16 record bytes, id included
};

struct SdrEntry {
    uint16_t id = 0;
    std::vector<uint8_t> bytes;  // header and body, id included
};

struct FirmwareState {
    bool transferMode = false;
    uint32_t address = 0;
    std::vector<uint8_t> flash;
};

// A scenario file parsed; throws when it cannot be read or parsed.
nlohmann::json readScenarioFile(const std::string& path);

class ControllerSimulator {
public:
    // One IPMI 1.0 baseboard controller at 0x20 with empty SDR, SEL and FRU.
    ControllerSimulator();
    ~ControllerSimulator();
    ControllerSimulator(const ControllerSimulator&) = delete;
    ControllerSimulator& operator=(const ControllerSimulator&) = delete;

    // The "bmc" section of a scenario, or a whole scenario file holding one. Replaces the state.
    void loadScenario(const nlohmann::json& scenario);
    void loadScenarioFile(const std::string& path);

    // Binds qv::sandboxPath("/dev/mmcdev") (SOCK_SEQPACKET) and serves it on a thread.
    // Throws std::runtime_error when the socket cannot be made.
    void start();
    // Also serves ipmitool's dummy interface on the given (already resolved) stream socket path;
    // call before start().
    void serveIpmiDummy(const std::string& socketPath);
    // Joins the thread and removes the sockets; the destructor calls it.
    void stop();
    bool running() const;

    // Fault injection. Each counts down per request it affects.
    void failNextOpens(int count, int errnoValue);           // open refused (EBUSY, ENODEV, ...)
    void failNextExchanges(int count, uint16_t retcode);     // send/receive retcode 256..263
    void failNextIoctls(int count, int errnoValue);          // the ioctl itself fails (-1)
    void injectCompletionCode(uint8_t netfn, uint8_t cmd, uint8_t completionCode, int times);
    void injectAnswerFault(AnswerFault fault, int times);
    // Satellites on the management bus: drop the next `times` requests to `address` without an
    // answer (times < 0: until cleared), damage the next responses, or answer with a code.
    void silenceSatellite(uint8_t address, int times);
    void injectIpmbFault(IpmbFault fault, int times);
    void injectSatelliteCompletionCode(uint8_t address, uint8_t netfn, uint8_t cmd, uint8_t completionCode,
                                       int times);
    void clearFaults();

    // The clock: real time by default. setClock() freezes it at `seconds` (SEL time base);
    // advanceClock() then moves it on, running the watchdog countdown.
    void setClock(uint32_t seconds);
    void advanceClock(uint32_t milliseconds);
    uint32_t clockSeconds() const;

    std::vector<JournalEntry> journal() const;
    void clearJournal();

    // Direct exchange without a socket: a message (netfn<<2|lun, cmd, data...) in, the answer
    // frame (netfn|4 <<2, cmd, completion code, data...) out, decoded as on the device node.
    // Faults are not applied.
    std::vector<uint8_t> handleMessage(const std::vector<uint8_t>& message);

    // State accessors for assertions.
    std::vector<SelEntry> selEntries() const;
    std::vector<SdrEntry> sdrEntries() const;
    std::vector<uint8_t> fruData() const;
    // Satellite controllers of the scenario by slave address, and their state.
    std::vector<uint8_t> satelliteAddresses() const;
    std::vector<SdrEntry> satelliteSdrEntries(uint8_t address) const;   // empty for an unknown address
    std::vector<uint8_t> satelliteFruData(uint8_t address) const;
    WatchdogState watchdog() const;
    // Every action the watchdog took since the scenario was loaded, oldest first.
    std::vector<WatchdogAction> watchdogActions() const;
    // Replaces the timer use expiration flags (as a restart by the watchdog would leave them).
    void setWatchdogFlags(uint8_t flags);
    // I2C devices on bus 0 by 8-bit slave address (bit 0 ignored). A port expander's read gives
    // its latch AND the input pins.
    std::optional<uint8_t> expanderLatch(uint8_t slaveAddress) const;
    void setExpanderInputs(uint8_t slaveAddress, uint8_t pins);
    std::vector<uint8_t> eepromBytes(uint8_t slaveAddress) const;
    FirmwareState firmware() const;
    uint8_t port(int number) const;        // driver ports 1..3
    void setPort(int number, uint8_t value);
    // Queues a message for the SMS buffer (also the receive queue that Get Message reads, where the
    // satellites' answers land); port 3 bit 0x04 is set while one waits.
    void queueSmsMessage(const std::vector<uint8_t>& message);
    void queueSmmMessage(const std::vector<uint8_t>& message);

private:
    struct Server;
    std::unique_ptr<Server> server_;
    std::string dummyPath_;
};

} // namespace qv::sim
