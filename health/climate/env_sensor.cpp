#include "env_sensor.h"

#include <poll.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <optional>

namespace {

constexpr uint8_t kVersion10 = 0x01;
constexpr uint8_t kFullRecord = 1;
constexpr uint8_t kCompactRecord = 2;
constexpr ErrorType kScanningDisabled = 0xA01A0000;

// Positions by field: IPMI 1.0 full, 1.0 compact, 0.9 full, 0.9 compact; -1 not carried.
constexpr int kPositions[][4] = {
    {12, 12, 13, 15},   // SDR_SENSOR_TYPE
    {7, 7, 7, 7},       // SDR_SENSOR_NUMBER
    {20, 20, 19, 21},   // SDR_SENSOR_UNITS_1
    {21, 21, 20, 22},   // SDR_SENSOR_UNITS_2
    {22, 22, 21, 23},   // SDR_SENSOR_UNITS_3
    {25, -1, 24, -1},   // SDR_TOLERANCE
    {28, -1, 27, -1},   // SDR_ACCURACY
    {27, -1, 26, -1},   // SDR_bACCURACY
    {46, 30, 45, 24},   // SDR_OEM
    {31, -1, 30, -1},   // SDR_NOMINAL_READING
    {29, -1, 28, -1},   // SDR_EXPONENTS
    {26, -1, 25, -1},   // SDR_bLSB
    {24, -1, 23, -1},   // SDR_mLSB
    {3, 3, 3, 3},       // SDR_RECORD_TYPE
    {32, -1, 31, -1},   // SDR_NORMAL_MAXIMUM
    {33, -1, 32, -1},   // SDR_NORMAL_MINIMUM
    {42, -1, 43, -1},   // SDR_POSITIVE_HYSTERISIS
    {43, -1, 44, -1},   // SDR_NEGATIVE_HYSTERISIS
    {8, 8, 46, 25},     // SDR_ENTITY_ID
    {34, -1, 33, -1},   // SDR_MAXIMUM
    {35, -1, 34, -1},   // SDR_MINIMUM
};
static_assert(std::size(kPositions) == SDR_MINIMUM + 1);

// Analog data formats (the top two bits of the units byte); 0x00 is unsigned.
constexpr int kFormatOnesComplement = 0x40;
constexpr int kFormatTwosComplement = 0x80;
constexpr int kFormatNoAnalogReading = 0xC0;

bool isVersion09(uint8_t v) { return v == 0x10 || v == 0x90; }

// 10-bit two's complement from a low byte and the top two bits of another.
int tenBitSigned(int low, int high)
{
    int v = (low & 0xFF) | ((high & 0xC0) << 2);
    return v & 0x200 ? v - 0x400 : v;
}

using Wide = __int128;

Wide tenTo(int n)
{
    Wide v = 1;
    while (n-- > 0) v *= 10;
    return v;
}

int clampedToInt(Wide v)
{
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// (m * x + b * 10^k1) * 10^p, truncated toward zero, without a binary fraction on the way: both
// terms are brought over the common denominator 10^d as whole numbers, and the one division
// truncates. The exponents are 4-bit and p is at most a few more, so 128 bits hold every case.
int exactScaled(int m, int x, int b, int k1, int p)
{
    const int d = std::max(0, -std::min(p, k1 + p));
    const Wide numerator = Wide{m} * x * tenTo(p + d) + Wide{b} * tenTo(k1 + p + d);
    return clampedToInt(numerator / tenTo(d));
}

struct CodeRange { int first, last, code; };

int lookup(std::initializer_list<CodeRange> table, int key, int fallback)
{
    for (const CodeRange& r : table)
        if (key >= r.first && key <= r.last) return r.code;
    return fallback;
}

// A check message goes to standard output at once, in one write, so that it is neither held in
// a buffer nor cut; when standard output cannot take it now (a full pipe) it is dropped rather
// than letting the service wait.
bool fail(const char* message)
{
    pollfd out{STDOUT_FILENO, POLLOUT, 0};
    if (::poll(&out, 1, 0) == 1 && (out.revents & POLLOUT))
        (void)!::write(STDOUT_FILENO, message, std::strlen(message));
    return false;
}

// Lowest asserted state offset of a discrete reading; -1 when none is asserted.
int stateOffset(uint16_t assertions)
{
    for (int s = 0; s < 16; ++s)
        if (assertions & (1u << s)) return s;
    return -1;
}

} // namespace

int GetSdrField(CSensorExport* poSensor, SDR_FIELD field)
{
    if (!poSensor || field < 0 || field > SDR_MINIMUM) return 0;
    const ::Sdr* sdr = poSensor->GetSdr();
    if (!sdr) return 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(sdr);
    if (field == SDR_RECORD_TYPE) return bytes[3];
    int column;
    if (bytes[2] == kVersion10) column = 0;
    else if (isVersion09(bytes[2])) column = 2;
    else return 0;
    if (bytes[3] == kCompactRecord) ++column;
    else if (bytes[3] != kFullRecord) return 0;
    const int pos = kPositions[field][column];
    return pos < 0 ? 0 : bytes[pos];
}

const uint8_t* CEnvSensor::Sdr() const
{
    const ::Sdr* sdr = m_poSensor ? m_poSensor->GetSdr() : nullptr;
    return reinterpret_cast<const uint8_t*>(sdr);
}

bool CEnvSensor::IsFull() const
{
    const uint8_t* sdr = Sdr();
    return sdr && sdr[3] == kFullRecord;
}

int CEnvSensor::M() const { return tenBitSigned(Field(SDR_mLSB), Field(SDR_TOLERANCE)); }
int CEnvSensor::B() const { return tenBitSigned(Field(SDR_bLSB), Field(SDR_bACCURACY)); }

int CEnvSensor::K1() const
{
    const int k = Field(SDR_EXPONENTS) & 0x0F;
    return k & 0x08 ? k - 16 : k;
}

int CEnvSensor::ResultExponent() const
{
    const int r = (Field(SDR_EXPONENTS) >> 4) & 0x0F;
    return r & 0x08 ? r - 16 : r;
}

int CEnvSensor::SignedRaw(uint8_t x) const
{
    switch (Field(SDR_SENSOR_UNITS_1) & 0xC0) {
    case kFormatTwosComplement: return static_cast<int8_t>(x);
    case kFormatOnesComplement: return x & 0x80 ? -static_cast<int>(static_cast<uint8_t>(~x)) : x;
    default: return x;
    }
}

int CEnvSensor::Scaled(uint8_t x, int powerOfTen) const
{
    return exactScaled(M(), SignedRaw(x), B(), K1(), powerOfTen);
}

int CEnvSensor::ScaledLive(uint8_t raw, int powerOfTen) const
{
    // The library reads every byte of a sensor without analog readings as 0.
    if ((Field(SDR_SENSOR_UNITS_1) & 0xC0) == kFormatNoAnalogReading) return 0;
    return Scaled(raw, ResultExponent() + powerOfTen);
}

// IPMI 0.9 records keep these at fixed bytes; IPMI 1.0 records moved them, and reading the old
// bytes there would take a threshold value for the mask and the sensor type for the capability.
int CEnvSensor::SettableMask() const
{
    const uint8_t* sdr = Sdr();
    if (!sdr) return 0;
    return sdr[2] == kVersion10 ? sdr[19] : sdr[36];
}

bool CEnvSensor::HysterisisSettable() const
{
    const uint8_t* sdr = Sdr();
    if (!sdr) return false;
    if (sdr[2] == kVersion10) return ((sdr[11] >> 4) & 0x03) == 0x02;   // readable and settable
    return (sdr[12] & 0x80) != 0;
}

int CEnvSensor::CompactEventReadingType() const
{
    const uint8_t* sdr = Sdr();
    if (!sdr) return 0;
    return sdr[2] == kVersion10 ? sdr[13] : sdr[16];
}

double CEnvSensor::ConvertXToY(uint8_t x) const
{
    double b = B();
    for (int k = K1(); k > 0; --k) b *= 10;
    for (int k = K1(); k < 0; ++k) b /= 10;
    return b + static_cast<double>(M()) * SignedRaw(x);
}

uint8_t CEnvSensor::ConvertYToX(long y) const
{
    long b = B();
    for (int k = K1(); k > 0; --k) b *= 10;
    for (int k = K1(); k < 0; ++k) b /= 10;
    const int m = M();
    if (m == 0) return 0;
    long q = (y - b) / m;
    if ((Field(SDR_SENSOR_UNITS_1) & 0xC0) == kFormatOnesComplement && q < 0) q -= 1;
    return static_cast<uint8_t>(q & 0xFF);
}

int CEnvSensor::GetType() const { return Field(SDR_SENSOR_TYPE); }

int CEnvSensor::GetLocation() const
{
    const int entity = Field(SDR_ENTITY_ID);
    return lookup({{1, 1, 7}, {2, 4, 1}, {40, 43, 1}, {76, 79, 1}, {84, 87, 1}, {92, 95, 1},
                   {100, 103, 1}, {8, 11, 11}, {16, 19, 9}, {24, 27, 3}, {32, 35, 8},
                   {44, 55, 10}, {60, 63, 10}, {68, 71, 6}, {108, 123, 4}, {124, 131, 5}},
                  entity, 2);
}

int CEnvSensor::GetDescription() const
{
    const int oem = Field(SDR_OEM);
    switch (GetType()) {
    case SENSOR_VOLTAGE: {
        const int entity = Field(SDR_ENTITY_ID);
        if (entity >= 24 && entity <= 27) return entity - 14;
        return lookup({{0, 0, 7}, {1, 1, 3}, {2, 2, 4}, {3, 3, 5}, {4, 4, 6}, {5, 5, 8},
                       {6, 6, 1}, {7, 7, 9}},
                      oem, 2);
    }
    case SENSOR_TEMPERATURE:
        return lookup({{10, 17, oem - 7}, {20, 20, 11}, {40, 40, 12}}, oem, 2);
    case SENSOR_FAN:
        return lookup({{24, 24, 3}, {30, 30, 4}}, oem, 2);
    default:
        return 0;
    }
}

int CEnvSensor::GetStatus() const
{
    const uint8_t* sdr = Sdr();
    if (!sdr) return STATUS_UNKNOWN;
    SensorReadingStruct reading{};
    const ErrorType rc = m_poSensor->GetReading(&reading);
    if (rc == kScanningDisabled) return STATUS_NON_CRITICAL;
    if (rc != 0) return STATUS_UNKNOWN;
    if (sdr[3] == kFullRecord) {
        // IPMI 1.0 bit order: 0 LNC, 1 LC, 2 LNR, 3 UNC, 4 UC, 5 UNR; the worst crossing wins.
        const uint8_t bits = reading.tAnalog.bThresholdStatus;
        if (bits & (THRESHOLD_LNR | THRESHOLD_UNR)) return STATUS_NON_RECOVERABLE;
        if (bits & (THRESHOLD_LC | THRESHOLD_UC)) return STATUS_CRITICAL;
        if (bits & (THRESHOLD_LNC | THRESHOLD_UNC)) return STATUS_NON_CRITICAL;
        return STATUS_OK;
    }
    if (sdr[3] != kCompactRecord) return STATUS_UNKNOWN;
    const uint16_t assertions = reading.tDiscrete.wStateAssertions;
    const int s = stateOffset(assertions);
    switch (CompactEventReadingType()) {
    case 10:
        return STATUS_OTHER;
    case 2:
    case 11:
        return lookup({{0, 0, STATUS_OK}, {1, 1, STATUS_NON_CRITICAL}, {2, 2, STATUS_CRITICAL}}, s,
                      STATUS_UNKNOWN);
    case 7:
        if (s < 0) return STATUS_UNKNOWN;
        return lookup({{0, 0, STATUS_OK}, {2, 2, STATUS_CRITICAL}, {5, 5, STATUS_CRITICAL},
                       {3, 3, STATUS_NON_RECOVERABLE}, {6, 6, STATUS_NON_RECOVERABLE},
                       {9, 15, STATUS_UNKNOWN}},
                      s, STATUS_NON_CRITICAL);
    case 3: case 4: case 5: case 6: case 8: case 9:
        return assertions & 1 ? STATUS_NON_CRITICAL : STATUS_OK;
    default:
        return STATUS_UNKNOWN;
    }
}

namespace {
// Power of ten of the limits served: tenths of a degree for temperatures.
int temperatureTenths(int type) { return type == SENSOR_TEMPERATURE ? 1 : 0; }
} // namespace

int CEnvSensor::GetNormalMaximum() const
{
    return IsFull() ? Scaled(Field(SDR_NORMAL_MAXIMUM), temperatureTenths(GetType())) : 0;
}

int CEnvSensor::GetNormalMinimum() const
{
    return IsFull() ? Scaled(Field(SDR_NORMAL_MINIMUM), temperatureTenths(GetType())) : 0;
}

int CEnvSensor::GetMaximum() const
{
    return IsFull() ? Scaled(Field(SDR_MAXIMUM), temperatureTenths(GetType())) : 0;
}

int CEnvSensor::GetMinimum() const
{
    return IsFull() ? Scaled(Field(SDR_MINIMUM), temperatureTenths(GetType())) : 0;
}

int CEnvSensor::GetUnitModifier() const
{
    const int type = GetType();
    return type == SENSOR_TEMPERATURE || type == SENSOR_VOLTAGE ? -2 : 0;
}

int CEnvSensor::Threshold(ThresholdType type) const
{
    if (!m_poSensor) return 0;
    GetThresholdReadingStruct reading{};
    if (m_poSensor->GetThresholdReading(type, &reading) != 0) return 0;
    return ScaledLive(reading.bRawReading, -GetUnitModifier());
}

int CEnvSensor::GetLowerNonCritical() const { return Threshold(ThresholdType_LNC); }
int CEnvSensor::GetUpperNonCritical() const { return Threshold(ThresholdType_UNC); }
int CEnvSensor::GetLowerCritical() const { return Threshold(ThresholdType_LC); }
int CEnvSensor::GetUpperCritical() const { return Threshold(ThresholdType_UC); }
int CEnvSensor::GetLowerNonRecoverable() const { return Threshold(ThresholdType_LNR); }
int CEnvSensor::GetUpperNonRecoverable() const { return Threshold(ThresholdType_UNR); }

int CEnvSensor::GetResolution() const
{
    if (!IsFull()) return 0;
    switch (GetType()) {
    case SENSOR_TEMPERATURE: return M() * 100;
    case SENSOR_VOLTAGE: return M() * 10;
    default: return 0;
    }
}

int CEnvSensor::GetTolerance() const
{
    if (!IsFull()) return 0;
    const auto t = static_cast<uint8_t>((Field(SDR_TOLERANCE) & 0x3F) * 2);
    switch (GetType()) {
    case SENSOR_TEMPERATURE: return std::abs(Scaled(t, 1));
    case SENSOR_VOLTAGE: return std::abs(Scaled(t, 0));
    case SENSOR_FAN: return Scaled(t, 0);
    default: return 0;
    }
}

int CEnvSensor::GetAccuracy() const
{
    if (!IsFull()) return 0;
    const int accuracy = Field(SDR_ACCURACY);
    int value = ((accuracy & 0xF0) << 2) | (Field(SDR_bACCURACY) & 0x3F);
    for (int e = (accuracy >> 2) & 0x03; e > 0; --e) value *= 10;
    return value;
}

int CEnvSensor::GetPositiveHysterisis() const
{
    return IsFull() ? Scaled(Field(SDR_POSITIVE_HYSTERISIS), 0) : 0;
}

int CEnvSensor::GetNegativeHysterisis() const
{
    return IsFull() ? Scaled(Field(SDR_NEGATIVE_HYSTERISIS), 0) : 0;
}

int CEnvSensor::ScaledReading(int powerOfTen) const
{
    if (!IsFull()) return 0;
    SensorReadingStruct reading{};
    if (m_poSensor->GetReading(&reading) != 0) return 0;
    return ScaledLive(reading.tAnalog.bRawReading, powerOfTen);
}

int CEnvVoltageSensor::GetNominalLevel() const
{
    return IsFull() ? Scaled(Field(SDR_NOMINAL_READING), 0) : 0;
}

int CEnvTemperatureSensor::GetNominalReading() const
{
    return IsFull() ? Scaled(Field(SDR_NOMINAL_READING), 1) : 0;
}

int CEnvFanSensor::GetNominalReading() const
{
    return IsFull() ? Scaled(Field(SDR_NOMINAL_READING), 0) : 0;
}

bool CEnvSensor::SetThreshold(int code, ThresholdType type, long value)
{
    if (!IsFull() || !(SettableMask() & code)) return false;
    if (!CheckThreshold(code, value)) return false;
    const std::optional<int> x = SignedRawFor(value, ResultExponent() - GetUnitModifier());
    if (!x) return false;
    // The library turns a real value into the raw byte itself, truncating a binary quotient:
    // hand it the middle of the chosen byte's step, so that it lands on that byte and a GET
    // reads back exactly the value of that byte.
    const double middle = *x + (*x < 0 ? -0.5 : 0.5);
    SetThresholdValueStruct request{};
    request.eThreshold = type;
    request.rConvertedValue =
        (M() * middle + B() * std::pow(10.0, K1())) * std::pow(10.0, ResultExponent());
    return m_poSensor->SetThresholdValue(request) == 0;
}

std::optional<int> CEnvSensor::SignedRawFor(long value, int powerOfTen) const
{
    const int m = M();
    if (m == 0) return std::nullopt;
    // x = (value / 10^p - B * 10^K1) / M, over the common denominator 10^d as whole numbers.
    const int p = powerOfTen;
    const int k1 = K1();
    const int d = std::max(0, -std::min(p, k1 + p));
    const Wide numerator = Wide{value} * tenTo(d) - Wide{B()} * tenTo(k1 + p + d);
    const Wide x = numerator / (Wide{m} * tenTo(p + d));
    int lowest = 0, highest = 255;
    switch (Field(SDR_SENSOR_UNITS_1) & 0xC0) {
    case kFormatTwosComplement: lowest = -128, highest = 127; break;
    case kFormatOnesComplement: lowest = -127, highest = 127; break;
    case kFormatNoAnalogReading: return std::nullopt;
    default: break;
    }
    if (x < lowest || x > highest) return std::nullopt;   // no byte holds it: never wrapped
    return static_cast<int>(x);
}

bool CEnvSensor::SetLowerNonCritical(long v) { return SetThreshold(THRESHOLD_LNC, ThresholdType_LNC, v); }
bool CEnvSensor::SetUpperNonCritical(long v) { return SetThreshold(THRESHOLD_UNC, ThresholdType_UNC, v); }
bool CEnvSensor::SetLowerCritical(long v) { return SetThreshold(THRESHOLD_LC, ThresholdType_LC, v); }
bool CEnvSensor::SetUpperCritical(long v) { return SetThreshold(THRESHOLD_UC, ThresholdType_UC, v); }
bool CEnvSensor::SetLowerNonRecoverable(long v) { return SetThreshold(THRESHOLD_LNR, ThresholdType_LNR, v); }
bool CEnvSensor::SetUpperNonRecoverable(long v) { return SetThreshold(THRESHOLD_UNR, ThresholdType_UNR, v); }

bool CEnvSensor::SetHysterisis(bool positive, unsigned long value)
{
    if (!IsFull() || !HysterisisSettable()) return false;
    long v = static_cast<long>(value);
    if (!CheckThreshold(positive ? HYSTERISIS_POSITIVE : HYSTERISIS_NEGATIVE, v)) return false;
    const int type = GetType();
    if (type == SENSOR_VOLTAGE && M() < 0) v = -v;
    const uint8_t raw = ConvertYToX(type == SENSOR_TEMPERATURE ? v / 10 : v);
    CIPMControllerExport* controller = m_poSensor->GetController();
    if (!controller) return false;
    SdSetSensorHysterisisRequest request{};
    request.bVersion = 10;
    request.Ver10.sensorNumber = static_cast<UINT8>(Field(SDR_SENSOR_NUMBER));
    request.Ver10.hysterisisMask = 0;
    request.Ver10.positiveHysterisisValue = positive ? raw : 0;
    request.Ver10.negativeHysterisisValue = positive ? 0 : raw;
    try {
        const SdSetSensorHysterisisResponse response = controller->SetSensorHysterisis(request);
        return response.Ver10.completionCode == 0;
    } catch (CIPMExceptionExport*) {
        return false;   // the library owns and frees its exception objects
    }
}

bool CEnvSensor::SetPositiveHysterisis(unsigned long value) { return SetHysterisis(true, value); }
bool CEnvSensor::SetNegativeHysterisis(unsigned long value) { return SetHysterisis(false, value); }

bool CEnvSensor::CheckThreshold(int type, long value) const
{
    const int m = M();
    if (m > 0) return CheckPositiveThreshold(type, value);
    if (m == 0 || (Field(SDR_SENSOR_UNITS_1) & 0xC0) != 0) return true;
    if (type == HYSTERISIS_POSITIVE || type == HYSTERISIS_NEGATIVE) {
        if (value < 0) return fail("FAIL:Hysterisis cannot be negative\n");
        value = -value;
    }
    return CheckNegativeThreshold(type, value);
}

namespace {
const char* positiveMessage(int type)
{
    switch (type) {
    case THRESHOLD_LNC: return "CheckThreshold() - Positive LNC Threshold Value > UNC or < LC\n";
    case THRESHOLD_LC: return "CheckThreshold() - Positive LC Threshold Value > LNC or < LNR\n";
    case THRESHOLD_LNR: return "CheckThreshold() - Positive LNR Threshold Value > LC\n";
    case THRESHOLD_UNC: return "CheckThreshold() - Positive UNC Threshold Value > UC or < LNC\n";
    case THRESHOLD_UC: return "CheckThreshold() - Positive UC Threshold Value > UNR or < UNC\n";
    case THRESHOLD_UNR: return "CheckThreshold() - Positive UNR Threshold Value < UC\n";
    default: return "CheckThreshold() - Invalid Threshold Type\n";
    }
}

const char* negativeMessage(int type)
{
    switch (type) {
    case THRESHOLD_LNC: return "CheckThreshold() - Negative LNC Threshold Value < UNC or > LC\n";
    case THRESHOLD_LC: return "CheckThreshold() - Negative LC Threshold Value < LNC or > LNR\n";
    case THRESHOLD_LNR: return "CheckThreshold() - Negative LNR Threshold Value < LC\n";
    case THRESHOLD_UNC: return "CheckThreshold() - Negative UNC Threshold Value < UC or > LNC\n";
    case THRESHOLD_UC: return "CheckThreshold() - Negative UC Threshold Value < UNR or > UNC\n";
    case THRESHOLD_UNR: return "CheckThreshold() - Negative UNR Threshold Value > UC\n";
    default: return "CheckThreshold() - Invalid Threshold Type\n";
    }
}

bool isHysterisis(int type) { return type == HYSTERISIS_POSITIVE || type == HYSTERISIS_NEGATIVE; }
} // namespace

bool CEnvSensor::CheckPositiveThreshold(int type, long value) const
{
    if (value < GetMinimum() || value > GetMaximum())
        return fail("CheckThreshold() - Threshold Value Outside Max/Min\n");
    if (isHysterisis(type)) return value >= 0 || fail("FAIL:Hysterisis cannot be negative\n");
    if (value >= GetClosestLesserThreshold(type) && value <= GetClosestGreaterThreshold(type))
        return true;
    return fail(positiveMessage(type));
}

bool CEnvSensor::CheckNegativeThreshold(int type, long value) const
{
    if (value < GetMaximum() || value > GetMinimum())
        return fail("CheckThreshold() - Threshold Value Outside Max/Min\n");
    if (isHysterisis(type)) return true;
    if (value >= GetClosestGreaterThreshold(type) && value <= GetClosestLesserThreshold(type))
        return true;
    return fail(negativeMessage(type));
}

int CEnvSensor::ThresholdByCode(int code) const
{
    switch (code) {
    case THRESHOLD_LNC: return GetLowerNonCritical();
    case THRESHOLD_LC: return GetLowerCritical();
    case THRESHOLD_LNR: return GetLowerNonRecoverable();
    case THRESHOLD_UNC: return GetUpperNonCritical();
    case THRESHOLD_UC: return GetUpperCritical();
    case THRESHOLD_UNR: return GetUpperNonRecoverable();
    default: return 0;
    }
}

namespace {
// Thresholds from lowest to highest: a threshold's neighbours, nearest first, on either side.
constexpr int kAscending[] = {THRESHOLD_LNR, THRESHOLD_LC, THRESHOLD_LNC,
                              THRESHOLD_UNC, THRESHOLD_UC, THRESHOLD_UNR};

int positionOf(int type)
{
    for (int i = 0; i < 6; ++i)
        if (kAscending[i] == type) return i;
    return -1;
}

bool isThresholdCode(int type) { return positionOf(type) >= 0; }
} // namespace

int CEnvSensor::GetClosestGreaterThreshold(int type) const
{
    if (!Sdr()) return fail("CheckThreshold() - FAIL"), 0;
    if (!isThresholdCode(type))
        return fail("GetClosestGreaterThreshold() - Invalid Threshold Type"), 0;
    const int mask = SettableMask();
    for (int i = positionOf(type) + 1; i < 6; ++i)
        if (mask & kAscending[i]) return ThresholdByCode(kAscending[i]);
    return GetMaximum();
}

int CEnvSensor::GetClosestLesserThreshold(int type) const
{
    if (!Sdr()) return fail("CheckThreshold() - FAIL"), 0;
    if (!isThresholdCode(type))
        return fail("GetClosestLesserThreshold() - Invalid Threshold Type\n"), 0;
    const int mask = SettableMask();
    for (int i = positionOf(type) - 1; i >= 0; --i)
        if (mask & kAscending[i]) return ThresholdByCode(kAscending[i]);
    return GetMinimum();
}
