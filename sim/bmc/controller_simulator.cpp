#include "controller_simulator.h"

#include "device_server.h"
#include "simulator_state.h"

#include <mmcdev_payload.h>
#include <sandbox_path.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qv::sim {

// The facade's private part: state shared by all transports, and the thread serving them.
struct ControllerSimulator::Server {
    SimulatorState state;
    DeviceServer sockets{state};
};

ControllerSimulator::ControllerSimulator() : server_(std::make_unique<Server>()) {}

ControllerSimulator::~ControllerSimulator() { stop(); }

void ControllerSimulator::loadScenario(const nlohmann::json& scenario) {
    std::lock_guard lock(server_->state.mutex);
    server_->state.core.loadScenario(scenario);
}

nlohmann::json readScenarioFile(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read scenario " + path);
    return nlohmann::json::parse(in);
}

void ControllerSimulator::loadScenarioFile(const std::string& path) { loadScenario(readScenarioFile(path)); }

void ControllerSimulator::start() {
    std::string device = qv::sandboxPath(devsock::mmcdev::kDevicePath);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(device).parent_path(), ignored);
    server_->sockets.start(device, dummyPath_);
}

void ControllerSimulator::serveIpmiDummy(const std::string& socketPath) { dummyPath_ = socketPath; }

void ControllerSimulator::stop() { server_->sockets.stop(); }

bool ControllerSimulator::running() const { return server_->sockets.running(); }

#define QV_LOCKED std::lock_guard lock(server_->state.mutex)

void ControllerSimulator::failNextOpens(int count, int errnoValue) {
    QV_LOCKED;
    server_->state.faults.opens = count;
    server_->state.faults.openErrno = errnoValue;
}

void ControllerSimulator::failNextExchanges(int count, uint16_t retcode) {
    QV_LOCKED;
    server_->state.faults.exchanges = count;
    server_->state.faults.exchangeRetcode = retcode;
}

void ControllerSimulator::failNextIoctls(int count, int errnoValue) {
    QV_LOCKED;
    server_->state.faults.ioctls = count;
    server_->state.faults.ioctlErrno = errnoValue;
}

void ControllerSimulator::injectCompletionCode(uint8_t netfn, uint8_t cmd, uint8_t completionCode, int times) {
    QV_LOCKED;
    server_->state.faults.completionCodes[static_cast<uint16_t>(netfn << 8 | cmd)] = {completionCode, times};
}

void ControllerSimulator::injectAnswerFault(AnswerFault fault, int times) {
    QV_LOCKED;
    server_->state.faults.answerFault = fault;
    server_->state.faults.answerFaults = times;
}

void ControllerSimulator::silenceSatellite(uint8_t address, int times) {
    QV_LOCKED;
    server_->state.core.ipmb.faults.silent[address] = times;
}

void ControllerSimulator::injectIpmbFault(IpmbFault fault, int times) {
    QV_LOCKED;
    server_->state.core.ipmb.faults.fault = fault;
    server_->state.core.ipmb.faults.faultTimes = times;
}

void ControllerSimulator::injectSatelliteCompletionCode(uint8_t address, uint8_t netfn, uint8_t cmd,
                                                        uint8_t completionCode, int times) {
    QV_LOCKED;
    server_->state.core.ipmb.faults.completionCodes[ipmbFaultKey(address, netfn, cmd)] = {
        completionCode, times};
}

void ControllerSimulator::clearFaults() {
    QV_LOCKED;
    server_->state.faults = PendingFaults{};
    server_->state.core.ipmb.faults = IpmbFaults{};
}

namespace {
// The satellites keep the baseboard controller's time.
template <typename Change>
void changeClocks(ControllerCore& core, Change change) {
    change(core.clock);
    for (uint8_t address : core.ipmb.addresses())
        change(core.ipmb.satellite(address)->clock);
}
} // namespace

void ControllerSimulator::setClock(uint32_t seconds) {
    QV_LOCKED;
    changeClocks(server_->state.core, [seconds](SimClock& clock) { clock.set(seconds); });
}

void ControllerSimulator::advanceClock(uint32_t milliseconds) {
    QV_LOCKED;
    changeClocks(server_->state.core, [milliseconds](SimClock& clock) { clock.advance(milliseconds); });
    // The countdown acts at once, not at the next request.
    server_->state.core.watchdogState();
    server_->state.journalBusTraffic();
}

uint32_t ControllerSimulator::clockSeconds() const {
    QV_LOCKED;
    return server_->state.core.clock.nowSeconds();
}

std::vector<JournalEntry> ControllerSimulator::journal() const {
    QV_LOCKED;
    return server_->state.journal;
}

void ControllerSimulator::clearJournal() {
    QV_LOCKED;
    server_->state.journal.clear();
}

std::vector<uint8_t> ControllerSimulator::handleMessage(const std::vector<uint8_t>& message) {
    QV_LOCKED;
    Bytes frame = server_->state.core.handle(message, Dialect::DeviceNode);
    server_->state.journalBusTraffic();
    return frame;
}

namespace {
template <typename Entry>
std::vector<Entry> entriesOf(const RecordStore& store) {
    std::vector<Entry> out;
    for (const auto& [id, bytes] : store.records)
        out.push_back({id, bytes});
    return out;
}
} // namespace

std::vector<uint8_t> ControllerSimulator::satelliteAddresses() const {
    QV_LOCKED;
    return server_->state.core.ipmb.addresses();
}

std::vector<SdrEntry> ControllerSimulator::satelliteSdrEntries(uint8_t address) const {
    QV_LOCKED;
    const ControllerCore* satellite = server_->state.core.ipmb.satellite(address);
    return satellite ? entriesOf<SdrEntry>(satellite->sdr) : std::vector<SdrEntry>{};
}

std::vector<uint8_t> ControllerSimulator::satelliteFruData(uint8_t address) const {
    QV_LOCKED;
    const ControllerCore* satellite = server_->state.core.ipmb.satellite(address);
    return satellite ? satellite->fru : std::vector<uint8_t>{};
}

std::vector<SelEntry> ControllerSimulator::selEntries() const {
    QV_LOCKED;
    return entriesOf<SelEntry>(server_->state.core.sel);
}

std::vector<SdrEntry> ControllerSimulator::sdrEntries() const {
    QV_LOCKED;
    return entriesOf<SdrEntry>(server_->state.core.sdr);
}

std::vector<uint8_t> ControllerSimulator::fruData() const {
    QV_LOCKED;
    return server_->state.core.fru;
}

WatchdogState ControllerSimulator::watchdog() const {
    QV_LOCKED;
    WatchdogState state = server_->state.core.watchdogState();
    server_->state.journalBusTraffic();
    return state;
}

std::vector<WatchdogAction> ControllerSimulator::watchdogActions() const {
    QV_LOCKED;
    server_->state.core.watchdogState();
    server_->state.journalBusTraffic();
    return server_->state.core.watchdogActions;
}

void ControllerSimulator::setWatchdogFlags(uint8_t flags) {
    QV_LOCKED;
    server_->state.core.wd.expirationFlags = flags;
}

std::optional<uint8_t> ControllerSimulator::expanderLatch(uint8_t slaveAddress) const {
    QV_LOCKED;
    const auto& devices = server_->state.core.i2c;
    auto it = devices.find(slaveAddress & 0xFE);
    if (it == devices.end() || it->second.kind != I2cDevice::Kind::PortExpander)
        return std::nullopt;
    return it->second.latch;
}

void ControllerSimulator::setExpanderInputs(uint8_t slaveAddress, uint8_t pins) {
    QV_LOCKED;
    I2cDevice& dev = server_->state.core.i2c[slaveAddress & 0xFE];
    dev.kind = I2cDevice::Kind::PortExpander;
    dev.inputs = pins;
}

std::vector<uint8_t> ControllerSimulator::eepromBytes(uint8_t slaveAddress) const {
    QV_LOCKED;
    const auto& devices = server_->state.core.i2c;
    auto it = devices.find(slaveAddress & 0xFE);
    return it == devices.end() ? std::vector<uint8_t>{} : it->second.memory;
}

FirmwareState ControllerSimulator::firmware() const {
    QV_LOCKED;
    return server_->state.core.flash;
}

uint8_t ControllerSimulator::port(int number) const {
    if (number < 1 || number > 3)
        throw std::out_of_range("driver ports are 1 to 3");
    QV_LOCKED;
    return server_->state.core.readPort(number);
}

void ControllerSimulator::setPort(int number, uint8_t value) {
    if (number < 1 || number > 3)
        throw std::out_of_range("driver ports are 1 to 3");
    QV_LOCKED;
    server_->state.core.writePort(number, value);
}

void ControllerSimulator::queueSmsMessage(const std::vector<uint8_t>& message) {
    QV_LOCKED;
    server_->state.core.smsQueue.push_back(message);
}

void ControllerSimulator::queueSmmMessage(const std::vector<uint8_t>& message) {
    QV_LOCKED;
    server_->state.core.smmQueue.push_back(message);
}

#undef QV_LOCKED

} // namespace qv::sim
