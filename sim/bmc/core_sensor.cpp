// Sensor/event commands. Both generations' request shapes arrive here; the length tells them apart.
#include "controller_core.h"

namespace qv::sim {

namespace {
constexpr size_t kThresholdCount = 6;

// Full sensor record offsets (from the start of the record).
constexpr size_t kSdrSensorNumber = 7;
constexpr size_t kSdrAssertionMask = 14;
constexpr size_t kSdrReadingMask = 18;
constexpr size_t kSdrFactors = 24;      // M, M/tolerance, B, B/accuracy, accuracy, R/B exponents
constexpr size_t kSdrNominal = 31;
constexpr size_t kSdrUpperNonRecoverable = 36;
constexpr size_t kSdrPositiveHysteresis = 42;
constexpr uint8_t kFullSensorRecord = 0x01;
constexpr uint8_t kCompactSensorRecord = 0x02;
} // namespace

namespace {
// Where the fields sit in each generation's full record (from the start of the record).
struct FullLayout {
    size_t readable, settable, upperNonRecoverable, positiveHysteresis, nominal;
};
constexpr FullLayout kFull10{kSdrReadingMask, kSdrReadingMask + 1, kSdrUpperNonRecoverable, kSdrPositiveHysteresis,
                             kSdrNominal};
constexpr FullLayout kFull09{35, 36, 37, 43, 30};

bool isRecord09(const Bytes& r) { return r[2] == 0x10 || r[2] == 0x90; }

// Compact records stand for several sensors when their share count says so.
size_t shareCount(const Bytes& r) {
    if (r[3] != kCompactSensorRecord)
        return 1;
    size_t at = isRecord09(r) ? 13 : 23;
    size_t count = r.size() > at ? (r[at] & 0x0F) : 1;
    return count > 1 ? count : 1;
}

// 1.0 comparison bits (LNC, LC, LNR, UNC, UC, UNR) to the earlier generation's positions.
uint8_t statusTo09(uint8_t status) {
    static constexpr uint8_t kTarget[kThresholdCount] = {3, 1, 5, 2, 0, 4};
    uint8_t out = 0;
    for (size_t i = 0; i < kThresholdCount; ++i)
        if (status & (1u << i))
            out |= static_cast<uint8_t>(1u << kTarget[i]);
    return out;
}

// The earlier generation numbers one threshold per request: UC 0, UNC 1, LC 2, LNC 3, UNR 4,
// LNR 6. Index into LNC..UNR, or none.
std::optional<size_t> thresholdIndex09(uint8_t code) {
    static constexpr int kIndex[7] = {4, 3, 1, 0, 5, -1, 2};
    if (code >= 7 || kIndex[code] < 0)
        return std::nullopt;
    return static_cast<size_t>(kIndex[code]);
}
} // namespace

void ControllerCore::sensorsFromSdr() {
    for (const auto& [id, r] : sdr.records) {
        if (r.size() < 5 || (r[3] != kFullSensorRecord && r[3] != kCompactSensorRecord) || r.size() <= kSdrSensorNumber)
            continue;
        for (size_t k = 1; k < shareCount(r); ++k)
            sensors[static_cast<uint8_t>(r[kSdrSensorNumber] + k)];
        Sensor& s = sensors[r[kSdrSensorNumber]];
        if (r[3] != kFullSensorRecord) {
            if (!isRecord09(r) && r.size() > kSdrReadingMask + 1)
                s.eventMasks = {r[kSdrAssertionMask], r[kSdrAssertionMask + 1], r[kSdrAssertionMask + 2],
                                r[kSdrAssertionMask + 3]};
            continue;
        }
        const FullLayout& at = isRecord09(r) ? kFull09 : kFull10;
        if (r.size() <= at.positiveHysteresis + 1)
            continue;
        s.readableMask = r[at.readable] & 0x3F;
        s.settableMask = r[at.settable] & 0x3F;
        if (!isRecord09(r))
            s.eventMasks = {r[kSdrAssertionMask], r[kSdrAssertionMask + 1], r[kSdrAssertionMask + 2],
                            r[kSdrAssertionMask + 3]};
        // record order UNR, UC, UNC, LNR, LC, LNC; ours LNC, LC, LNR, UNC, UC, UNR
        for (size_t i = 0; i < kThresholdCount; ++i)
            s.thresholds[kThresholdCount - 1 - i] = r[at.upperNonRecoverable + i];
        s.positiveHysteresis = r[at.positiveHysteresis];
        s.negativeHysteresis = r[at.positiveHysteresis + 1];
        if (s.reading == 0)
            s.reading = r[at.nominal];
    }
}

uint8_t ControllerCore::thresholdStatus(const Sensor& s) const {
    if (s.statusOverride)
        return *s.statusOverride;
    uint8_t status = 0;
    for (size_t i = 0; i < kThresholdCount; ++i) {
        if (!(s.readableMask & (1u << i)))
            continue;
        bool lower = i < 3;
        if (lower ? s.reading <= s.thresholds[i] : s.reading >= s.thresholds[i])
            status |= static_cast<uint8_t>(1u << i);
    }
    return ipmi10 ? status : statusTo09(status);
}

// A 1.0 controller spoken to in the earlier shape takes the code as an index LNC..UNR.
std::optional<size_t> ControllerCore::thresholdIndex(uint8_t code) const {
    if (!ipmi10)
        return thresholdIndex09(code);
    return code < kThresholdCount ? std::optional<size_t>(code) : std::nullopt;
}

Bytes ControllerCore::thresholdCommand(uint8_t cmd, const Bytes& d) {
    Sensor& s = sensors[d[0]];
    if (cmd == 0x26) {   // Set Sensor Threshold
        if (d.size() == 3) {   // earlier shape: sensor, threshold code, value
            auto index = thresholdIndex(d[1]);
            if (!index)
                return answer(cc::kInvalidField);
            s.thresholds[*index] = d[2];
            return answer(cc::kOk);
        }
        if (d.size() < 2 + kThresholdCount)
            return answer(cc::kRequestLength);
        for (size_t i = 0; i < kThresholdCount; ++i)
            if (d[1] & (1u << i))
                s.thresholds[i] = d[2 + i];
        return answer(cc::kOk);
    }
    // Get Sensor Threshold
    if (d.size() >= 2) {
        auto index = thresholdIndex(d[1]);
        if (!index)
            return answer(cc::kInvalidField);
        return answer(cc::kOk, {s.thresholds[*index]});
    }
    Bytes out = answer(cc::kOk, {s.readableMask});
    for (size_t i = 0; i < kThresholdCount; ++i)
        out.push_back(s.readableMask & (1u << i) ? s.thresholds[i] : 0);
    return out;
}

Bytes ControllerCore::sensorEvent(uint8_t cmd, const Bytes& d) {
    switch (cmd) {
    case 0x20:   // Get Device SDR Info: sensor count, flags (static population, LUN 0)
        return answer(cc::kOk, {static_cast<uint8_t>(sensors.size()), 0x01});
    case 0x21:   // Get Device SDR: same records as the repository
        return sdrCommand(0x23, d);
    case 0x22:   // Reserve Device SDR Repository
        return sdrCommand(0x22, d);
    case 0x00:   // Set Event Receiver
        return answer(cc::kOk);
    case 0x01:   // Get Event Receiver
        return answer(cc::kOk, {0x20, 0x00});
    default:
        break;
    }
    if (d.empty())
        return answer(cc::kRequestLength);
    auto known = sensors.find(d[0]);
    if (known == sensors.end())
        return answer(cc::kNotPresent);
    Sensor& s = known->second;
    switch (cmd) {
    case 0x23: {  // Get Sensor Reading Factors
        for (const auto& [id, r] : sdr.records) {
            if (r.size() > kSdrFactors + 5 && r[3] == kFullSensorRecord && r[kSdrSensorNumber] == d[0]) {
                Bytes out = answer(cc::kOk, {0xFF});   // next reading: factors do not vary
                out.insert(out.end(), r.begin() + kSdrFactors, r.begin() + kSdrFactors + 6);
                return out;
            }
        }
        return answer(cc::kNotPresent);
    }
    case 0x24:   // Set Sensor Hysteresis: sensor, mask, positive, negative
        if (d.size() < 4)
            return answer(cc::kRequestLength);
        s.positiveHysteresis = d[2];
        s.negativeHysteresis = d[3];
        return answer(cc::kOk);
    case 0x25:
        return answer(cc::kOk, {s.positiveHysteresis, s.negativeHysteresis});
    case 0x26:
    case 0x27:
        return thresholdCommand(cmd, d);
    case 0x28:   // Set Sensor Event Enable: sensor, flags[, assertion lo/hi, deassertion lo/hi]
        if (d.size() < 2)
            return answer(cc::kRequestLength);
        s.eventFlags = static_cast<uint8_t>(d[1] & 0xC0);
        {
            // bits 5:4 of the flags: 01 enable the given masks, 10 disable them
            uint8_t action = (d[1] >> 4) & 0x03;
            for (size_t i = 2; i < d.size() && i < 6; ++i) {
                if (action == 1)
                    s.eventMasks[i - 2] |= d[i];
                else if (action == 2)
                    s.eventMasks[i - 2] &= static_cast<uint8_t>(~d[i]);
            }
        }
        return answer(cc::kOk);
    case 0x29:   // Get Sensor Event Enable: the earlier shape carries a second byte and wants the flags only
        if (d.size() >= 2)
            return answer(cc::kOk, {s.eventFlags});
        return answer(cc::kOk, {s.eventFlags, s.eventMasks[0], s.eventMasks[1], s.eventMasks[2], s.eventMasks[3]});
    case 0x2A:   // Re-arm Sensor Events
        s.eventStatus = {};
        return answer(cc::kOk);
    case 0x2B: { // Get Sensor Event Status
        Bytes out = answer(cc::kOk, {s.eventFlags, s.eventStatus[0], s.eventStatus[1]});
        if (ipmi10) {
            out.push_back(s.eventStatus[2]);
            out.push_back(s.eventStatus[3]);
        }
        return out;
    }
    case 0x2D: { // Get Sensor Reading
        uint8_t flags = static_cast<uint8_t>(s.eventFlags | (s.unavailable ? 0x20 : 0));
        Bytes out = answer(cc::kOk, {s.reading, flags, thresholdStatus(s)});
        if (ipmi10)
            out.push_back(0x80);   // optional state byte: reserved bit set as the standard asks
        return out;
    }
    default:
        return answer(cc::kInvalidCommand);
    }
}

} // namespace qv::sim
