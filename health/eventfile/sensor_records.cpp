#include "sensor_records.h"

#include "qvbmccache.h"

#include <cstdlib>
#include <cstring>

// The results are those of the event file library (qveventfile.h), whose sdType this unit
// cannot see beside the cache client's.
namespace {
constexpr int kTooSmall = 0x100012;
constexpr int kNoSensorRecord = 0x100201;
constexpr int kNoPackage = 0x100202;
constexpr int kNoRecordSource = 0x100203;
constexpr unsigned kFetching = 0xFFFF;

int request(unsigned op, unsigned package, unsigned unit, void* into, unsigned size)
{
    unsigned got = 0;
    const unsigned result =
        QvIpmiGetData(op, package, unit, nullptr, {static_cast<unsigned char*>(into), size}, &got);
    if (result != 0) return static_cast<int>(result);
    return got < size ? kTooSmall : 0;
}
} // namespace

CSensorRecords vSensorCache;

int CSensorRecords::AllocSDRSpace()
{
    if (fSDRsAlloced) return 0;
    int result = 0;
    if (nSDRs == 0) {
        IpmiInfoType info{};
        result = request(IPMI_REQ_SYSTEM, 0, 0, &info, sizeof info);
        if (result == 0) {
            nSDRs = info.nSensors;
            nPackages = info.nPackages;
        }
    }
    nSDRsRead = 0;
    if (result == 0 && nPackages > 0) result = GetPackageInfo(0);
    if (result == 0) {
        prgSDRs = static_cast<PipeSDR*>(std::calloc(nSDRs > 0 ? nSDRs : 1, sizeof(PipeSDR)));
        if (prgSDRs == nullptr) result = 12;
    }
    if (result != 0) {
        ReleaseSDRSpace();
        return result;
    }
    fSDRsAlloced = 1;
    return 0;
}

void CSensorRecords::ReleaseSDRSpace()
{
    std::free(prgSDRs);
    prgSDRs = nullptr;
    fSDRsAlloced = 0;
    nSDRs = nPackages = nSDRsRead = iSDRNext = iPackageNext = 0;
    PkgInfo = {};
}

int CSensorRecords::GetPackageInfo(unsigned package)
{
    if (package >= nPackages) return kNoPackage;
    const unsigned previous = iPackageNext;
    iPackageNext = kFetching;
    const int result = request(IPMI_REQ_PACKAGE, package, 0, &PkgInfo, sizeof PkgInfo);
    if (result != 0) {
        iPackageNext = previous;
        return result;
    }
    iPackageNext = package;
    iSDRNext = 0;
    return 0;
}

int CSensorRecords::GetPackageSDR(unsigned index)
{
    if (index >= PkgInfo.nSensors) return kNoSensorRecord;
    if (nSDRsRead >= nSDRs) return kNoSensorRecord;   // the packages hold more than announced
    const unsigned previous = iSDRNext;
    iSDRNext = kFetching;
    const int result = request(IPMI_REQ_SENSOR_RECORD, iPackageNext, index, &prgSDRs[nSDRsRead], sizeof(PipeSDR));
    if (result != 0) {
        iSDRNext = previous;
        return result;
    }
    iSDRNext = index;
    ++nSDRsRead;
    return 0;
}

int CSensorRecords::FetchThrough(unsigned index)
{
    while (nSDRsRead <= index) {
        while (iSDRNext >= PkgInfo.nSensors) {
            const int result = GetPackageInfo(iPackageNext + 1);
            if (result != 0) return result;
        }
        const int result = GetPackageSDR(iSDRNext);
        if (result != 0) return result;
        ++iSDRNext;
    }
    return 0;
}

bool CSensorRecords::FMatchSDR(const PipeSDR& record, unsigned char ownerId, unsigned char sensorType,
                               unsigned char sensorNumber)
{
    return record.sensorOwnerId == ownerId && record.sensorType == sensorType &&
           record.sensorNumber == sensorNumber;
}

int CSensorRecords::FindSDR(unsigned index, PipeSDR** sdr)
{
    int result = AllocSDRSpace();
    if (result != 0) return result;
    if (index >= nSDRs) return kNoSensorRecord;
    result = FetchThrough(index);
    if (result != 0) return result;
    *sdr = &prgSDRs[index];
    return 0;
}

int CSensorRecords::FindSDR(unsigned char ownerId, unsigned char sensorType, unsigned char sensorNumber,
                            PipeSDR** sdr)
{
    const int result = AllocSDRSpace();
    if (result != 0) return result;
    for (unsigned e = 0; e < nSDRs; ++e) {
        const int fetched = FetchThrough(e);
        if (fetched != 0) return fetched;
        if (FMatchSDR(prgSDRs[e], ownerId, sensorType, sensorNumber)) {
            *sdr = &prgSDRs[e];
            return 0;
        }
    }
    return kNoSensorRecord;
}

int LookUpSDR(const Sel& record, PipeSDR** sdr)
{
    // Software generators and the BIOS have no sensor records, and sensor 0 names none.
    if (record.generatorId == 0x42 || record.generatorId == 0x43 || record.generatorId == 0x21 ||
        record.sensorNumber == 0)
        return kNoRecordSource;
    return vSensorCache.FindSDR(record.generatorId, record.sensorType, record.sensorNumber, sdr);
}
