// Application commands: identity, resets, self test, enables, watchdog, message buffers, I2C.
#include "controller_core.h"

#include <algorithm>

namespace qv::sim {

namespace {
constexpr uint64_t kWatchdogTickMs = 100;
constexpr uint8_t kWatchdogDontStop = 0x40;
constexpr size_t kMaxI2cRead = 31;   // what one answer frame of the device node can carry
constexpr uint8_t kReceiveMessageAvailable = 0x01;
constexpr uint8_t kEventBufferFull = 0x02;
constexpr uint8_t kIpmbChannel = 0;
// Message bytes the receive queue hands out per entry: Get Message's 34, the 0.9 SMS buffer's 32.
constexpr size_t kGetMessageCapacity = 34;
constexpr size_t kSmsBufferCapacity = 32;
constexpr size_t kReceiveQueueDepth = 32;
} // namespace

Bytes ControllerCore::application(uint8_t cmd, const Bytes& d) {
    switch (cmd) {
    case 0x01: {   // Get Device ID
        uint8_t fw1 = static_cast<uint8_t>((firmwareMajor & 0x7F) | (firmwareBusy ? 0x80 : 0));
        Bytes out = answer(cc::kOk, {deviceId, deviceRevision, fw1, firmwareMinor, ipmiVersionByte, deviceSupport});
        if (ipmi10) {
            for (int i = 0; i < 3; ++i)
                out.push_back((manufacturerId >> (8 * i)) & 0xFF);
            put16(out, productId);
        }
        return out;
    }
    case 0x02:   // Cold Reset
        sel.reservation = 0;
        sdr.reservation = 0;
        wd.running = false;
        return answer(cc::kOk);
    case 0x03:   // Warm Reset
        return answer(cc::kOk);
    case 0x04: {  // Get Self Test Results
        Bytes out{cc::kOk};
        out.insert(out.end(), selfTest.begin(), selfTest.begin() + (ipmi10 ? 2 : 1));
        return out;
    }
    case 0x1B: {  // Read controller RAM
        if (d.size() < 3)
            return answer(cc::kRequestLength);
        auto it = ram.find(static_cast<uint32_t>(d[0]) << 16 | le16(d, 1));
        return answer(cc::kOk, {it == ram.end() ? uint8_t{0} : it->second});
    }
    case 0x1C:   // Set global enables (earlier generation)
    case 0x2E:   // Set BMC Global Enables
        if (d.size() < 1)
            return answer(cc::kRequestLength);
        globalEnables = d[0];
        return answer(cc::kOk);
    case 0x1D:
    case 0x2F:
        return answer(cc::kOk, {globalEnables});
    case 0x22:
    case 0x24:
    case 0x25:
        return watchdogCommand(cmd, d);
    case 0x30:
    case 0x31:
    case 0x32:
    case 0x33:
    case 0x34:
        return messageCommand(cmd, d);
    case 0x35:   // Read SMM message buffer
    case 0x37: { // Read SMS message buffer
        auto& queue = cmd == 0x35 ? smmQueue : smsQueue;
        if (queue.empty())
            return answer(cc::kNoData);
        Bytes out{cc::kOk};
        out.insert(out.end(), queue.front().begin(), queue.front().end());
        queue.pop_front();
        return out;
    }
    case 0x50:
    case 0x51:
    case 0x52:
        return i2cCommand(cmd, d);
    default:
        return answer(cc::kInvalidCommand);
    }
}

Bytes ControllerCore::messageCommand(uint8_t cmd, const Bytes& d) {
    switch (cmd) {
    case 0x30:   // Clear Message Flags; the earlier generation sets its interrupt flags here
        if (d.size() < 1)
            return answer(cc::kRequestLength);
        if (!ipmi10) {
            interruptFlags = d[0];
            return answer(cc::kOk);
        }
        if (d[0] & kReceiveMessageAvailable)
            smsQueue.clear();
        if (d[0] & kEventBufferFull)
            smmQueue.clear();
        interruptFlags &= static_cast<uint8_t>(~d[0]);
        return answer(cc::kOk);
    case 0x31: {  // Get Message / interrupt flags: bit 0 message waiting, bit 1 event buffer full
        uint8_t flags = static_cast<uint8_t>(interruptFlags | (smsQueue.empty() ? 0 : kReceiveMessageAvailable) |
                                             (smmQueue.empty() ? 0 : kEventBufferFull));
        return answer(cc::kOk, {flags});
    }
    default:
        break;
    }
    if (!ipmi10)   // no message bridging before 1.0: satellites are reached by master write
        return answer(cc::kInvalidCommand);
    switch (cmd) {
    case 0x32:   // Enable Message Channel Receive: channel[, state]
        if (d.size() < 1)
            return answer(cc::kRequestLength);
        return answer(cc::kOk, {static_cast<uint8_t>(d[0] & 0x0F), static_cast<uint8_t>(d.size() > 1 ? d[1] & 1 : 1)});
    case 0x33: { // Get Message: channel, then the message without its first address byte
        if (smsQueue.empty())
            return answer(cc::kNoData);
        Bytes out = answer(cc::kOk, {kIpmbChannel});
        out.insert(out.end(), smsQueue.front().begin(), smsQueue.front().end());
        smsQueue.pop_front();
        return out;
    }
    default: {   // 0x34 Send Message: channel, then the whole IPMB frame
        if (d.size() < 1 + kIpmbMinimumFrame || d.size() > 2 + kIpmbMaximumFrame)   // 2: channel, broadcast
            return answer(cc::kRequestLength);
        if ((d[0] & 0x0F) != kIpmbChannel)
            return answer(cc::kInvalidField);
        BusWrite result = writeToIpmb(Bytes(d.begin() + 1, d.end()), kGetMessageCapacity);
        return answer(result == BusWrite::Nak ? cc::kNakOnWrite : cc::kOk);
    }
    }
}

ControllerCore::BusWrite ControllerCore::writeToIpmb(const Bytes& frame, size_t maximumMessage) {
    IpmbBus::Delivery delivery = ipmb.deliver(frame, maximumMessage);
    if (delivery.outcome == IpmbBus::Outcome::Nak)
        return BusWrite::Nak;
    if (delivery.outcome == IpmbBus::Outcome::Answered) {
        if (smsQueue.size() >= kReceiveQueueDepth)   // a full queue loses the newest, as the hardware does
            return BusWrite::Delivered;
        smsQueue.emplace_back(delivery.response.begin() + 1, delivery.response.end());
    }
    return BusWrite::Delivered;
}

void ControllerCore::updateWatchdog() {
    if (!wd.running)
        return;
    uint64_t elapsedTicks = (clock.nowMs() - wd.startedMs) / kWatchdogTickMs;
    if (elapsedTicks >= wd.initial) {
        wd.running = false;
        wd.expired = true;
        uint8_t timerUse = wd.use & 0x07;
        if (timerUse >= 1 && timerUse <= 5)
            wd.expirationFlags |= static_cast<uint8_t>(1u << timerUse);
        uint8_t action = wd.actions & 0x07;
        if (action >= 1 && action <= 3)
            watchdogActions.push_back({wd.startedMs + uint64_t{wd.initial} * kWatchdogTickMs, action});
    }
}

WatchdogState ControllerCore::watchdogState() {
    updateWatchdog();
    WatchdogState s;
    s.use = static_cast<uint8_t>((wd.use & ~kWatchdogDontStop) | (wd.running ? kWatchdogDontStop : 0));
    s.actions = wd.actions;
    s.preTimeoutInterval = wd.preTimeout;
    s.expirationFlags = wd.expirationFlags;
    s.initialCountdown = wd.initial;
    s.running = wd.running;
    s.expired = wd.expired;
    if (wd.running) {
        uint64_t elapsedTicks = (clock.nowMs() - wd.startedMs) / kWatchdogTickMs;
        s.presentCountdown = static_cast<uint16_t>(wd.initial - elapsedTicks);
    } else {
        s.presentCountdown = wd.expired ? 0 : wd.initial;
    }
    return s;
}

Bytes ControllerCore::watchdogCommand(uint8_t cmd, const Bytes& d) {
    switch (cmd) {
    case 0x22:   // Reset Watchdog Timer: (re)starts the countdown
        if (!wd.configured)
            return answer(cc::kNoData);
        wd.running = wd.initial > 0;
        wd.expired = wd.initial == 0;
        wd.startedMs = clock.nowMs();
        return answer(cc::kOk);
    case 0x24: {  // Set Watchdog Timer
        if (d.size() < 6)
            return answer(cc::kRequestLength);
        bool keepRunning = wd.running && (d[0] & kWatchdogDontStop);
        wd.use = d[0];
        wd.actions = d[1];
        wd.preTimeout = d[2];
        wd.expirationFlags &= static_cast<uint8_t>(~d[3]);
        wd.initial = le16(d, 4);
        wd.configured = true;
        wd.expired = false;
        wd.running = keepRunning;
        wd.startedMs = clock.nowMs();
        return answer(cc::kOk);
    }
    default: {   // 0x25 Get Watchdog Timer
        WatchdogState s = watchdogState();
        Bytes out = answer(cc::kOk, {s.use, s.actions, s.preTimeoutInterval, s.expirationFlags});
        put16(out, s.initialCountdown);
        put16(out, s.presentCountdown);
        return out;
    }
    }
}

Bytes ControllerCore::i2cCommand(uint8_t cmd, const Bytes& d) {
    if (d.size() < 2)
        return answer(cc::kRequestLength);
    switch (cmd) {
    case 0x50:   // Master Write I2C: bus, address, data...
        return i2cTransfer(d[0], d[1], Bytes(d.begin() + 2, d.end()), 0, true);
    case 0x51:   // Master Read I2C: bus, address, count
        if (d.size() < 3)
            return answer(cc::kRequestLength);
        return i2cTransfer(d[0], d[1], {}, d[2], false);
    default:     // 0x52 Master Write-Read: bus, address, count, data...
        if (d.size() < 3)
            return answer(cc::kRequestLength);
        return i2cTransfer(d[0], d[1], Bytes(d.begin() + 3, d.end()), d[2], d.size() > 3);
    }
}

namespace {
constexpr size_t kEepromBlockBytes = 256;

// A 24C04..24C16 answers at 2, 4 or 8 slave addresses: bits 3..1 pick its 256-byte block.
template <typename Key>
I2cDevice* findI2cDevice(std::map<Key, I2cDevice>& devices, Key busBits, uint8_t address, size_t& block) {
    for (auto& [key, dev] : devices) {
        if ((key & ~Key{0xFF}) != busBits)
            continue;
        size_t blocks = dev.kind == I2cDevice::Kind::Eeprom ? std::max<size_t>(1, dev.memory.size() / kEepromBlockBytes) : 1;
        uint8_t span = static_cast<uint8_t>(((blocks - 1) << 1) & 0x0E);
        if (((address & 0xFE) & ~span) == (key & 0xFF)) {
            block = (address & span) >> 1;
            return &dev;
        }
    }
    return nullptr;
}
} // namespace

Bytes ControllerCore::i2cTransfer(uint8_t bus, uint8_t address, const Bytes& write, size_t readCount, bool doWrite) {
    if (readCount > kMaxI2cRead)
        return answer(cc::kOutOfRange);
    // bus byte: channel in the high nibble on later generations, bus id in bit 1..3, bit 0 private
    I2cDevice* found = nullptr;
    size_t block = 0;
    if (bus & 0x01)
        found = findI2cDevice(privateI2c, static_cast<uint16_t>(((bus >> 1) & 0x07) << 8), address, block);
    if (found == nullptr) {
        if ((bus & 0x0E) != 0)
            return answer(privateI2c.empty() ? cc::kI2cBusError : cc::kI2cAddressNak);
        found = findI2cDevice(i2c, uint8_t{0}, address, block);
        if (found == nullptr) {
            // a write-only transfer to a controller on the public bus is an IPMB request; one to
            // the general-call address 0 is a broadcast whose message names the responder
            const uint8_t responder = (address & 0xFE) == 0 && !write.empty() ? write[0] : address;
            if (!(bus & 0x01) && doWrite && readCount == 0 && ipmb.satellite(responder & 0xFE) != nullptr) {
                Bytes frame{static_cast<uint8_t>(address & 0xFE)};
                frame.insert(frame.end(), write.begin(), write.end());
                if (writeToIpmb(frame, kSmsBufferCapacity) == BusWrite::Delivered)
                    return answer(cc::kOk);
            }
            return answer(cc::kI2cAddressNak);
        }
    }
    I2cDevice& dev = *found;
    if (dev.kind == I2cDevice::Kind::PortExpander) {
        if (doWrite && !write.empty())
            dev.latch = write.back();
        Bytes out{cc::kOk};
        // a pin reads low when either the latch or the outside pulls it low
        out.insert(out.end(), readCount, static_cast<uint8_t>(dev.latch & dev.inputs));
        return out;
    }
    if (dev.memory.empty())
        return answer(cc::kI2cAddressNak);
    if (doWrite && !write.empty()) {
        dev.pointer = (block * kEepromBlockBytes + write[0]) % dev.memory.size();
        for (size_t i = 1; i < write.size(); ++i) {
            dev.memory[dev.pointer] = write[i];
            dev.pointer = (dev.pointer + 1) % dev.memory.size();
        }
    }
    Bytes out{cc::kOk};
    for (size_t i = 0; i < readCount; ++i) {
        out.push_back(dev.memory[dev.pointer]);
        dev.pointer = (dev.pointer + 1) % dev.memory.size();
    }
    return out;
}

} // namespace qv::sim
