// The command model of the simulated controller: its state and one handler per command family.
// Not thread-safe by itself; ControllerSimulator serialises every call with one mutex, which is
// what makes the state shared by all clients.
#pragma once

#include "controller_simulator.h"
#include "ipmb_bus.h"
#include "sim_clock.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim {

using Bytes = std::vector<uint8_t>;

// Request shapes differ between the generations; where the length cannot tell them apart the
// transport can (ipmitool always speaks the standard shape).
enum class Dialect { DeviceNode, Standard };

namespace cc {
constexpr uint8_t kOk = 0x00;
constexpr uint8_t kNoData = 0x80;             // message buffer empty / watchdog not initialised
constexpr uint8_t kInvalidCommand = 0xC1;
constexpr uint8_t kReservationCancelled = 0xC5;
constexpr uint8_t kRequestLength = 0xC7;
constexpr uint8_t kOutOfRange = 0xC9;
constexpr uint8_t kNotPresent = 0xCB;
constexpr uint8_t kInvalidField = 0xCC;
constexpr uint8_t kNotInThisState = 0xD5;
constexpr uint8_t kNakOnWrite = 0x83;          // Send Message: the addressed device did not acknowledge
// Master I2C results of the controller's own family.
constexpr uint8_t kI2cBusError = 0x02;
constexpr uint8_t kI2cAddressNak = 0x05;
} // namespace cc

struct Sensor {
    uint8_t reading = 0;
    std::optional<uint8_t> statusOverride;
    std::array<uint8_t, 6> thresholds{};   // LNC, LC, LNR, UNC, UC, UNR
    uint8_t readableMask = 0;
    uint8_t settableMask = 0;
    uint8_t positiveHysteresis = 0;
    uint8_t negativeHysteresis = 0;
    uint8_t eventFlags = 0xC0;             // events and scanning enabled
    std::array<uint8_t, 4> eventMasks{};   // assertion lo/hi, deassertion lo/hi
    std::array<uint8_t, 4> eventStatus{};
    bool unavailable = false;
};

struct I2cDevice {
    enum class Kind { PortExpander, Eeprom } kind = Kind::PortExpander;
    uint8_t latch = 0xFF;     // port expander: pins float high after power-on
    uint8_t inputs = 0xFF;    // port expander: level the outside world drives
    Bytes memory;             // eeprom
    size_t pointer = 0;       // eeprom word address
};

// A repository with reservations and record ids (SEL and SDR share the mechanics).
struct RecordStore {
    std::map<uint16_t, Bytes> records;   // by id, ascending order is the read order
    uint16_t nextId = 1;
    uint16_t reservation = 0;            // 0: none granted yet
    uint32_t addTime = 0;
    uint32_t eraseTime = 0;
    uint16_t capacityBytes = 0;
    size_t recordUnit = 16;
    bool idsRestartAfterClear = false;   // some controllers number from 1 again after a clear
    // Partial add in progress: the id it will get and the bytes so far.
    std::optional<std::pair<uint16_t, Bytes>> pending;

    uint16_t reserve();
    bool reservationValid(uint16_t id) const { return reservation != 0 && id == reservation; }
    uint16_t add(Bytes record);          // stores the id in bytes 0..1
    uint16_t freeBytes() const;
    std::optional<uint16_t> resolve(uint16_t id) const;  // 0 = first, 0xFFFF = last
    uint16_t nextAfter(uint16_t id) const;               // 0xFFFF after the last
};

class ControllerCore {
public:
    ControllerCore();

    // The controller's answer frame to one request message (netfn<<2|lun, cmd, data...).
    Bytes handle(const Bytes& message, Dialect dialect);

    void loadScenario(const nlohmann::json& bmc);
    void loadSatellites(const nlohmann::json& list);
    void reset();   // an empty IPMI 1.0 controller

    // Driver side.
    uint8_t readPort(int number) const;
    void writePort(int number, uint8_t value);
    Bytes driverVersionBlock() const;

    SimClock clock;

    // State (public for the facade's accessors and the tests).
    bool ipmi10 = true;
    uint8_t deviceId = 0x20;
    uint8_t deviceRevision = 0x01;
    uint8_t firmwareMajor = 0x01;
    uint8_t firmwareMinor = 0x00;
    bool firmwareBusy = false;
    uint8_t ipmiVersionByte = 0x01;
    uint8_t deviceSupport = 0x2F;
    uint32_t manufacturerId = 0;
    uint16_t productId = 0;
    Bytes selfTest{0x55, 0x00};
    uint8_t globalEnables = 0;
    uint8_t interruptFlags = 0;
    std::deque<Bytes> smsQueue;
    std::deque<Bytes> smmQueue;
    uint8_t lastFailedCommand = 0;
    uint8_t lastErrorCode = 0;
    std::map<uint32_t, uint8_t> ram;   // memspace << 16 | address

    struct Watchdog {
        uint8_t use = 0, actions = 0, preTimeout = 0, expirationFlags = 0;
        uint16_t initial = 0;
        bool configured = false, running = false, expired = false;
        uint64_t startedMs = 0;
    } wd;
    WatchdogState watchdogState();

    RecordStore sel;
    RecordStore sdr;
    uint8_t selVersion = 0x51;
    uint8_t sdrVersion = 0x51;
    std::map<uint8_t, Sensor> sensors;
    Bytes fru;
    uint8_t fruAccess = 0;             // 0: byte access
    std::map<uint8_t, I2cDevice> i2c;  // by 8-bit slave address
    std::map<uint16_t, I2cDevice> privateI2c;   // private bus id << 8 | 8-bit slave address
    IpmbBus ipmb;                      // satellites; its faults outlive a scenario load
    FirmwareState flash;
    std::array<uint8_t, 3> ports{};
    uint8_t locatorLed = 0;            // 0 off, 1 on
    struct { std::string name = "QV MMC"; char letter = 'K'; uint8_t major = 1, minor = 2; } driver;

private:
    Bytes dispatch(uint8_t netfn, uint8_t cmd, const Bytes& d, Dialect dialect);
    Bytes application(uint8_t cmd, const Bytes& d);
    Bytes sensorEvent(uint8_t cmd, const Bytes& d);
    Bytes storage(uint8_t cmd, const Bytes& d, Dialect dialect);
    Bytes firmware(uint8_t cmd, const Bytes& d);
    static constexpr uint8_t kGetLocatorLedCommand = 0xDD;
    static constexpr uint8_t kSetLocatorLedCommand = 0xDC;
    Bytes locatorLedCommand(uint8_t cmd, const Bytes& d);

    Bytes watchdogCommand(uint8_t cmd, const Bytes& d);
    Bytes i2cCommand(uint8_t cmd, const Bytes& d);
    Bytes i2cTransfer(uint8_t bus, uint8_t address, const Bytes& write, size_t readCount, bool doWrite);
    Bytes messageCommand(uint8_t cmd, const Bytes& d);
    // A frame written onto the management bus; a satellite's answer joins the receive queue.
    enum class BusWrite { Delivered, Nak };
    BusWrite writeToIpmb(const Bytes& frame, size_t maximumMessage);
    Bytes sdrCommand(uint8_t cmd, const Bytes& d);
    Bytes selCommand(uint8_t cmd, const Bytes& d);
    Bytes fruCommand(uint8_t cmd, const Bytes& d, Dialect dialect);
    Bytes thresholdCommand(uint8_t cmd, const Bytes& d);
    uint8_t thresholdStatus(const Sensor& s) const;
    std::optional<size_t> thresholdIndex(uint8_t code) const;
    void updateWatchdog();
    void sensorsFromSdr();

    bool fruShapeHasDeviceId_ = false;   // device node: the shape of the last unambiguous request
};

// Little-endian helpers shared by the handlers.
inline uint16_t le16(const Bytes& d, size_t at) { return static_cast<uint16_t>(d[at] | d[at + 1] << 8); }
inline void put16(Bytes& out, uint16_t v) { out.push_back(v & 0xFF); out.push_back(v >> 8); }
inline void put32(Bytes& out, uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF); }
inline Bytes answer(uint8_t code, std::initializer_list<uint8_t> data = {}) {
    Bytes out{code};
    out.insert(out.end(), data);
    return out;
}

} // namespace qv::sim
