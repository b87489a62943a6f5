// Sensor data records as the repository returns them: conversion factors of every record
// version and both directions of the reading conversion.
#include "sensor.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < sizeof(Sdr)) return 0;
    Sdr sdr;
    std::memcpy(&sdr, data, sizeof sdr);
    const qv::bmc::ConversionFactors factors = qv::bmc::conversionFactors(sdr);
    for (unsigned raw = 0; raw < 256; ++raw) {
        UINT8 byte = UINT8(raw);
        const double value = qv::bmc::rawToConverted(factors, byte);
        UINT8 back = 0;
        if (std::isfinite(value)) (void)qv::bmc::convertedToRaw(factors, value, &back);
    }
    double probe;
    if (size >= sizeof(Sdr) + sizeof probe) {
        std::memcpy(&probe, data + sizeof(Sdr), sizeof probe);
        UINT8 back = 0;
        (void)qv::bmc::convertedToRaw(factors, probe, &back);
    }
    (void)qv::bmc::remapThresholdStatus09(data[0]);
    (void)qv::bmc::MyPow(10, int8_t(data[1]));
    return 0;
}
