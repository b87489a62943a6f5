#include <initializer_list>
#include <limits>
#include <stdexcept>
#include <utility>
#include <string>

#include <nlohmann/json.hpp>

#include "bios_image.h"

namespace qv::sim {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& key, const std::string& what)
{
    throw std::invalid_argument("bios section: \"" + key + "\" " + what);
}

void readString(const json& obj, const char* key, std::string& out)
{
    if (!obj.contains(key)) return;
    if (!obj[key].is_string()) fail(key, "must be a string");
    out = obj[key].get<std::string>();
}

uint8_t toByte(const json& value, const std::string& key)
{
    if (!value.is_number_integer()) fail(key, "must be an integer from 0 to 255");
    const auto n = value.get<long long>();
    if (n < 0 || n > 255) fail(key, "must be an integer from 0 to 255");
    return static_cast<uint8_t>(n);
}

// Reads the text fields of one optional structure; null leaves the structure out.
template <typename Info>
const json* readTexts(const json& obj, const char* key, std::optional<Info>& out,
                      std::initializer_list<std::pair<const char*, std::string Info::*>> fields)
{
    if (!obj.contains(key)) return nullptr;
    if (obj[key].is_null()) {
        out.reset();
        return nullptr;
    }
    if (!obj[key].is_object()) fail(key, "must be an object or null");
    if (!out) out.emplace();
    for (const auto& [name, member] : fields) readString(obj[key], name, (*out).*member);
    return &obj[key];
}

void readBiosInfo(const json& obj, std::optional<BiosInfo>& out)
{
    const json* section = readTexts<BiosInfo>(obj, "biosInfo", out,
                                              {{"vendor", &BiosInfo::vendor},
                                               {"version", &BiosInfo::version},
                                               {"releaseDate", &BiosInfo::releaseDate}});
    if (!section || !section->contains("characteristics")) return;
    const json& value = (*section)["characteristics"];
    if (!value.is_number_integer() || (!value.is_number_unsigned() && value.get<long long>() < 0))
        fail("characteristics", "must be a non-negative integer");
    out->characteristics = value.get<uint64_t>();
}

void readSystemInfo(const json& obj, std::optional<SystemInfo>& out)
{
    readTexts<SystemInfo>(obj, "systemInfo", out,
                          {{"manufacturer", &SystemInfo::manufacturer},
                           {"product", &SystemInfo::product},
                           {"version", &SystemInfo::version},
                           {"serial", &SystemInfo::serial}});
}

DmiStructure readStructure(const json& item)
{
    if (!item.is_object()) fail("structures", "entries must be objects");
    if (!item.contains("type")) fail("structures", "entries need a \"type\"");
    DmiStructure s;
    s.type = toByte(item["type"], "type");
    if (item.contains("data")) {
        if (!item["data"].is_array()) fail("data", "must be an array of bytes");
        for (const auto& b : item["data"]) s.data.push_back(toByte(b, "data"));
    }
    if (item.contains("strings")) {
        if (!item["strings"].is_array()) fail("strings", "must be an array of strings");
        for (const auto& text : item["strings"]) {
            if (!text.is_string()) fail("strings", "must be an array of strings");
            s.strings.push_back(text.get<std::string>());
        }
    }
    return s;
}

// An unsigned number, as a JSON integer or a "0x" hexadecimal text.
uint64_t toUnsigned(const json& value, const std::string& key, uint64_t max)
{
    const std::string range = "must be an integer from 0 to " + std::to_string(max);
    uint64_t n = 0;
    if (value.is_number_unsigned()) {
        n = value.get<uint64_t>();
    } else if (value.is_string()) {
        const auto text = value.get<std::string>();
        if (text.size() < 3 || text.size() > 18 || text.compare(0, 2, "0x") != 0 ||
            text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
            fail(key, range);
        n = std::stoull(text.substr(2), nullptr, 16);
    } else {
        fail(key, range);
    }
    if (n > max) fail(key, range);
    return n;
}

void readField(const json& obj, const char* key, std::string& out) { readString(obj, key, out); }

template <typename Number>
void readField(const json& obj, const char* key, Number& out)
{
    if (obj.contains(key)) out = static_cast<Number>(toUnsigned(obj[key], key, std::numeric_limits<Number>::max()));
}

template <typename Number>
void readField(const json& obj, const char* key, std::optional<Number>& out)
{
    if (!obj.contains(key) || obj[key].is_null()) return;
    out = static_cast<Number>(toUnsigned(obj[key], key, std::numeric_limits<Number>::max()));
}

template <typename Item>
void readArray(const json& obj, const char* key, std::vector<Item>& out, void (*readItem)(const json&, Item&))
{
    if (!obj.contains(key)) return;
    if (!obj[key].is_array()) fail(key, "must be an array");
    for (const auto& entry : obj[key]) {
        if (!entry.is_object()) fail(key, "entries must be objects");
        readItem(entry, out.emplace_back());
    }
}

// An object that is null or absent leaves `out` empty.
template <typename Item>
void readOptional(const json& obj, const char* key, std::optional<Item>& out, void (*readItem)(const json&, Item&))
{
    if (!obj.contains(key) || obj[key].is_null()) return;
    if (!obj[key].is_object()) fail(key, "must be an object or null");
    readItem(obj[key], out.emplace());
}

// A text chosen from `names`, whose position is the value.
template <typename Enum>
void readChoice(const json& obj, const char* key, Enum& out, std::initializer_list<std::pair<const char*, Enum>> names)
{
    if (!obj.contains(key)) return;
    for (const auto& [name, value] : names)
        if (obj[key] == name) {
            out = value;
            return;
        }
    fail(key, "has an unknown value");
}

void readAddOnBios(const json& o, AddOnBios& b)
{
    readChoice(o, "kind", b.kind, {{"scsi", AddOnBiosKind::Scsi}, {"video", AddOnBiosKind::Video}});
    readField(o, "vendor", b.vendor);
    readField(o, "version", b.version);
    readField(o, "releaseDate", b.releaseDate);
}

void readProcessor(const json& o, ProcessorInfo& p)
{
    readField(o, "socket", p.socket);
    readField(o, "type", p.type);
    readField(o, "family", p.family);
    readField(o, "manufacturer", p.manufacturer);
    readField(o, "id", p.id);
    readField(o, "version", p.version);
    readField(o, "voltage", p.voltage);
    readField(o, "externalClock", p.externalClock);
    readField(o, "maxSpeed", p.maxSpeed);
    readField(o, "currentSpeed", p.currentSpeed);
    readField(o, "status", p.status);
    readField(o, "upgrade", p.upgrade);
}

void readMemoryController(const json& o, MemoryControllerInfo& c)
{
    readField(o, "errorDetection", c.errorDetection);
    readField(o, "eccCapabilities", c.eccCapabilities);
    readField(o, "supportedInterleave", c.supportedInterleave);
    readField(o, "currentInterleave", c.currentInterleave);
    readField(o, "maxModuleSizeExponent", c.maxModuleSizeExponent);
    readField(o, "supportedSpeeds", c.supportedSpeeds);
    readField(o, "supportedTypes", c.supportedTypes);
    readField(o, "voltages", c.voltages);
    readField(o, "enabledEcc", c.enabledEcc);
}

void readMemoryModule(const json& o, MemoryModuleInfo& m)
{
    readField(o, "socket", m.socket);
    readField(o, "bankConnections", m.bankConnections);
    readField(o, "speedNs", m.speedNs);
    readField(o, "type", m.type);
    readField(o, "installedSize", m.installedSize);
    readField(o, "enabledSize", m.enabledSize);
    readField(o, "errorStatus", m.errorStatus);
}

void readSlot(const json& o, SystemSlotInfo& s)
{
    readField(o, "designation", s.designation);
    readField(o, "type", s.type);
    readField(o, "width", s.width);
    readField(o, "usage", s.usage);
    readField(o, "length", s.length);
    readField(o, "id", s.id);
}

void readPort(const json& o, PortInfo& p)
{
    if (!o.contains("kind")) fail("ports", "entries need a \"kind\"");
    readChoice(o, "kind", p.kind, {{"serial", PortKind::Serial}, {"parallel", PortKind::Parallel}});
    readField(o, "designation", p.designation);
    readField(o, "connectorType", p.connectorType);
    readField(o, "portType", p.portType);
    readField(o, "irq", p.irq);
    readField(o, "baseAddress", p.baseAddress);
    if (p.irq > 0xF) fail("irq", "must be an integer from 0 to 15");
    if (p.baseAddress > 0xFFF) fail("baseAddress", "must be an integer from 0 to 4095");
}

void readOem(const json& o, OemInfo& oem)
{
    readField(o, "flags", oem.flags);
    if (!o.contains("extraStrings")) return;
    if (!o["extraStrings"].is_array()) fail("extraStrings", "must be an array of strings");
    for (const auto& text : o["extraStrings"]) {
        if (!text.is_string() || text.get<std::string>().empty())
            fail("extraStrings", "must be an array of non-empty strings");
        oem.extraStrings.push_back(text.get<std::string>());
    }
}

void readPirEntry(const json& o, PirEntry& e)
{
    readField(o, "bus", e.bus);
    readField(o, "device", e.device);
    readField(o, "slot", e.slot);
    readField(o, "irqBitmap", e.irqBitmap);
    if (e.device > 31) fail("device", "must be an integer from 0 to 31");
    if (!o.contains("links")) return;
    if (!o["links"].is_array() || o["links"].size() != 4) fail("links", "must be an array of 4 bytes");
    for (std::size_t pin = 0; pin < 4; ++pin) e.links[pin] = toByte(o["links"][pin], "links");
}

void readPir(const json& o, PirTable& t)
{
    readField(o, "routerBus", t.routerBus);
    readField(o, "routerDevFn", t.routerDevFn);
    readField(o, "exclusiveIrqs", t.exclusiveIrqs);
    readField(o, "compatibleRouter", t.compatibleRouter);
    readArray(o, "entries", t.entries, readPirEntry);
}

void readCmos(const json& o, CmosInfo& c)
{
    readField(o, "floppy0Type", c.floppy0Type);
    readField(o, "floppy1Type", c.floppy1Type);
    if (c.floppy0Type > 0xF || c.floppy1Type > 0xF) fail("cmos", "floppy types must be 0 to 15");
}

void readInventoryParts(const json& section, BiosInventory& inv)
{
    readArray(section, "addOnBioses", inv.addOnBioses, readAddOnBios);
    readArray(section, "processors", inv.processors, readProcessor);
    readOptional(section, "memoryController", inv.memoryController, readMemoryController);
    readArray(section, "memoryModules", inv.memoryModules, readMemoryModule);
    readArray(section, "slots", inv.slots, readSlot);
    readArray(section, "ports", inv.ports, readPort);
    readOptional(section, "oem", inv.oem, readOem);
    readOptional(section, "pir", inv.pir, readPir);
    readOptional(section, "cmos", inv.cmos, readCmos);
}

} // namespace

BiosInventory parseBiosInventory(const json& section)
{
    if (!section.is_object()) throw std::invalid_argument("bios section must be an object");
    BiosInventory inv;
    if (section.contains("format")) {
        const auto& name = section["format"];
        const auto format = name.is_string() ? dmiFormatFromName(name.get<std::string>()) : std::nullopt;
        if (!format) fail("format", "must be \"smbios21\", \"dmi20\" or \"dmi10\"");
        inv.format = *format;
    }
    if (section.contains("modelCode") && !section["modelCode"].is_null())
        inv.modelCode = toByte(section["modelCode"], "modelCode");
    readBiosInfo(section, inv.biosInfo);
    readSystemInfo(section, inv.systemInfo);
    readInventoryParts(section, inv);
    if (section.contains("structures")) {
        if (!section["structures"].is_array()) fail("structures", "must be an array");
        for (const auto& item : section["structures"]) inv.structures.push_back(readStructure(item));
    }
    return inv;
}

} // namespace qv::sim
