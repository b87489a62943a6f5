#include "controller_fixture.h"
#include "sensor.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <set>

namespace qv::bmc::test {
namespace {

nlohmann::json defaultScenario()
{
    std::ifstream in(QV_SCENARIO_DIR "/default.json");
    return nlohmann::json::parse(in);
}

using SystemTest = ControllerFixture;

TEST_F(SystemTest, ScanFindsBaseboardFirstThenSatellitesInAddressOrder)
{
    startWith(defaultScenario());
    CIPMSystemExport* system = CreateIPMSystem();
    ASSERT_NE(system, nullptr);
    sim_.clearJournal();
    system->Initialize();
    ASSERT_EQ(system->GetPackageCount(), 3);
    const UINT8 expected[] = {0x20, 0x22, 0x28};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(system->GetPackage(i)->GetController()->GetAddress(), expected[i]);
    EXPECT_EQ(system->GetPackage(3), nullptr);
    EXPECT_EQ(system->GetSdr(-1), nullptr);
    EXPECT_EQ(system->GetSdr(system->GetSdrCount()), nullptr);
    EXPECT_EQ(system->GetSdrCount(), 7);
    EXPECT_EQ(system->GetSelEntryCount(), static_cast<int>(defaultScenario()["bmc"]["sel"].size()));
    // Every even slave address but the baseboard's own is probed on the bus once.
    std::set<int> probed;
    for (const auto& e : sim_.journal())
        if (e.requestCode == qv::sim::kIpmbFrameCode && !e.request.empty())
            probed.insert(e.request[0] == 0 && e.request.size() > 1 ? e.request[1] : e.request[0]);
    EXPECT_EQ(probed.size(), 118u);
    EXPECT_EQ(probed.count(0x20), 0u);
    EXPECT_EQ(*probed.begin(), 2);
    EXPECT_EQ(*probed.rbegin(), 238);

    CIPMPackageExport* baseboard = system->GetPackage(0);
    ASSERT_EQ(baseboard->GetSensorCount(), 3);
    SensorReadingStruct reading{};
    ASSERT_EQ(baseboard->GetSensor(1)->GetReading(&reading), 0u);
    EXPECT_EQ(reading.ReadingType, 1u);
    EXPECT_EQ(reading.tAnalog.bRawReading, 191);
    EXPECT_NEAR(reading.tAnalog.rConvertedReading, 12.033, 1e-9);
    GetThresholdReadingStruct threshold{};
    ASSERT_EQ(baseboard->GetSensor(1)->GetThresholdReading(ThresholdType_UC, &threshold), 0u);
    EXPECT_NEAR(threshold.rConvertedReading, 13.23, 1e-9);
    EXPECT_EQ(baseboard->GetSensor(1)->GetThresholdReading(ThresholdType_UNR, &threshold), 0xA0160000u);
    ASSERT_EQ(baseboard->GetSensor(1)->SetThresholdValue({ThresholdType_UC, 13.0}), 0u);
    ASSERT_EQ(baseboard->GetSensor(1)->GetThresholdReading(ThresholdType_UC, &threshold), 0u);
    EXPECT_EQ(threshold.bRawReading, 206);

    // Sensors come from the baseboard's repository only; a satellite's own record reads across
    // the bus through the satellite's controller.
    CIPMPackageExport* power = system->GetPackage(1);
    EXPECT_EQ(power->GetSensorCount(), 0);
    Sdr record{};
    const auto bytes = sim_.satelliteSdrEntries(0x22).at(0).bytes;
    memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
    CSensor remote(&record, power->GetController());
    ASSERT_EQ(remote.GetReading(&reading), 0u);
    EXPECT_DOUBLE_EQ(reading.tAnalog.rConvertedReading, 42.0);

    // The FRU locator and the controller locator of 0x20 (capabilities and support 0x2F).
    ASSERT_EQ(baseboard->GetFruCount(), 2);
    CFruExport* fru = baseboard->GetFru(0);
    ASSERT_EQ(fru->ReadFruData(), 0u);
    FormattedFruDataStruct* f = fru->GetFormattedFruData();
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->ChassisInfoArea.pszType, "Rack Mount Chassis");
    EXPECT_STREQ(f->BoardInfoArea.pszSerialNumber, "QVB0005678");
    EXPECT_STREQ(f->BoardInfoArea.pszMfgDateTime, "Mon Jan  1 12:00:00 1996");
    EXPECT_STREQ(f->ProductInfoArea.pszSerialNumber, "QV99120047");
    EXPECT_STREQ(f->ProductInfoArea.pszVersion, "1.0");
    EXPECT_EQ(fru->WriteFruData(nullptr, 0), 0xAFFF0000u);
    DestroyIPMSystem(system);
    DestroyIPMSystem(nullptr);
    DestroyIPMPackage(nullptr);
}

TEST_F(SystemTest, SdrRecordsAreReadInPiecesEachUnderAFreshReservation)
{
    nlohmann::json bmc = {{"sdr", nlohmann::json::array()}};
    // A record longer than the cache entry holds: cut at 59 body bytes.
    std::string longRecord = "01 00 01 c0 40";
    for (int i = 0; i < 0x40; ++i) longRecord += " 11";
    bmc["sdr"].push_back({{"kind", "full"}, {"id", 1}, {"number", 1}, {"name", "Baseboard Temp"}});
    bmc["sdr"].push_back({{"kind", "raw"}, {"bytes", longRecord}});
    startWith(bmc);
    CIPMSystemExport* system = CreateIPMSystem();
    ASSERT_NE(system, nullptr);
    sim_.clearJournal();
    system->RebuildSdrRepository(0);
    ASSERT_EQ(system->GetSdrCount(), 2);
    EXPECT_EQ(system->GetSdr(0)->recordLength, sim_.sdrEntries()[0].bytes.size() - 5);
    EXPECT_EQ(memcmp(system->GetSdr(0)->body.t10_01.name, "Baseboard Temp", 14), 0);
    EXPECT_EQ(system->GetSdr(1)->recordLength, 59);
    EXPECT_EQ(system->GetSdr(1)->body.t10_C0.version[55], 0x11);
    // Reserve, Get SDR alternate: every read follows its own reservation.
    std::vector<std::pair<int, int>> reads;   // command, offset
    for (const auto& e : sim_.journal())
        if (e.requestCode != qv::sim::kIpmbFrameCode && e.request.size() >= 2 && (e.request[0] >> 2) == 0x0A &&
            (e.request[1] == 0x22 || e.request[1] == 0x23))
            reads.emplace_back(e.request[1], e.request[1] == 0x23 && e.request.size() > 6 ? e.request[6] : -1);
    ASSERT_FALSE(reads.empty());
    for (size_t i = 0; i < reads.size(); i += 2) {
        EXPECT_EQ(reads[i].first, 0x22);
        ASSERT_LT(i + 1, reads.size());
        EXPECT_EQ(reads[i + 1].first, 0x23);
    }
    EXPECT_EQ(reads[1].second, 0);
    EXPECT_EQ(reads[3].second, 5);
    EXPECT_EQ(reads[5].second, 21);
    DestroyIPMSystem(system);
}

std::vector<uint8_t> addSel(uint8_t sensor)
{
    return {0x0A << 2, 0x44, 0, 0, 0x02, 0, 0, 0, 0, 0x20, 0, 0x04, 0x01, sensor, 0x01, 0x57, 0x41, 0x37};
}

TEST_F(SystemTest, SelRefreshAppendsEntriesOfTheSameSecondAndRebuildsAfterClear)
{
    startWith({{"clock", 946684800},
               {"sel", {{{"timestamp", 946684700}, {"sensorNumber", 1}}}}});
    CIPMSystemExport* system = CreateIPMSystem();
    ASSERT_NE(system, nullptr);
    system->RebuildSystemEventLog(0);
    ASSERT_EQ(system->GetSelEntryCount(), 1);
    // Added in the very second of the last look: only the count tells.
    sim_.handleMessage(addSel(7));
    sim_.handleMessage(addSel(8));
    system->RefreshSystemEventLog();
    ASSERT_EQ(system->GetSelEntryCount(), 3);
    EXPECT_EQ(system->GetSelEntry(1)->sensorNumber, 7);
    EXPECT_EQ(system->GetSelEntry(2)->sensorNumber, 8);
    system->RefreshSystemEventLog();
    EXPECT_EQ(system->GetSelEntryCount(), 3);

    sim_.advanceClock(2000);
    const auto reservation = sim_.handleMessage({0x0A << 2, 0x42});
    sim_.handleMessage({0x0A << 2, 0x47, reservation[3], reservation[4], 'C', 'L', 'R', 0xAA});
    sim_.handleMessage(addSel(9));
    system->RefreshSystemEventLog();
    ASSERT_EQ(system->GetSelEntryCount(), 1);
    EXPECT_EQ(system->GetSelEntry(0)->sensorNumber, 9);
    DestroyIPMSystem(system);
}

TEST_F(SystemTest, CompactRecordsBecomeOneSensorPerSharedInstance)
{
    // Compact record: owner 0x20, number 0x40, entity 0x1D, share count 4 numeric from 1, "Fan";
    // a software-owned full record (owner 0x41) that never becomes a sensor.
    const std::string compact =
        "05 00 01 02 1e 20 00 40 1d 01 7f 40 04 6f 00 00 00 00 00 00 00 00 00 04 01 00 00 00 00 00 00 c3 46 61 6e";
    startWith({{"sdr",
                {{{"kind", "raw"}, {"bytes", compact}},
                 {{"kind", "full"}, {"id", 6}, {"owner", "0x41"}, {"number", 9}, {"name", "Soft"}}}}});
    CIPMPackageExport* package = CreateIPMPackage(0x120, 0, nullptr);
    ASSERT_NE(package, nullptr);
    EXPECT_EQ(package->GetController()->GetAddress(), 0x20);
    ASSERT_EQ(package->GetSensorCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const Sdr* s = package->GetSensor(i)->GetSdr();
        EXPECT_EQ(s->body.t10_02.sensorNumber, 0x40 + i);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(s->body.t10_02.name), 4),
                  "Fan" + std::to_string(i + 1));
    }
    EXPECT_EQ(package->GetSensor(4), nullptr);
    DestroyIPMPackage(package);
}

} // namespace
} // namespace qv::bmc::test
