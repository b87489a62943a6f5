// Stand-in system, package and sensor objects for the cache service's request handling: two
// sensors in one package, each with a cached record and a reading the caller may change.
#pragma once

#include <request_handler.h>

#include <cstring>
#include <vector>

namespace qv::bmccache::test {

class FakeSensor : public CSensorExport {
public:
    FakeSensor()
    {
        reading.ReadingType = 1;
        reading.SensorType = 2;
        reading.tAnalog.bRawReading = 0x42;
    }
    ErrorType GetReading(SensorReadingStruct* r) override
    {
        std::memcpy(r, &reading, sizeof reading);
        return readingResult;
    }
    ErrorType GetThresholdReading(ThresholdType, GetThresholdReadingStruct*) override { return 0; }
    ErrorType SetThresholdValue(SetThresholdValueStruct) override { return 0; }
    Sdr* GetSdr() override { return hasSdr ? &sdr : nullptr; }
    CIPMControllerExport* GetController() override { return nullptr; }
    virtual ~FakeSensor() = default;

    Sdr sdr{};
    SensorReadingStruct reading{};
    bool hasSdr = true;
    ErrorType readingResult = 0;
};

class FakePackage : public CIPMPackageExport {
public:
    void RebuildSensorList() override {}
    void RebuildFruList() override {}
    int GetSensorCount() override { return static_cast<int>(sensors.size()); }
    int GetFruCount() override { return 2; }
    CIPMControllerExport* GetController() override { return nullptr; }
    CSensorExport* GetSensor(int i) override { return &sensors.at(static_cast<size_t>(i)); }
    CFruExport* GetFru(int) override { return nullptr; }
    virtual ~FakePackage() = default;

    std::vector<FakeSensor> sensors = std::vector<FakeSensor>(2);
};

class FakeSystem : public CIPMSystemExport {
public:
    void Initialize() override {}
    ErrorType RebuildPackageList() override { return 0; }
    void RebuildSdrRepository(unsigned short) override {}
    void RebuildSystemEventLog(unsigned short) override {}
    void RefreshSdrRepository() override {}
    void RefreshSystemEventLog() override {}
    int GetPackageCount() override { return 1; }
    int GetSdrCount() override { return 2; }
    int GetSelEntryCount() override { return 0; }
    CIPMBaseControllerExport* GetBaseController() override { return nullptr; }
    CIPMPackageExport* GetPackage(int i) override { return i == 0 ? &package : nullptr; }
    Sdr* GetSdr(int) override { return nullptr; }
    Sel* GetSelEntry(int) override { return nullptr; }
    virtual ~FakeSystem() = default;

    FakePackage package;
};

} // namespace qv::bmccache::test
