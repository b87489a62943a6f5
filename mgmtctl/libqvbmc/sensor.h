// One sensor of a package: its record copy, the controller that owns it, and the conversions
// between raw bytes and engineering values.
#pragma once

#include "ipmobjectsexport.h"

namespace qv::bmc {

enum class AnalogFormat { Unsigned = 0, OnesComplement = 1, TwosComplement = 2, None = 3 };

struct ConversionFactors {
    int m = 0, b = 0, k = 0, r = 0;
    AnalogFormat format = AnalogFormat::Unsigned;
    int linearization = 0;
};

inline bool isRecord09(const Sdr& sdr) { return sdr.sdrVersion == 0x10 || sdr.sdrVersion == 0x90; }
inline bool isRecord10(const Sdr& sdr) { return sdr.sdrVersion == 0x01; }

// 1 for n = 0 and |n| > 15, else 10^n by repeated multiplication or division.
double MyPow(int base, int n);
// Factors of a 1.0 full or 0.9 type 1 record.
ConversionFactors conversionFactors(const Sdr& sdr);
// (M x + B 10^K) 10^R; format None reads every raw byte as 0 and sets it to 0.
double rawToConverted(const ConversionFactors& f, UINT8& raw);
// 0 and the raw byte, or 0xA0140000 (M = 0) / 0xA0150000 (out of range) with the raw byte 0.
ErrorType convertedToRaw(const ConversionFactors& f, double value, UINT8* raw);
// 0.9 threshold status bits in the 1.0 positions.
UINT8 remapThresholdStatus09(UINT8 status09);

} // namespace qv::bmc

class CSensor : public CSensorExport {
public:
    CSensor(const Sdr* pSdr, CIPMControllerExport* pController);
    CSensor(const CSensor&) = delete;
    CSensor& operator=(const CSensor&) = delete;

    ErrorType GetReading(SensorReadingStruct* pReading) override;
    ErrorType GetThresholdReading(ThresholdType eThreshold,
                                  GetThresholdReadingStruct* pReading) override;
    ErrorType SetThresholdValue(SetThresholdValueStruct value) override;
    Sdr* GetSdr() override;
    CIPMControllerExport* GetController() override;
    virtual ~CSensor();

    ErrorType RawToConverted(UINT8 bSdrVersion, SensorReadingStruct* pReading);
    ErrorType ConvertedToRaw(UINT8 bSdrVersion, double rValue, UINT8* pbRaw);

private:
    ErrorType analogReading10(SensorReadingStruct* out);
    ErrorType discreteReading10(SensorReadingStruct* out);
    ErrorType analogReading09(SensorReadingStruct* out);
    ErrorType discreteReading09(SensorReadingStruct* out);
    ErrorType thresholdReading10(ThresholdType t, GetThresholdReadingStruct* out);
    ErrorType thresholdSetting10(SetThresholdValueStruct v);
    ErrorType thresholdAccess09(ThresholdType t, bool setting);
    ErrorType thresholdReading09(ThresholdType t, GetThresholdReadingStruct* out);
    ErrorType thresholdSetting09(SetThresholdValueStruct v);
    bool servesThresholds() const;

    Sdr* m_pSdr = nullptr;
    CIPMControllerExport* m_pController = nullptr;
};
