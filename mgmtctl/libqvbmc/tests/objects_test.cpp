// Packages, sensors and FRU devices of a scenario that mixes both record generations, shared
// compact records, discrete sensors and EEPROMs behind private buses.
#include "controller_fixture.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <string>

namespace qv::bmc::test {
namespace {

nlohmann::json scenario(const char* name)
{
    std::ifstream in(std::string(QV_SCENARIO_DIR) + "/" + name);
    return nlohmann::json::parse(in);
}

std::string sensorName(CSensorExport* s)
{
    const Sdr* r = s->GetSdr();
    if (r->recordType == 2 && (r->sdrVersion == 0x10 || r->sdrVersion == 0x90))
        return std::string(reinterpret_cast<const char*>(r->body.t09_02.name), r->body.t09_02.nameTypeLength & 0x1F);
    if (r->recordType == 2)
        return std::string(reinterpret_cast<const char*>(r->body.t10_02.name), r->body.t10_02.nameTypeLength & 0x1F);
    if (r->sdrVersion == 0x10 || r->sdrVersion == 0x90)
        return std::string(reinterpret_cast<const char*>(r->body.t09_01.name), r->body.t09_01.nameTypeLength & 0x1F);
    return std::string(reinterpret_cast<const char*>(r->body.t10_01.name), r->body.t10_01.nameTypeLength & 0x1F);
}

CSensorExport* findSensor(CIPMPackageExport* p, const std::string& name)
{
    for (int i = 0; i < p->GetSensorCount(); ++i)
        if (sensorName(p->GetSensor(i)) == name) return p->GetSensor(i);
    return nullptr;
}

class ObjectsTest : public ControllerFixture {
protected:
    void SetUp() override
    {
        ControllerFixture::SetUp();
        startWith(scenario("ipmi-objects.json"));
        system_ = CreateIPMSystem();
        ASSERT_NE(system_, nullptr);
        system_->Initialize();
        ASSERT_EQ(system_->GetPackageCount(), 2);
        baseboard_ = system_->GetPackage(0);
        legacy_ = system_->GetPackage(1);
        ASSERT_EQ(legacy_->GetController()->GetAddress(), 0x24);
    }
    void TearDown() override
    {
        DestroyIPMSystem(system_);
        ControllerFixture::TearDown();
    }
    CIPMSystemExport* system_ = nullptr;
    CIPMPackageExport* baseboard_ = nullptr;
    CIPMPackageExport* legacy_ = nullptr;
};

TEST(DefaultScenarioFru, ControllerLocatorsGiveFruDevicesWhereTheControllerSupportsThem)
{
    qv::test::TempRoot root;
    std::filesystem::create_directories(root.path() + "/var/qvserver");
    std::filesystem::create_directories(root.path() + "/dev");
    qv::mgmtctl::setPauseHookForTests([](int) {});
    RegisterWithAPI();
    qv::sim::ControllerSimulator sim;
    sim.loadScenario(scenario("default.json"));
    sim.start();
    CIPMPackageExport* power = CreateIPMPackage(0x22, 0, nullptr);
    ASSERT_NE(power, nullptr);
    // Locator 0x22 has capabilities 0x09 and the controller reports support 0x09.
    ASSERT_EQ(power->GetFruCount(), 1);
    EXPECT_EQ(power->GetFru(0)->GetSdr()->recordType, 0x12);
    ASSERT_EQ(power->GetFru(0)->ReadFruData(), 0u);
    EXPECT_STREQ(power->GetFru(0)->GetFormattedFruData()->ProductInfoArea.pszSerialNumber, "QVP0012345");
    EXPECT_STREQ(power->GetFru(0)->GetFormattedFruData()->ProductInfoArea.pszProductName, "Velkarn PSU 400W");
    DestroyIPMPackage(power);
    sim.stop();
    UnRegisterWithAPI();
    qv::mgmtctl::setPauseHookForTests(nullptr);
}

TEST_F(ObjectsTest, SharedCompactRecordsNameNumberAndEntityEachInstance)
{
    struct Expect {
        const char* name;
        int number;
        int entity;
    } expected[] = {{"Fan1", 0x40, 29}, {"Fan2", 0x41, 29}, {"Fan3", 0x42, 29}, {"Fan4", 0x43, 29},
                    {"PSY", 0x50, 10},  {"PSZ", 0x51, 11},  {"PS", 0x52, 12},    {"Chassis Intru", 0x60, 7}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        CSensorExport* s = findSensor(baseboard_, e.name);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetSdr()->body.t10_02.sensorNumber, e.number);
        EXPECT_EQ(s->GetSdr()->body.t10_02.entityId, e.entity);
    }
    // Records the baseboard does not own stay with their owner's package.
    EXPECT_EQ(findSensor(baseboard_, "Legacy Temp"), nullptr);
    EXPECT_EQ(baseboard_->GetSensorCount(), 10);
}

TEST_F(ObjectsTest, DiscreteReadingsKeepTheirStateBits)
{
    struct Case {
        const char* name;
        unsigned readingType;
        unsigned states;
    } cases[] = {{"Fan2", 0x6F, 0x01}, {"Chassis Intru", 0x6F, 0x41}, {"PS Redundancy", 0x0B, 0x02}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SensorReadingStruct r{};
        ASSERT_EQ(findSensor(baseboard_, c.name)->GetReading(&r), 0u);
        EXPECT_EQ(r.ReadingType, c.readingType);
        EXPECT_EQ(r.tDiscrete.wStateAssertions, c.states);
    }
    GetThresholdReadingStruct t{};
    EXPECT_EQ(findSensor(baseboard_, "PS Redundancy")->GetThresholdReading(ThresholdType_UC, &t), 0xA0120000u);
}

TEST_F(ObjectsTest, TwosComplementSensorConvertsBothWays)
{
    CSensorExport* s = findSensor(baseboard_, "Ambient Temp");
    ASSERT_NE(s, nullptr);
    SensorReadingStruct r{};
    ASSERT_EQ(s->GetReading(&r), 0u);
    EXPECT_EQ(r.tAnalog.bRawReading, 0xF6);
    EXPECT_DOUBLE_EQ(r.tAnalog.rConvertedReading, 30.0);   // 2 * -10 + 5 * 10
    GetThresholdReadingStruct t{};
    ASSERT_EQ(s->GetThresholdReading(ThresholdType_LNC, &t), 0u);
    EXPECT_DOUBLE_EQ(t.rConvertedReading, 30.0);
    ASSERT_EQ(s->SetThresholdValue({ThresholdType_UNC, 10.0}), 0u);   // raw -20
    ASSERT_EQ(s->GetThresholdReading(ThresholdType_UNC, &t), 0u);
    EXPECT_EQ(t.bRawReading, 0xEC);
    EXPECT_EQ(s->SetThresholdValue({ThresholdType_UNC, -208.0}), 0xA0150000u);
}

TEST_F(ObjectsTest, EarlierGenerationSensorsThroughTheirSatellite)
{
    ASSERT_EQ(legacy_->GetSensorCount(), 3);
    CSensorExport* temp = findSensor(legacy_, "Legacy Temp");
    ASSERT_NE(temp, nullptr);
    SensorReadingStruct r{};
    ASSERT_EQ(temp->GetReading(&r), 0u);
    EXPECT_EQ(r.ReadingType, 1u);
    EXPECT_DOUBLE_EQ(r.tAnalog.rConvertedReading, 47.0);
    // 47 is at or above UNC (45) only: 1.0 bit 3.
    EXPECT_EQ(r.tAnalog.bThresholdStatus, 0x08);

    // Each threshold travels under its own earlier code; a value set under one comes back under
    // the same one and nowhere else.
    struct Threshold {
        ThresholdType type;
        double value;
    } thresholds[] = {{ThresholdType_LNR, 2}, {ThresholdType_LNC, 10}, {ThresholdType_UNC, 45}, {ThresholdType_UC, 50}};
    GetThresholdReadingStruct t{};
    for (const auto& th : thresholds) {
        SCOPED_TRACE(th.type);
        ASSERT_EQ(temp->GetThresholdReading(th.type, &t), 0u);
        EXPECT_DOUBLE_EQ(t.rConvertedReading, th.value);
    }
    ASSERT_EQ(temp->SetThresholdValue({ThresholdType_LNR, 4.0}), 0u);
    ASSERT_EQ(temp->GetThresholdReading(ThresholdType_LNR, &t), 0u);
    EXPECT_EQ(t.bRawReading, 4);
    ASSERT_EQ(temp->GetThresholdReading(ThresholdType_LC, &t), 0xA0160000u);   // not in the readable mask
    ASSERT_EQ(temp->GetThresholdReading(ThresholdType_LNC, &t), 0u);
    EXPECT_EQ(t.bRawReading, 10);
    EXPECT_EQ(temp->SetThresholdValue({ThresholdType_UNR, 60.0}), 0xA0160000u);

    ASSERT_EQ(findSensor(legacy_, "Legacy Door")->GetReading(&r), 0u);
    EXPECT_EQ(r.ReadingType, 3u);
    EXPECT_EQ(r.tDiscrete.wStateAssertions, 1);
    ASSERT_EQ(findSensor(legacy_, "Legacy State")->GetReading(&r), 0u);
    EXPECT_EQ(r.ReadingType, 2u);
    EXPECT_EQ(r.tDiscrete.wStateAssertions, 0x4005);   // flags byte (events, scanning) over the state byte
}

TEST_F(ObjectsTest, EarlierGenerationSensorWithScanningOffOrOutOfRange)
{
    sim_.stop();
    auto j = scenario("ipmi-objects.json");
    j["bmc"]["satellites"][0]["sensors"][0]["scanning"] = false;
    j["bmc"]["satellites"][0]["sensors"][0]["reading"] = 1;
    startWith(j);
    SensorReadingStruct r{};
    EXPECT_EQ(findSensor(legacy_, "Legacy Temp")->GetReading(&r), 0xA01A0000u);
    EXPECT_EQ(findSensor(legacy_, "Legacy State")->GetReading(&r), 0u);
}

TEST_F(ObjectsTest, EepromsBehindPrivateBusesReadWhole)
{
    ASSERT_EQ(baseboard_->GetFruCount(), 2);   // the two EEPROM locators
    std::map<std::string, CFruExport*> byBoard;
    for (int i = 0; i < baseboard_->GetFruCount(); ++i) {
        CFruExport* f = baseboard_->GetFru(i);
        ASSERT_EQ(f->ReadFruData(), 0u) << i;
        byBoard[f->GetFormattedFruData()->BoardInfoArea.pszSerialNumber] = f;
    }
    ASSERT_EQ(byBoard.count("QVD0000128"), 1u);
    ASSERT_EQ(byBoard.count("QVR0000512"), 1u);
    EXPECT_EQ(byBoard["QVD0000128"]->GetFruDataLength(), 256);
    CFruExport* riser = byBoard["QVR0000512"];
    ASSERT_EQ(riser->GetFruDataLength(), 512);
    // The product area ends in the second 256-byte block, which answers at the next slave
    // address; its checksum held, so the block came from the right place.
    EXPECT_GT((riser->GetFruData()[4] + riser->GetFruData()[riser->GetFruData()[4] * 8 + 1]) * 8, 256);
    EXPECT_STREQ(riser->GetFormattedFruData()->ProductInfoArea.pszSerialNumber, "QVRP000512");
    EXPECT_STREQ(riser->GetFormattedFruData()->ChassisInfoArea.pszType, "Bus Expansion Chassis");
    EXPECT_STREQ(riser->GetFormattedFruData()->ProductInfoArea.pszAssetTag, "riser-tag");
    bool crossedBlocks = false;
    for (const auto& e : sim_.journal())
        if (e.request.size() >= 4 && e.request[1] == 0x52 && e.request[2] == 0x05 && e.request[3] == 0xA6)
            crossedBlocks = true;
    EXPECT_TRUE(crossedBlocks);
}

TEST_F(ObjectsTest, FruInWordsBehindAnEarlierGenerationController)
{
    ASSERT_EQ(legacy_->GetFruCount(), 1);
    CFruExport* f = legacy_->GetFru(0);
    EXPECT_EQ(f->GetSdr()->recordType, 0x10);
    sim_.clearJournal();
    ASSERT_EQ(f->ReadFruData(), 0u);
    ASSERT_EQ(f->GetFruDataLength(), 128);
    const auto expected = sim_.satelliteFruData(0x24);
    EXPECT_EQ(memcmp(f->GetFruData(), expected.data(), 128), 0);
    EXPECT_STREQ(f->GetFormattedFruData()->ProductInfoArea.pszSerialNumber, "QVL0000009");
    // Read FRU Data of the earlier shape: offset in words, 8 words a piece.
    std::vector<int> offsets;
    for (const auto& e : sim_.journal())
        if (e.requestCode == qv::sim::kIpmbFrameCode && e.request.size() == 10 && e.request[5] == 0x11) {
            EXPECT_EQ(e.request[8], 8);
            offsets.push_back(e.request[6] | e.request[7] << 8);
        }
    ASSERT_EQ(offsets.size(), 8u);
    for (size_t i = 0; i < offsets.size(); ++i) EXPECT_EQ(offsets[i], static_cast<int>(8 * i));
}

} // namespace
} // namespace qv::bmc::test
