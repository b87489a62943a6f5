#include <initializer_list>
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
    if (section.contains("structures")) {
        if (!section["structures"].is_array()) fail("structures", "must be an array");
        for (const auto& item : section["structures"]) inv.structures.push_back(readStructure(item));
    }
    return inv;
}

} // namespace qv::sim
