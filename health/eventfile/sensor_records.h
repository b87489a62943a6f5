// The sensor data records of the whole system, fetched from the IPMI cache service one at a time
// as look-ups need them and kept for the life of the process.
#pragma once

#include "ipmipipe_protocol.h"
#include "qveventlog.h"

class CSensorRecords {
public:
    CSensorRecords() = default;
    ~CSensorRecords() { ReleaseSDRSpace(); }
    CSensorRecords(const CSensorRecords&) = delete;
    CSensorRecords& operator=(const CSensorRecords&) = delete;

    int FindSDR(unsigned char ownerId, unsigned char sensorType, unsigned char sensorNumber, PipeSDR** sdr);
    // The index-th record in fetch order.
    int FindSDR(unsigned index, PipeSDR** sdr);
    static bool FMatchSDR(const PipeSDR& record, unsigned char ownerId, unsigned char sensorType,
                          unsigned char sensorNumber);
    int AllocSDRSpace();
    void ReleaseSDRSpace();
    int GetPackageInfo(unsigned package);
    int GetPackageSDR(unsigned index);

    unsigned nSDRs = 0;
    unsigned nPackages = 0;
    unsigned nSDRsRead = 0;
    unsigned iSDRNext = 0;
    unsigned iPackageNext = 0;
    int fSDRsAlloced = 0;
    PipeSDR* prgSDRs = nullptr;
    PkgInfoType PkgInfo{};

private:
    // Fetches records until `index` has been read.
    int FetchThrough(unsigned index);
};

extern CSensorRecords vSensorCache;

// The cached record of the sensor that generated `record`.
int LookUpSDR(const Sel& record, PipeSDR** sdr);
