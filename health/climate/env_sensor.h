// One environment sensor of the management controller as the environment MIB sees it: codes,
// scaled readings, limits and thresholds from its SDR and live readings, and checked writes of
// thresholds and hysteresis.
#pragma once

#include <cstdint>
#include <optional>

#include "qvbmc.h"

enum SDR_FIELD {
    SDR_SENSOR_TYPE = 0,
    SDR_SENSOR_NUMBER = 1,
    SDR_SENSOR_UNITS_1 = 2,
    SDR_SENSOR_UNITS_2 = 3,
    SDR_SENSOR_UNITS_3 = 4,
    SDR_TOLERANCE = 5,
    SDR_ACCURACY = 6,
    SDR_bACCURACY = 7,
    SDR_OEM = 8,
    SDR_NOMINAL_READING = 9,
    SDR_EXPONENTS = 10,
    SDR_bLSB = 11,
    SDR_mLSB = 12,
    SDR_RECORD_TYPE = 13,
    SDR_NORMAL_MAXIMUM = 14,
    SDR_NORMAL_MINIMUM = 15,
    SDR_POSITIVE_HYSTERISIS = 16,
    SDR_NEGATIVE_HYSTERISIS = 17,
    SDR_ENTITY_ID = 18,
    SDR_MAXIMUM = 19,
    SDR_MINIMUM = 20,
};

// Threshold codes: the bits of the SDR threshold masks and of the threshold status byte.
enum {
    THRESHOLD_LNC = 1,
    THRESHOLD_LC = 2,
    THRESHOLD_LNR = 4,
    THRESHOLD_UNC = 8,
    THRESHOLD_UC = 16,
    THRESHOLD_UNR = 32,
    HYSTERISIS_POSITIVE = 224,
    HYSTERISIS_NEGATIVE = 240,
};

// IPMI sensor types the service serves.
enum { SENSOR_TEMPERATURE = 1, SENSOR_VOLTAGE = 2, SENSOR_FAN = 4, SENSOR_CHASSIS = 5 };

// GetStatus codes.
enum { STATUS_OTHER = 1, STATUS_UNKNOWN = 2, STATUS_OK = 3, STATUS_NON_CRITICAL = 4,
       STATUS_CRITICAL = 5, STATUS_NON_RECOVERABLE = 6 };

// Byte `field` of the sensor's SDR at the position of its version and record type; 0 when the
// sensor has no SDR or the record does not carry the field.
int GetSdrField(CSensorExport* poSensor, SDR_FIELD field);

class CEnvSensor {
public:
    explicit CEnvSensor(CSensorExport* poSensor) : m_poSensor(poSensor) {}
    virtual ~CEnvSensor() = default;
    CEnvSensor(const CEnvSensor&) = default;
    CEnvSensor& operator=(const CEnvSensor&) = default;

    int GetType() const;
    int GetLocation() const;
    int GetDescription() const;
    int GetStatus() const;
    int GetNormalMaximum() const;
    int GetNormalMinimum() const;
    int GetMaximum() const;
    int GetMinimum() const;
    int GetLowerNonCritical() const;
    int GetUpperNonCritical() const;
    int GetLowerCritical() const;
    int GetUpperCritical() const;
    int GetLowerNonRecoverable() const;
    int GetUpperNonRecoverable() const;
    int GetResolution() const;
    int GetTolerance() const;
    int GetAccuracy() const;
    int GetPositiveHysterisis() const;
    int GetNegativeHysterisis() const;
    // Power of ten of the served threshold units: -2 (hundredths) for temperature and voltage.
    int GetUnitModifier() const;

    bool SetLowerNonCritical(long value);
    bool SetUpperNonCritical(long value);
    bool SetLowerCritical(long value);
    bool SetUpperCritical(long value);
    bool SetLowerNonRecoverable(long value);
    bool SetUpperNonRecoverable(long value);
    bool SetPositiveHysterisis(unsigned long value);
    bool SetNegativeHysterisis(unsigned long value);

    // The SDR's linear conversion (the result exponent is not applied).
    double ConvertXToY(uint8_t x) const;
    uint8_t ConvertYToX(long y) const;

    bool CheckThreshold(int type, long value) const;

protected:
    const uint8_t* Sdr() const;
    bool IsFull() const;
    int Field(SDR_FIELD f) const { return GetSdrField(m_poSensor, f); }
    int M() const;
    int B() const;
    int K1() const;
    int ResultExponent() const;
    // x as the signed number its analog data format gives.
    int SignedRaw(uint8_t x) const;
    // The one exact conversion of every served value: (M * x + B * 10^K1) * 10^powerOfTen,
    // truncated toward zero.
    int Scaled(uint8_t x, int powerOfTen) const;
    // A raw byte the controller read (reading or threshold), with the result exponent applied
    // as the library does.
    int ScaledLive(uint8_t raw, int powerOfTen) const;
    // The conversion back: the signed raw value x with (M * x + B * 10^K1) * 10^powerOfTen
    // nearest `value` toward zero in x, that is (value / 10^powerOfTen - B * 10^K1) / M
    // truncated; none when M is 0 or no byte of the analog format holds it.
    std::optional<int> SignedRawFor(long value, int powerOfTen) const;
    // Settable threshold mask, hysteresis settability and compact event/reading type.
    int SettableMask() const;
    bool HysterisisSettable() const;
    int CompactEventReadingType() const;
    // Converted live reading times 10^powerOfTen; 0 for a compact record or a failed reading.
    int ScaledReading(int powerOfTen) const;
    int Threshold(ThresholdType type) const;
    bool SetThreshold(int code, ThresholdType type, long value);
    bool SetHysterisis(bool positive, unsigned long value);
    bool CheckPositiveThreshold(int type, long value) const;
    bool CheckNegativeThreshold(int type, long value) const;
    int ThresholdByCode(int code) const;
    int GetClosestGreaterThreshold(int type) const;
    int GetClosestLesserThreshold(int type) const;

    CSensorExport* m_poSensor;
};

class CEnvVoltageSensor : public CEnvSensor {
public:
    using CEnvSensor::CEnvSensor;
    int GetLevel() const { return ScaledReading(2); }
    int GetNominalLevel() const;
};

class CEnvTemperatureSensor : public CEnvSensor {
public:
    using CEnvSensor::CEnvSensor;
    int GetReading() const { return ScaledReading(2); }
    int GetNominalReading() const;
};

class CEnvFanSensor : public CEnvSensor {
public:
    using CEnvSensor::CEnvSensor;
    int GetReading() const { return ScaledReading(0); }
    int GetNominalReading() const;
};
