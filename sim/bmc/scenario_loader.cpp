// The "bmc" section of a scenario turned into controller state.
#include "controller_core.h"
#include "record_encoders.h"

#include <stdexcept>

namespace qv::sim {

namespace {
using json = nlohmann::json;

template <typename T>
void setIf(const json& j, const char* key, T& target) {
    if (j.contains(key))
        target = static_cast<T>(numberFromJson(j.at(key)));
}

void loadI2cDevice(const json& j, std::map<uint8_t, I2cDevice>& devices, std::map<uint16_t, I2cDevice>& privateDevices) {
    I2cDevice dev;
    std::string kind = j.value("kind", std::string("pcf8574"));
    uint8_t address = static_cast<uint8_t>(numberFromJson(j.at("address")) & 0xFE);
    if (kind == "pcf8574") {
        dev.kind = I2cDevice::Kind::PortExpander;
        setIf(j, "inputs", dev.inputs);
        setIf(j, "latch", dev.latch);
    } else if (kind == "eeprom") {
        dev.kind = I2cDevice::Kind::Eeprom;
        size_t size = j.value("size", static_cast<size_t>(256));
        if (size == 0 || size > 0x10000)
            throw std::invalid_argument("EEPROM size out of range");
        dev.memory.assign(size, 0xFF);
        if (j.contains("bytes") || j.contains("fru")) {
            auto bytes = j.contains("fru") ? encodeFru(j["fru"]) : bytesFromJson(j["bytes"]);
            if (bytes.size() > size)
                throw std::invalid_argument("EEPROM contents larger than the device");
            std::copy(bytes.begin(), bytes.end(), dev.memory.begin());
        }
    } else {
        throw std::invalid_argument("unknown I2C device kind " + kind);
    }
    if (j.contains("privateBus")) {
        uint32_t bus = numberFromJson(j["privateBus"]);
        if (bus > 7)
            throw std::invalid_argument("private bus id must be 0..7");
        privateDevices[static_cast<uint16_t>(bus << 8 | address)] = std::move(dev);
    } else {
        devices[address] = std::move(dev);
    }
}

constexpr uint8_t kOwnAddress = 0x20;
constexpr uint32_t kSelRecordBytes = 16;
} // namespace

void ControllerCore::loadScenario(const json& scenario) {
    const json& j = scenario.contains("bmc") ? scenario.at("bmc") : scenario;
    reset();
    std::string version = j.value("ipmiVersion", std::string("1.0"));
    if (version != "1.0" && version != "0.9")
        throw std::invalid_argument("ipmiVersion must be \"1.0\" or \"0.9\"");
    ipmi10 = version == "1.0";
    ipmiVersionByte = ipmi10 ? 0x01 : 0x90;
    uint8_t recordVersion = ipmi10 ? 0x01 : 0x90;
    if (j.contains("device")) {
        const json& d = j["device"];
        setIf(d, "id", deviceId);
        setIf(d, "revision", deviceRevision);
        setIf(d, "firmwareMajor", firmwareMajor);
        setIf(d, "firmwareMinor", firmwareMinor);
        setIf(d, "versionByte", ipmiVersionByte);
        setIf(d, "support", deviceSupport);
        setIf(d, "manufacturer", manufacturerId);
        setIf(d, "product", productId);
        firmwareBusy = d.value("busy", false);
    }
    if (j.contains("selfTest"))
        selfTest = bytesFromJson(j["selfTest"]);
    selfTest.resize(2, 0x00);
    setIf(j, "sdrRecordVersion", recordVersion);
    for (const auto& r : j.value("sdr", json::array())) {
        uint8_t version = recordVersion;
        setIf(r, "sdrVersion", version);   // a repository may mix generations
        sdr.add(encodeSdr(r, version));
    }
    sensorsFromSdr();
    for (const auto& s : j.value("sensors", json::array())) {
        Sensor& sensor = sensors[static_cast<uint8_t>(numberFromJson(s.at("number")))];
        setIf(s, "reading", sensor.reading);
        if (s.contains("status"))
            sensor.statusOverride = static_cast<uint8_t>(numberFromJson(s["status"]));
        sensor.unavailable = s.value("unavailable", false);
        if (!s.value("scanning", true))
            sensor.eventFlags &= static_cast<uint8_t>(~0x40);
    }
    if (j.contains("selCapacity")) {
        uint32_t records = numberFromJson(j["selCapacity"]);
        if (records > 0xFFFF / kSelRecordBytes)
            throw std::invalid_argument("selCapacity out of range");
        sel.capacityBytes = static_cast<uint16_t>(records * kSelRecordBytes);
    }
    sel.idsRestartAfterClear = j.value("selIdsRestartAfterClear", false);
    for (const auto& e : j.value("sel", json::array()))
        sel.add(encodeSelEntry(e));
    if (j.contains("fru")) {
        fru = encodeFru(j["fru"]);
        fruAccess = j["fru"].value("wordAccess", false) ? 0x01 : 0x00;
    }
    for (const auto& dev : j.value("i2c", json::array()))
        loadI2cDevice(dev, i2c, privateI2c);
    loadSatellites(j.value("satellites", json::array()));
    std::string absent = j.value("ipmbAbsent", std::string("nak"));
    if (absent != "nak" && absent != "ignore")
        throw std::invalid_argument("ipmbAbsent must be \"nak\" or \"ignore\"");
    ipmb.nakAbsent = absent == "nak";
    if (j.contains("ports")) {
        auto p = bytesFromJson(j["ports"]);
        for (size_t i = 0; i < p.size() && i < ports.size(); ++i)
            ports[i] = p[i];
    }
    if (j.contains("flash")) {
        const json& f = j["flash"];
        size_t size = f.value("size", static_cast<size_t>(0x10000));
        if (size == 0 || size > 0x1000000)
            throw std::invalid_argument("flash size out of range");
        flash.flash.assign(size, static_cast<uint8_t>(f.value("fill", 0xFF)));
    }
    if (j.contains("watchdog")) {
        const json& w = j["watchdog"];
        setIf(w, "use", wd.use);
        setIf(w, "actions", wd.actions);
        setIf(w, "initialCountdown", wd.initial);
        wd.configured = w.contains("initialCountdown");
        if (w.value("running", false) && wd.initial > 0) {
            wd.running = true;
            wd.startedMs = clock.nowMs();
        }
    }
    if (j.contains("driver")) {
        const json& d = j["driver"];
        driver.name = d.value("name", driver.name).substr(0, 6);
        driver.letter = d.value("letter", std::string(1, driver.letter)).c_str()[0];
        setIf(d, "major", driver.major);
        setIf(d, "minor", driver.minor);
    }
    if (j.contains("clock"))
        clock.set(numberFromJson(j["clock"]));
    sel.addTime = sdr.addTime = clock.nowSeconds();
    // the raw value as the controller keeps it: 0 and 0xFFFFFFFF both mean "never" to some
    setIf(j, "selEraseTime", sel.eraseTime);
    for (uint8_t address : ipmb.addresses())
        ipmb.satellite(address)->clock = clock;
}

// Each satellite is described like the baseboard controller, plus its slave address and whether
// it stays silent on the bus.
void ControllerCore::loadSatellites(const json& list) {
    for (const auto& s : list) {
        uint32_t address = numberFromJson(s.at("address"));
        if (address == 0 || address > 0xFE || (address & 1) || address == kOwnAddress)
            throw std::invalid_argument("satellite address must be an even slave address other than 0x20");
        if (ipmb.satellite(static_cast<uint8_t>(address)) != nullptr)
            throw std::invalid_argument("two satellites at one address");
        if (s.contains("satellites"))
            throw std::invalid_argument("satellites cannot carry satellites");
        auto satellite = std::make_unique<ControllerCore>();
        satellite->loadScenario(s);
        ipmb.addSatellite(static_cast<uint8_t>(address), std::move(satellite), s.value("silent", false));
    }
}

} // namespace qv::sim
