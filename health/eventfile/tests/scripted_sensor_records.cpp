#include "scripted_sensor_records.h"

#include "qvbmccache.h"
#include "sensor_records.h"

#include <algorithm>
#include <cstring>

namespace qveventfile::test {

ScriptedCache& scriptedCache()
{
    static ScriptedCache cache;
    return cache;
}

void resetScriptedCache()
{
    scriptedCache() = {};
    vSensorCache.ReleaseSDRSpace();
}

PipeSDR sensorRecord(unsigned char owner, unsigned char type, unsigned char number, const char* name,
                     unsigned char oem)
{
    PipeSDR r{};
    r.sensorOwnerId = owner;
    r.sensorType = type;
    r.sensorNumber = number;
    r.oem = oem;
    const size_t length = std::min<size_t>(std::strlen(name), 15);
    r.nameTypeLength = static_cast<uint8_t>(0xC0 | length);
    std::memcpy(r.name, name, length);
    return r;
}

} // namespace qveventfile::test

using qveventfile::test::scriptedCache;

extern "C" unsigned int QvIpmiGetData(unsigned int opCode, unsigned int iPackage, unsigned int iUnit,
                                      ParamsType*, sdType data, unsigned int* got)
{
    auto& cache = scriptedCache();
    cache.requests.push_back(opCode);
    *got = 0;
    if (!cache.answers) return 1;
    const auto reply = [&](const void* bytes, unsigned size) {
        *got = std::min(size, data.cb);
        std::memcpy(data.pb, bytes, *got);
        return 0u;
    };
    if (opCode == IPMI_REQ_SYSTEM) {
        IpmiInfoType info{};
        info.bVersion = 0x51;
        info.nPackages = static_cast<uint32_t>(cache.packages.size());
        info.nSensors = cache.announcedSensors;
        return reply(&info, sizeof info);
    }
    if (iPackage >= cache.packages.size()) return IPMI_STATUS_NO_PACKAGE;
    const auto& records = cache.packages[iPackage].records;
    if (opCode == IPMI_REQ_PACKAGE) {
        PkgInfoType info{};
        info.nSensors = static_cast<uint32_t>(records.size());
        return reply(&info, sizeof info);
    }
    if (opCode == IPMI_REQ_SENSOR_RECORD && iUnit < records.size()) return reply(&records[iUnit], sizeof(PipeSDR));
    return IPMI_STATUS_NO_SENSOR;
}
