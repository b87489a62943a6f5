#include "sensor.h"

#include "ipmexception.h"

#include <cmath>
#include <cstring>

namespace qv::bmc {

namespace {

int signExtend(int value, int bits)
{
    const int sign = 1 << (bits - 1);
    return (value & (sign - 1)) - (value & sign);
}

template <class Layout>
ConversionFactors factorsOf(const Layout& l)
{
    ConversionFactors f;
    f.format = static_cast<AnalogFormat>((l.sensorUnits1 >> 6) & 3);
    f.m = signExtend(l.mLSB | (l.mTolerance & 0xC0) << 2, 10);
    f.b = signExtend(l.bLSB | (l.bAccuracy & 0xC0) << 2, 10);
    f.r = signExtend(l.exponents >> 4, 4);
    f.k = signExtend(l.exponents & 0x0F, 4);
    f.linearization = l.linearization & 0x7F;
    return f;
}

} // namespace

double MyPow(int base, int n)
{
    if (n == 0 || n > 15 || n < -15) return 1;
    double v = 1;
    for (int i = 0; i < (n < 0 ? -n : n); ++i) v = n > 0 ? v * base : v / base;
    return v;
}

ConversionFactors conversionFactors(const Sdr& sdr)
{
    return isRecord09(sdr) ? factorsOf(sdr.body.t09_01) : factorsOf(sdr.body.t10_01);
}

double rawToConverted(const ConversionFactors& f, UINT8& raw)
{
    int x = raw, m = f.m, b = f.b;
    switch (f.format) {
    case AnalogFormat::Unsigned: break;
    case AnalogFormat::OnesComplement: x = raw & 0x80 ? -static_cast<int>(~raw & 0xFF) : raw; break;
    case AnalogFormat::TwosComplement: x = static_cast<int8_t>(raw); break;
    case AnalogFormat::None: raw = 0; x = m = b = 0; break;
    }
    return (m * static_cast<double>(x) + b * MyPow(10, f.k)) * MyPow(10, f.r);
}

ErrorType convertedToRaw(const ConversionFactors& f, double value, UINT8* raw)
{
    *raw = 0;
    if (f.m == 0) return IPMAPI_ERROR_FACTOR_M_ZERO;
    const double r = (value / MyPow(10, f.r) - f.b * MyPow(10, f.k)) / f.m;
    if (std::isnan(r)) return IPMAPI_ERROR_OUT_OF_RAW_RANGE;
    switch (f.format) {
    case AnalogFormat::OnesComplement: {
        if (!(r > -128 && r < 128)) return IPMAPI_ERROR_OUT_OF_RAW_RANGE;
        const int magnitude = static_cast<int>(std::fabs(r));
        *raw = static_cast<UINT8>(r < 0 ? ~magnitude : magnitude);
        return 0;
    }
    case AnalogFormat::TwosComplement:
        if (!(r > -129 && r < 128)) return IPMAPI_ERROR_OUT_OF_RAW_RANGE;
        *raw = static_cast<UINT8>(static_cast<int>(r) & 0xFF);
        return 0;
    default:
        if (!(r >= 0 && r < 256)) return IPMAPI_ERROR_OUT_OF_RAW_RANGE;
        *raw = static_cast<UINT8>(static_cast<int>(r));
        return 0;
    }
}

UINT8 remapThresholdStatus09(UINT8 s)
{
    static constexpr int kTo10[6] = {4, 1, 3, 0, 5, 2};
    UINT8 out = 0;
    for (int bit = 0; bit < 6; ++bit)
        if (s & (1 << bit)) out |= static_cast<UINT8>(1 << kTo10[bit]);
    return out;
}

} // namespace qv::bmc

using namespace qv::bmc;

namespace {

constexpr UINT8 kThresholdType = 1;
constexpr UINT8 kScanningEnabled = 0x40;
// Response bytes a reading needs: completion code, reading, flags.
constexpr int kReadingBytes = 3;
constexpr UINT8 kThresholdCodes09[6] = {3, 2, 6, 1, 0, 4};   // LNC LC LNR UNC UC UNR

bool discreteWithStateBits(unsigned type) { return type == 2 || type == 7 || type == 10 || type == 11; }
bool digitalDiscrete(unsigned type) { return (type >= 3 && type <= 6) || type == 8 || type == 9; }

// Calls into the controller raise the library's exception; sensor operations return its code.
template <class Fn>
ErrorType guarded(Fn&& fn)
{
    try {
        return fn();
    } catch (CIPMExceptionExport* e) {
        return e->GetErrorCode();
    }
}

} // namespace

CSensor::CSensor(const Sdr* pSdr, CIPMControllerExport* pController) : m_pController(pController)
{
    if (pSdr) {
        m_pSdr = new Sdr;
        memcpy(m_pSdr, pSdr, sizeof *m_pSdr);
    }
}

CSensor::~CSensor() { delete m_pSdr; }

Sdr* CSensor::GetSdr() { return m_pSdr; }

CIPMControllerExport* CSensor::GetController() { return m_pController; }

ErrorType CSensor::RawToConverted(UINT8 bSdrVersion, SensorReadingStruct* pReading)
{
    if (!pReading) return IPMAPI_ERROR_BAD_ARGUMENT;
    if (!m_pSdr) return IPMAPI_ERROR_NO_PATH;
    if (bSdrVersion != 0x01 && bSdrVersion != 0x10 && bSdrVersion != 0x90) {
        pReading->ReadingType = 0;
        return IPMAPI_ERROR_WRONG_VERSION;
    }
    pReading->ReadingType = isRecord09(*m_pSdr) ? m_pSdr->body.t09_01.eventReadingBaseType
                                                : m_pSdr->body.t10_01.eventReadingBaseType;
    pReading->tAnalog.rConvertedReading =
        rawToConverted(conversionFactors(*m_pSdr), pReading->tAnalog.bRawReading);
    return 0;
}

ErrorType CSensor::ConvertedToRaw(UINT8 bSdrVersion, double rValue, UINT8* pbRaw)
{
    if (!pbRaw) return IPMAPI_ERROR_BAD_ARGUMENT;
    *pbRaw = 0;
    if (!m_pSdr) return IPMAPI_ERROR_NO_PATH;
    if (bSdrVersion != 0x01 && bSdrVersion != 0x10 && bSdrVersion != 0x90)
        return IPMAPI_ERROR_WRONG_VERSION;
    return convertedToRaw(conversionFactors(*m_pSdr), rValue, pbRaw);
}

ErrorType CSensor::GetReading(SensorReadingStruct* out)
{
    if (!out) return IPMAPI_ERROR_BAD_ARGUMENT;
    if (!m_pSdr || !m_pController) return IPMAPI_ERROR_NO_PATH;
    if (isRecord10(*m_pSdr)) {
        if (m_pSdr->recordType == 2) return discreteReading10(out);
        if (m_pSdr->recordType != 1) return IPMAPI_ERROR_RECORD_TYPE;
        const UINT8 type = m_pSdr->body.t10_01.eventReadingBaseType;
        if (type == kThresholdType) return analogReading10(out);
        if (type >= 2 && type <= 11) return discreteReading10(out);
        return IPMAPI_ERROR_UNSUPPORTED_SENSOR;
    }
    if (isRecord09(*m_pSdr)) {
        if (m_pSdr->recordType == 1) return analogReading09(out);
        if (m_pSdr->recordType == 2) return discreteReading09(out);
        return IPMAPI_ERROR_RECORD_TYPE;
    }
    return IPMAPI_ERROR_WRONG_VERSION;
}

namespace {

// Get Sensor Reading of one generation, checked for version and length.
ErrorType readSensor(CIPMControllerExport* c, UINT8 number, int version,
                     SdGetSensorReadingResponse* response)
{
    SdGetSensorReadingRequest request{};
    request.bVersion = static_cast<UINT8>(version);
    request.Ver10.sensorNumber = number;
    *response = c->GetSensorReading(request);
    if (response->bVersion != version) return IPMAPI_ERROR_WRONG_VERSION;
    if (response->bResponseLength < kReadingBytes) return IPMAPI_ERROR_SHORT_RESPONSE;
    return 0;
}

} // namespace

ErrorType CSensor::analogReading10(SensorReadingStruct* out)
{
    const auto& r = m_pSdr->body.t10_01;
    if (r.eventReadingBaseType != kThresholdType) return IPMAPI_ERROR_UNSUPPORTED_SENSOR;
    out->SensorType = r.sensorType;
    return guarded([&]() -> ErrorType {
        SdGetSensorReadingResponse response;
        if (ErrorType e = readSensor(m_pController, r.sensorNumber, 10, &response)) return e;
        if (!(response.Ver10.sensorStatus & kScanningEnabled)) return IPMAPI_ERROR_SCANNING_DISABLED;
        out->tAnalog.bRawReading = response.Ver10.readingValue;
        out->tAnalog.bThresholdStatus = response.Ver10.readingStatus[0] & 0x3F;
        out->tAnalog.SensorUnitsBase = r.sensorUnits2;
        out->tAnalog.SensorUnitsModifier = r.sensorUnits3;
        if (r.linearization & 0x7F) return IPMAPI_ERROR_NON_LINEAR;
        return RawToConverted(m_pSdr->sdrVersion, out);
    });
}

ErrorType CSensor::discreteReading10(SensorReadingStruct* out)
{
    // Full and compact records agree up to the event/reading type.
    const auto& r = m_pSdr->body.t10_01;
    if (m_pSdr->recordType == 1 && r.eventReadingBaseType == kThresholdType)
        return IPMAPI_ERROR_UNSUPPORTED_SENSOR;
    out->ReadingType = r.eventReadingBaseType;
    out->SensorType = r.sensorType;
    return guarded([&]() -> ErrorType {
        SdGetSensorReadingResponse response;
        if (ErrorType e = readSensor(m_pController, r.sensorNumber, 10, &response)) return e;
        if (!(response.Ver10.sensorStatus & kScanningEnabled)) {
            out->ReadingType = 0;
            return IPMAPI_ERROR_SCANNING_DISABLED;
        }
        const unsigned type = r.eventReadingBaseType;
        const UINT16 states = static_cast<UINT16>(response.Ver10.readingStatus[0] |
                                                  response.Ver10.readingStatus[1] << 8);
        if (discreteWithStateBits(type) || (type >= 0x6F && type <= 0x7F)) {
            out->tDiscrete.wStateAssertions = states & 0x7FFF;
        } else if (digitalDiscrete(type)) {
            out->tDiscrete.wStateAssertions = states & 0xFC;
        } else {
            out->ReadingType = 0;
            return IPMAPI_ERROR_UNSUPPORTED_SENSOR;
        }
        return 0;
    });
}

ErrorType CSensor::analogReading09(SensorReadingStruct* out)
{
    const auto& r = m_pSdr->body.t09_01;
    if (((r.sensorCapabilities >> 4) & 3) == 0) return IPMAPI_ERROR_NO_THRESHOLDS;
    if (r.eventReadingBaseType != kThresholdType) return IPMAPI_ERROR_UNSUPPORTED_SENSOR;
    out->SensorType = r.sensorType;
    return guarded([&]() -> ErrorType {
        SdGetSensorReadingResponse response;
        if (ErrorType e = readSensor(m_pController, r.sensorNumber, 9, &response)) return e;
        if (!(response.Ver09.reading[1] & kScanningEnabled)) return IPMAPI_ERROR_SCANNING_DISABLED;
        out->tAnalog.bRawReading = response.Ver09.reading[0];
        out->tAnalog.bThresholdStatus = remapThresholdStatus09(response.Ver09.reading[2]);
        out->tAnalog.SensorUnitsBase = r.sensorUnits2;
        out->tAnalog.SensorUnitsModifier = r.sensorUnits3;
        if (r.linearization & 0x7F) return IPMAPI_ERROR_NON_LINEAR;
        return RawToConverted(m_pSdr->sdrVersion, out);
    });
}

ErrorType CSensor::discreteReading09(SensorReadingStruct* out)
{
    const auto& r = m_pSdr->body.t09_02;
    const unsigned type = r.eventReadingBaseType;
    if (type == 0 || type == 1) return IPMAPI_ERROR_UNSUPPORTED_SENSOR;
    out->ReadingType = type;
    out->SensorType = r.sensorType;
    return guarded([&]() -> ErrorType {
        SdGetSensorReadingResponse response;
        if (ErrorType e = readSensor(m_pController, r.sensorNumber, 9, &response)) return e;
        const UINT8 first = response.Ver09.reading[0], second = response.Ver09.reading[1];
        if (discreteWithStateBits(type) || (type >= 0xE6 && type <= 0xEF)) {
            if (!(second & 0x80)) return IPMAPI_ERROR_SCANNING_DISABLED;
            out->tDiscrete.wStateAssertions = static_cast<UINT16>(((second << 8) & 0x7FFF) | first);
            return 0;
        }
        if (digitalDiscrete(type)) {
            if (!(second & kScanningEnabled)) return IPMAPI_ERROR_SCANNING_DISABLED;
            out->tDiscrete.wStateAssertions = second & 0x01 ? 2 : 1;
            return 0;
        }
        return IPMAPI_ERROR_UNSUPPORTED_SENSOR;
    });
}

bool CSensor::servesThresholds() const
{
    if (m_pSdr->recordType != 1) return false;
    if (isRecord10(*m_pSdr)) return m_pSdr->body.t10_01.eventReadingBaseType == kThresholdType;
    if (isRecord09(*m_pSdr)) return m_pSdr->body.t09_01.eventReadingBaseType == kThresholdType;
    return false;
}

ErrorType CSensor::GetThresholdReading(ThresholdType t, GetThresholdReadingStruct* out)
{
    if (!out) return IPMAPI_ERROR_BAD_ARGUMENT;
    if (!m_pSdr || !m_pController) return IPMAPI_ERROR_NO_PATH;
    if (!servesThresholds()) return IPMAPI_ERROR_WRONG_VERSION;
    return isRecord10(*m_pSdr) ? thresholdReading10(t, out) : thresholdReading09(t, out);
}

ErrorType CSensor::SetThresholdValue(SetThresholdValueStruct v)
{
    if (!m_pSdr || !m_pController) return IPMAPI_ERROR_NO_PATH;
    if (!servesThresholds()) return IPMAPI_ERROR_WRONG_VERSION;
    return isRecord10(*m_pSdr) ? thresholdSetting10(v) : thresholdSetting09(v);
}

namespace {

// The converted value of one threshold byte, as a reading of the record.
template <class Layout>
void fillThreshold(CSensor& sensor, const Sdr& sdr, const Layout& r, UINT8 raw,
                   GetThresholdReadingStruct* out)
{
    out->bRawReading = raw;
    out->SensorUnitsBase = r.sensorUnits2;
    out->SensorUnitsModifier = r.sensorUnits3;
    out->SensorType = r.sensorType;
    SensorReadingStruct reading{};
    reading.tAnalog.bRawReading = raw;
    sensor.RawToConverted(sdr.sdrVersion, &reading);
    out->rConvertedReading = reading.tAnalog.rConvertedReading;
}

} // namespace

ErrorType CSensor::thresholdReading10(ThresholdType t, GetThresholdReadingStruct* out)
{
    const auto& r = m_pSdr->body.t10_01;
    return guarded([&]() -> ErrorType {
        SdGetSensorThresholdRequest request{};
        request.bVersion = 10;
        request.Ver10.sensorNumber = r.sensorNumber;
        const SdGetSensorThresholdResponse response = m_pController->GetSensorThreshold(request);
        if (response.bVersion != 10) return IPMAPI_ERROR_WRONG_VERSION;
        if (static_cast<unsigned>(t) > ThresholdType_UNR) return IPMAPI_ERROR_BAD_ARGUMENT;
        if (!(response.Ver10.thresholdMask & (1u << t))) return IPMAPI_ERROR_THRESHOLD_ACCESS;
        if (r.eventReadingBaseType == 0) return IPMAPI_ERROR_UNSUPPORTED_SENSOR;
        const UINT8* values = &response.Ver10.lNCThresholdValue;
        fillThreshold(*this, *m_pSdr, r, values[t], out);
        return 0;
    });
}

ErrorType CSensor::thresholdSetting10(SetThresholdValueStruct v)
{
    if (static_cast<unsigned>(v.eThreshold) > ThresholdType_UNR) return IPMAPI_ERROR_BAD_ARGUMENT;
    UINT8 raw = 0;
    if (ErrorType e = ConvertedToRaw(m_pSdr->sdrVersion, v.rConvertedValue, &raw)) return e;
    return guarded([&]() -> ErrorType {
        SdSetSensorThresholdRequest request{};
        request.bVersion = 10;
        request.Ver10.sensorNumber = m_pSdr->body.t10_01.sensorNumber;
        request.Ver10.thresholdMask = static_cast<UINT8>(1u << v.eThreshold);
        (&request.Ver10.lNCThresholdValue)[v.eThreshold] = raw;
        return m_pController->SetSensorThreshold(request).bVersion == 10
                   ? ErrorType{0}
                   : ErrorType{IPMAPI_ERROR_WRONG_VERSION};
    });
}

ErrorType CSensor::thresholdAccess09(ThresholdType t, bool setting)
{
    const auto& r = m_pSdr->body.t09_01;
    if (((r.sensorCapabilities >> 4) & 3) == 0) return IPMAPI_ERROR_NO_THRESHOLDS;
    if (static_cast<unsigned>(t) > ThresholdType_UNR) return IPMAPI_ERROR_BAD_ARGUMENT;
    const UINT8 mask = setting ? r.settableThresholdMask : r.readableThresholdMask;
    return mask & (1u << t) ? ErrorType{0} : ErrorType{IPMAPI_ERROR_THRESHOLD_ACCESS};
}

ErrorType CSensor::thresholdReading09(ThresholdType t, GetThresholdReadingStruct* out)
{
    if (ErrorType e = thresholdAccess09(t, false)) return e;
    const auto& r = m_pSdr->body.t09_01;
    return guarded([&]() -> ErrorType {
        SdGetSensorThresholdRequest request{};
        request.bVersion = 9;
        request.Ver09.sensorNumber = r.sensorNumber;
        request.Ver09.thresholdCode = kThresholdCodes09[t];
        const SdGetSensorThresholdResponse response = m_pController->GetSensorThreshold(request);
        if (response.bVersion != 9) return IPMAPI_ERROR_WRONG_VERSION;
        fillThreshold(*this, *m_pSdr, r, response.Ver09.thresholdValue, out);
        return 0;
    });
}

ErrorType CSensor::thresholdSetting09(SetThresholdValueStruct v)
{
    if (ErrorType e = thresholdAccess09(v.eThreshold, true)) return e;
    UINT8 raw = 0;
    if (ErrorType e = ConvertedToRaw(m_pSdr->sdrVersion, v.rConvertedValue, &raw)) return e;
    return guarded([&]() -> ErrorType {
        SdSetSensorThresholdRequest request{};
        request.bVersion = 9;
        request.Ver09.sensorNumber = m_pSdr->body.t09_01.sensorNumber;
        request.Ver09.thresholdCode = kThresholdCodes09[v.eThreshold];
        request.Ver09.thresholdValue = raw;
        return m_pController->SetSensorThreshold(request).bVersion == 9
                   ? ErrorType{0}
                   : ErrorType{IPMAPI_ERROR_WRONG_VERSION};
    });
}
