#include "record_encoders.h"

#include <stdexcept>
#include <utility>
#include <string>

namespace qv::sim {

namespace {
using json = nlohmann::json;
constexpr size_t kMaxIdString = 16;
constexpr uint8_t kAsciiTypeLength = 0xC0;   // 8-bit ASCII+Latin1 with its length in bits 5:0
constexpr uint8_t kEndOfFields = 0xC1;

uint8_t byteAt(const json& j, const char* key, uint8_t fallback) {
    return j.contains(key) ? static_cast<uint8_t>(numberFromJson(j.at(key))) : fallback;
}

int signedAt(const json& j, const char* key, int fallback) {
    return j.contains(key) ? static_cast<int32_t>(numberFromJson(j.at(key))) : fallback;
}

void appendIdString(std::vector<uint8_t>& out, const json& j) {
    std::string name = j.value("name", std::string());
    if (name.size() > kMaxIdString)
        throw std::invalid_argument("SDR name longer than 16 characters: " + name);
    out.push_back(static_cast<uint8_t>(kAsciiTypeLength | name.size()));
    out.insert(out.end(), name.begin(), name.end());
}

std::vector<uint8_t> header(const json& j, uint8_t type, uint8_t version) {
    uint16_t id = static_cast<uint16_t>(j.contains("id") ? numberFromJson(j["id"]) : 0);
    return {static_cast<uint8_t>(id & 0xFF), static_cast<uint8_t>(id >> 8), version, type, 0};
}

bool isVersion09(uint8_t version) { return version == 0x10 || version == 0x90; }

uint8_t thresholdMask(const json& t) {
    uint8_t mask = 0;
    static const char* names[6] = {"lnc", "lc", "lnr", "unc", "uc", "unr"};
    for (int i = 0; i < 6; ++i)
        if (t.contains(names[i]))
            mask |= static_cast<uint8_t>(1u << i);
    return mask;
}

// Conversion factors M, M/tolerance, B, B/accuracy, accuracy, R/B exponents; M and B are
// 10-bit two's-complement numbers whose top bits sit in bits 7:6 of the following byte.
std::vector<uint8_t> factors(const json& j) {
    int m = signedAt(j, "m", 1), b = signedAt(j, "b", 0);
    int rexp = j.value("rExp", 0), bexp = j.value("bExp", 0);
    return {static_cast<uint8_t>(m & 0xFF), static_cast<uint8_t>(((m >> 8) & 0x03) << 6),
            static_cast<uint8_t>(b & 0xFF), static_cast<uint8_t>(((b >> 8) & 0x03) << 6), 0x00,
            static_cast<uint8_t>(((rexp & 0x0F) << 4) | (bexp & 0x0F))};
}

// Nominal, normal max/min, sensor max/min, thresholds UNR..LNC, hysteresis.
std::vector<uint8_t> readingRange(const json& j) {
    const json t = j.value("thresholds", json::object());
    return {byteAt(j, "nominal", 0), byteAt(j, "normalMax", 0xFF), byteAt(j, "normalMin", 0),
            byteAt(j, "max", 0xFF), byteAt(j, "min", 0),
            byteAt(t, "unr", 0), byteAt(t, "uc", 0), byteAt(t, "unc", 0),
            byteAt(t, "lnr", 0), byteAt(t, "lc", 0), byteAt(t, "lnc", 0)};
}

void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

std::vector<uint8_t> fullSensor(const json& j, uint8_t version) {
    auto r = header(j, 0x01, version);
    const json t = j.value("thresholds", json::object());
    uint8_t readable = byteAt(j, "readable", thresholdMask(t));
    uint8_t settable = byteAt(j, "settable", readable);
    auto range = readingRange(j);
    if (isVersion09(version)) {
        // earlier layout: confirmation ids after the number, masks ahead of the thresholds
        append(r, {byteAt(j, "owner", 0x20), byteAt(j, "lun", 0), byteAt(j, "number", 0), 0x00, 0x00, 0x00,
                   0x7F, byteAt(j, "capabilities", readable ? 0x60 : 0x40),   // bits 5:4 threshold access
                   byteAt(j, "sensorType", 0x01), byteAt(j, "readingType", 0x01),
                   0x95, 0x0A, 0x00, 0x00,
                   byteAt(j, "units1", 0x00), byteAt(j, "unit", 0x01), 0x00, byteAt(j, "linearization", 0)});
        append(r, factors(j));
        r.push_back(0x07);
        append(r, std::vector<uint8_t>(range.begin(), range.begin() + 5));
        append(r, {readable, settable});
        append(r, std::vector<uint8_t>(range.begin() + 5, range.end()));
        append(r, {byteAt(j, "hysteresisPositive", 2), byteAt(j, "hysteresisNegative", 2), 0x00,
                   byteAt(j, "entity", 0x07)});
        appendIdString(r, j);
        return r;
    }
    append(r, {byteAt(j, "owner", 0x20), byteAt(j, "lun", 0), byteAt(j, "number", 0),
               byteAt(j, "entity", 0x07), byteAt(j, "instance", 1),
               0x7F,                       // initialisation: scanning, events, thresholds, hysteresis, type
               0x68,                       // capabilities: auto re-arm, readable/settable thresholds
               byteAt(j, "sensorType", 0x01), byteAt(j, "readingType", 0x01),
               0x95, 0x0A, 0x95, 0x0A,    // assertion and deassertion masks: going-high/low non-critical, critical
               readable, settable,         // readable and settable thresholds
               byteAt(j, "units1", 0x00), byteAt(j, "unit", 0x01), 0x00, byteAt(j, "linearization", 0)});
    append(r, factors(j));
    r.push_back(0x07);                      // nominal, normal max and min given
    append(r, range);
    append(r, {byteAt(j, "hysteresisPositive", 2), byteAt(j, "hysteresisNegative", 2),
               0x00, 0x00, 0x00});          // reserved, OEM
    appendIdString(r, j);
    return r;
}

// Record sharing: share count and modifier type, then entity sharing and the modifier offset.
std::pair<uint8_t, uint8_t> sharing(const json& j) {
    uint32_t count = j.value("shareCount", 1u);
    uint32_t offset = j.value("modifierOffset", 0u);
    if (count == 0 || count > 15 || offset > 127)
        throw std::invalid_argument("share count must be 1..15 and the modifier offset 0..127");
    bool alpha = j.value("modifier", std::string("numeric")) == "alpha";
    return {static_cast<uint8_t>((alpha ? 0x10 : 0x00) | count),
            static_cast<uint8_t>((j.value("entityShared", false) ? 0x80 : 0x00) | offset)};
}

// A discrete sensor (no analog reading), possibly standing for several alike.
std::vector<uint8_t> compactSensor(const json& j, uint8_t version) {
    auto r = header(j, 0x02, version);
    auto [share1, share2] = sharing(j);
    uint16_t mask = static_cast<uint16_t>(j.contains("stateMask") ? numberFromJson(j["stateMask"]) : 0x7FFF);
    uint8_t maskLo = static_cast<uint8_t>(mask), maskHi = static_cast<uint8_t>(mask >> 8);
    if (isVersion09(version)) {
        append(r, {byteAt(j, "owner", 0x20), byteAt(j, "lun", 0), byteAt(j, "number", 0), 0x00, 0x00, 0x00,
                   0x63, 0x40, share1, share2,
                   byteAt(j, "sensorType", 0x08), byteAt(j, "readingType", 0x02),
                   maskLo, maskHi, maskLo, maskHi, 0xC0, 0x00, 0x00, 0x00, byteAt(j, "entity", 0x07)});
    } else {
        append(r, {byteAt(j, "owner", 0x20), byteAt(j, "lun", 0), byteAt(j, "number", 0),
                   byteAt(j, "entity", 0x07), byteAt(j, "instance", 1), 0x63, 0x40,
                   byteAt(j, "sensorType", 0x08), byteAt(j, "readingType", 0x6F),
                   maskLo, maskHi, maskLo, maskHi, maskLo, maskHi,
                   0xC0, 0x00, 0x00,       // no analog reading
                   share1, share2, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    }
    appendIdString(r, j);
    return r;
}

// The earlier generation's one locator type: location 0 is a controller on the IPMB, any other
// a device behind one (bus id for private buses, type 0 an inventory area, 8..0x0C EEPROMs).
std::vector<uint8_t> deviceLocator09(const json& j, uint8_t version, bool controller) {
    auto r = header(j, 0x10, version);
    append(r, {byteAt(j, "address", 0x20), byteAt(j, "privateBus", 0), 0x00, 0x00, 0x00,
               byteAt(j, "deviceType", 0x00), byteAt(j, "deviceModifier", 0),
               static_cast<uint8_t>(controller ? 0x00 : byteAt(j, "location", 0x01)), 0x00, 0x00});
    appendIdString(r, j);
    return r;
}

std::vector<uint8_t> fruLocator(const json& j, uint8_t version) {
    if (isVersion09(version))
        return deviceLocator09(j, version, false);
    auto r = header(j, 0x11, version);
    std::vector<uint8_t> body = {
        byteAt(j, "address", 0x20), byteAt(j, "fruId", 0),
        byteAt(j, "access", 0x80),  // default: logical FRU device, LUN 0, private bus 0
        0x00, 0x00,                 // channel, reserved
        byteAt(j, "deviceType", 0x10), byteAt(j, "deviceModifier", 0),
        byteAt(j, "entity", 0x07), byteAt(j, "instance", 1), 0x00,
    };
    r.insert(r.end(), body.begin(), body.end());
    appendIdString(r, j);
    return r;
}

// Version 1.0 has no channel byte: power state and capabilities follow the address directly,
// and four reserved bytes keep the entity where the later layout has it.
std::vector<uint8_t> controllerLocator(const json& j, uint8_t version) {
    if (isVersion09(version))
        return deviceLocator09(j, version, true);
    auto r = header(j, 0x12, version);
    const uint8_t address = byteAt(j, "address", 0x20), capabilities = byteAt(j, "capabilities", 0x2F);
    if (version == 0x01)
        append(r, {address, 0x00, capabilities, 0x00, 0x00, 0x00, 0x00});
    else
        append(r, {address, 0x00, 0x00, capabilities, 0x00, 0x00, 0x00});
    append(r, {byteAt(j, "entity", 0x06), byteAt(j, "instance", 1), 0x00});
    appendIdString(r, j);
    return r;
}

uint8_t zeroChecksum(const std::vector<uint8_t>& bytes, size_t from) {
    uint8_t sum = 0;
    for (size_t i = from; i < bytes.size(); ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(-sum);
}

void appendField(std::vector<uint8_t>& area, const std::string& text) {
    if (text.size() > 63)
        throw std::invalid_argument("FRU field longer than 63 bytes: " + text);
    area.push_back(static_cast<uint8_t>(kAsciiTypeLength | text.size()));
    area.insert(area.end(), text.begin(), text.end());
}

// An area: version 1, length in 8-byte units, the fixed bytes, typed fields, end marker,
// padding and a checksum that makes the area sum to zero.
std::vector<uint8_t> area(const std::vector<uint8_t>& fixed, const json& j, const std::vector<const char*>& fields) {
    std::vector<uint8_t> a{0x01, 0x00};
    a.insert(a.end(), fixed.begin(), fixed.end());
    for (const char* f : fields)
        appendField(a, j.value(f, std::string()));
    a.push_back(kEndOfFields);
    while ((a.size() + 1) % 8 != 0)
        a.push_back(0x00);
    a[1] = static_cast<uint8_t>((a.size() + 1) / 8);
    a.push_back(zeroChecksum(a, 0));
    return a;
}
} // namespace

uint32_t numberFromJson(const json& value) {
    if (value.is_number_unsigned() || value.is_number_integer())
        return static_cast<uint32_t>(value.get<int64_t>());
    if (value.is_string())
        return static_cast<uint32_t>(std::stoul(value.get<std::string>(), nullptr, 0));
    throw std::invalid_argument("not a number: " + value.dump());
}

std::vector<uint8_t> bytesFromJson(const json& value) {
    std::vector<uint8_t> out;
    if (value.is_array()) {
        for (const auto& v : value)
            out.push_back(static_cast<uint8_t>(numberFromJson(v)));
        return out;
    }
    std::string hex;
    for (char c : value.get<std::string>())
        if (!isspace(static_cast<unsigned char>(c)))
            hex.push_back(c);
    if (hex.size() % 2 != 0)
        throw std::invalid_argument("odd number of hex digits");
    for (size_t i = 0; i < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<uint8_t> encodeSdr(const json& record, uint8_t sdrVersion) {
    std::vector<uint8_t> r;
    std::string kind = record.value("kind", std::string("raw"));
    if (kind == "raw") {
        r = bytesFromJson(record.at("bytes"));
        if (r.size() < 5 || r.size() != static_cast<size_t>(r[4]) + 5)
            throw std::invalid_argument("raw SDR whose length byte does not match");
        return r;
    }
    if (kind == "full")
        r = fullSensor(record, sdrVersion);
    else if (kind == "fruLocator")
        r = fruLocator(record, sdrVersion);
    else if (kind == "compact")
        r = compactSensor(record, sdrVersion);
    else if (kind == "controllerLocator")
        r = controllerLocator(record, sdrVersion);
    else
        throw std::invalid_argument("unknown SDR kind " + kind);
    r[4] = static_cast<uint8_t>(r.size() - 5);
    return r;
}

// Multi-record area: each record a 5-byte header (type, format 2 with end-of-list on the last,
// length, data checksum, header checksum) and its data.
std::vector<uint8_t> multiRecordArea(const json& list) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < list.size(); ++i) {
        std::vector<uint8_t> data = bytesFromJson(list[i].at("data"));
        if (data.size() > 255)
            throw std::invalid_argument("FRU multi-record longer than 255 bytes");
        bool last = i + 1 == list.size();
        std::vector<uint8_t> header{byteAt(list[i], "type", 0xC0), static_cast<uint8_t>(last ? 0x82 : 0x02),
                                    static_cast<uint8_t>(data.size()), zeroChecksum(data, 0)};
        header.push_back(zeroChecksum(header, 0));
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

std::vector<uint8_t> encodeFru(const json& fru) {
    if (fru.contains("bytes"))
        return bytesFromJson(fru["bytes"]);
    std::vector<std::vector<uint8_t>> areas(3);
    if (fru.contains("chassis"))
        areas[0] = area({byteAt(fru["chassis"], "type", 0x17)}, fru["chassis"], {"partNumber", "serialNumber"});
    if (fru.contains("board")) {
        // English; manufacturing time in minutes since 1996-01-01 00:00 UTC, 0 meaning unspecified
        uint32_t minutes = fru["board"].contains("mfgMinutes") ? numberFromJson(fru["board"]["mfgMinutes"]) : 0;
        if (minutes > 0xFFFFFF)
            throw std::invalid_argument("FRU manufacturing time beyond 3 bytes");
        areas[1] = area({0x19, static_cast<uint8_t>(minutes), static_cast<uint8_t>(minutes >> 8),
                         static_cast<uint8_t>(minutes >> 16)},
                        fru["board"], {"manufacturer", "productName", "serialNumber", "partNumber", "fruFileId"});
    }
    if (fru.contains("product"))
        areas[2] = area({0x19}, fru["product"],
                        {"manufacturer", "productName", "partNumber", "version", "serialNumber", "assetTag", "fruFileId"});
    std::vector<uint8_t> image(8, 0);
    image[0] = 0x01;
    for (size_t i = 0; i < areas.size(); ++i) {
        if (areas[i].empty())
            continue;
        image[2 + i] = static_cast<uint8_t>(image.size() / 8);   // chassis, board, product offsets
        image.insert(image.end(), areas[i].begin(), areas[i].end());
    }
    if (fru.contains("multiRecords") && !fru["multiRecords"].empty()) {
        image[5] = static_cast<uint8_t>(image.size() / 8);   // every area above is a multiple of 8 long
        auto records = multiRecordArea(fru["multiRecords"]);
        image.insert(image.end(), records.begin(), records.end());
    }
    std::vector<uint8_t> head(image.begin(), image.begin() + 7);
    image[7] = zeroChecksum(head, 0);
    size_t size = fru.value("size", static_cast<size_t>(256));
    if (image.size() < size)
        image.resize(size, 0x00);
    return image;
}

std::vector<uint8_t> encodeSelEntry(const json& e) {
    if (e.contains("bytes")) {
        auto r = bytesFromJson(e["bytes"]);
        if (r.size() != 16)
            throw std::invalid_argument("SEL entry of other than 16 bytes");
        return r;
    }
    uint32_t ts = e.contains("timestamp") ? numberFromJson(e["timestamp"]) : 0;
    std::vector<uint8_t> data = e.contains("eventData") ? bytesFromJson(e["eventData"]) : std::vector<uint8_t>{0, 0xFF, 0xFF};
    data.resize(3, 0xFF);
    return {0x00, 0x00, 0x02,
            static_cast<uint8_t>(ts), static_cast<uint8_t>(ts >> 8), static_cast<uint8_t>(ts >> 16), static_cast<uint8_t>(ts >> 24),
            byteAt(e, "generator", 0x20), 0x00, byteAt(e, "evmRev", 0x04),
            byteAt(e, "sensorType", 0x01), byteAt(e, "sensorNumber", 0x01),
            byteAt(e, "eventType", 0x01), data[0], data[1], data[2]};
}

} // namespace qv::sim
