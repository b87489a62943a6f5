#include "controller_core.h"

#include <algorithm>
#include <cstring>

namespace qv::sim {

namespace netfn {
constexpr uint8_t kSensorEvent = 0x04;
constexpr uint8_t kApplication = 0x06;
constexpr uint8_t kFirmware = 0x08;
constexpr uint8_t kStorage = 0x0A;
} // namespace netfn

constexpr uint8_t kErrorReportCommand = 0xFF;

uint16_t RecordStore::reserve() {
    reservation = static_cast<uint16_t>(reservation + 1);
    if (reservation == 0)
        reservation = 1;
    return reservation;
}

uint16_t RecordStore::add(Bytes record) {
    uint16_t id = nextId++;
    if (nextId == 0xFFFF || nextId == 0)
        nextId = 1;
    if (record.size() >= 2) {
        record[0] = id & 0xFF;
        record[1] = id >> 8;
    }
    records[id] = std::move(record);
    return id;
}

uint16_t RecordStore::freeBytes() const {
    size_t used = 0;
    for (const auto& [id, bytes] : records)
        used += (bytes.size() + recordUnit - 1) / recordUnit * recordUnit;
    return used >= capacityBytes ? 0 : static_cast<uint16_t>(capacityBytes - used);
}

std::optional<uint16_t> RecordStore::resolve(uint16_t id) const {
    if (records.empty())
        return std::nullopt;
    if (id == 0x0000)
        return records.begin()->first;
    if (id == 0xFFFF)
        return records.rbegin()->first;
    if (records.count(id))
        return id;
    return std::nullopt;
}

uint16_t RecordStore::nextAfter(uint16_t id) const {
    auto it = records.upper_bound(id);
    return it == records.end() ? 0xFFFF : it->first;
}

ControllerCore::ControllerCore() { reset(); }

void ControllerCore::reset() {
    ipmi10 = true;
    deviceId = 0x20;
    deviceRevision = 0x01;
    firmwareMajor = 0x01;
    firmwareMinor = 0x00;
    firmwareBusy = false;
    ipmiVersionByte = 0x01;
    deviceSupport = 0x2F;
    manufacturerId = 0;
    productId = 0;
    selfTest = {0x55, 0x00};
    globalEnables = interruptFlags = 0;
    smsQueue.clear();
    smmQueue.clear();
    lastFailedCommand = lastErrorCode = 0;
    ram.clear();
    wd = Watchdog{};
    watchdogActions.clear();
    watchdogActionsJournaled = 0;
    sel = RecordStore{};
    sel.capacityBytes = 16 * 512;
    sdr = RecordStore{};
    sdr.capacityBytes = 0x2000;
    sdr.recordUnit = 16;
    selVersion = sdrVersion = 0x51;
    sensors.clear();
    fru.clear();
    fruAccess = 0;
    i2c.clear();
    privateI2c.clear();
    ipmb.removeSatellites();
    flash = FirmwareState{};
    flash.flash.assign(0x10000, 0xFF);
    ports = {};
    locatorLed = 0;
    driver = {};
    fruShapeHasDeviceId_ = false;
}

Bytes ControllerCore::handle(const Bytes& message, Dialect dialect) {
    if (message.size() < 2)
        return {};
    uint8_t nf = message[0] >> 2;
    uint8_t lun = message[0] & 0x03;
    uint8_t cmd = message[1];
    Bytes data(message.begin() + 2, message.end());
    Bytes result = dispatch(nf, cmd, data, dialect);
    Bytes frame{static_cast<uint8_t>(((nf | 1) << 2) | lun), cmd};
    if (!(nf == netfn::kApplication && cmd == kErrorReportCommand) && !result.empty() && result[0] != cc::kOk) {
        lastFailedCommand = cmd;
        lastErrorCode = result[0];
    }
    frame.insert(frame.end(), result.begin(), result.end());
    return frame;
}

Bytes ControllerCore::dispatch(uint8_t nf, uint8_t cmd, const Bytes& d, Dialect dialect) {
    updateWatchdog();
    switch (nf) {
    case netfn::kApplication:
        if (cmd == kErrorReportCommand)   // the one answer without a completion code
            return {lastFailedCommand, lastErrorCode};
        if (cmd == kGetLocatorLedCommand || cmd == kSetLocatorLedCommand)
            return locatorLedCommand(cmd, d);
        return application(cmd, d);
    case netfn::kSensorEvent:
        return sensorEvent(cmd, d);
    case netfn::kStorage:
        return storage(cmd, d, dialect);
    case netfn::kFirmware:
        return firmware(cmd, d);
    default:
        return answer(cc::kInvalidCommand);
    }
}

uint8_t ControllerCore::readPort(int number) const {
    uint8_t value = ports.at(static_cast<size_t>(number - 1));
    if (number == 3 && !smsQueue.empty())
        value |= 0x04;   // SMS message data available
    return value;
}

void ControllerCore::writePort(int number, uint8_t value) { ports.at(static_cast<size_t>(number - 1)) = value; }

Bytes ControllerCore::driverVersionBlock() const {
    Bytes block(12, 0);
    // retcode 0, then the 7-byte name with its terminator, letter, major, minor
    std::memcpy(block.data() + 2, driver.name.data(), std::min<size_t>(driver.name.size(), 6));
    block[9] = static_cast<uint8_t>(driver.letter);
    block[10] = driver.major;
    block[11] = driver.minor;
    return block;
}

} // namespace qv::sim
