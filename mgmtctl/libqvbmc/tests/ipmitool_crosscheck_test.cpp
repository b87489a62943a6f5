// Our sensor conversions and FRU texts against the stock ipmitool reading the same simulated
// controller through its dummy interface, while we reach it through the device node.
#include "pause_hook.h"
#include "qvbmc.h"
#include "service_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace qv::bmc::test {
namespace {

using qv::test::kIpmitool;
constexpr unsigned kBoardMfgMinutes = 12345678;   // a date ipmitool prints (0 is "Unspecified")

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> split(const std::string& line, char separator)
{
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, separator);) out.push_back(trim(field));
    return out;
}

std::string threeDecimals(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string sensorName(const Sdr* r)
{
    return std::string(reinterpret_cast<const char*>(r->body.t10_01.name), r->body.t10_01.nameTypeLength & 0x1F);
}

// Seconds since the epoch of an asctime-like text read as UTC, -1 when it does not parse.
long long utcSeconds(const std::string& text)
{
    std::tm tm{};
    if (!strptime(text.c_str(), "%a %b %d %H:%M:%S %Y", &tm)) return -1;
    return static_cast<long long>(timegm(&tm));
}

class IpmitoolCrossCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(kIpmitool, X_OK) != 0) GTEST_SKIP() << "ipmitool is not installed";
        qv::test::makeDirectories(root_.path() + "/var/qvserver");
        qv::test::makeDirectories(root_.path() + "/dev");
        nlohmann::json scenario = qv::test::defaultScenario();
        scenario["bmc"]["fru"]["board"]["mfgMinutes"] = kBoardMfgMinutes;
        ASSERT_TRUE(qv::test::startSimulator(sim_, root_, scenario));
        qv::mgmtctl::setPauseHookForTests([](int) {});
        RegisterWithAPI();
        system_ = CreateIPMSystem();
        ASSERT_NE(system_, nullptr);
        system_->Initialize();
        ASSERT_GE(system_->GetPackageCount(), 1);
        baseboard_ = system_->GetPackage(0);
    }
    void TearDown() override
    {
        if (system_) DestroyIPMSystem(system_);
        UnRegisterWithAPI();
        qv::mgmtctl::setPauseHookForTests(nullptr);
        sim_.stop();
    }
    std::string ipmitool(const std::vector<std::string>& command)
    {
        const auto result = qv::test::runIpmitool(root_, command);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }

    qv::test::TempRoot root_;
    qv::test::ChildProcess sim_;
    CIPMSystemExport* system_ = nullptr;
    CIPMPackageExport* baseboard_ = nullptr;
};

TEST_F(IpmitoolCrossCheck, ThresholdSensorReadingsAndThresholdsAgree)
{
    // name | reading | unit | status | lnr | lc | lnc | unc | uc | unr
    std::map<std::string, std::vector<std::string>> rows;
    std::stringstream listing(ipmitool({"sensor", "list"}));
    for (std::string line; std::getline(listing, line);) {
        auto fields = split(line, '|');
        if (fields.size() >= 10) rows[fields[0]] = fields;
    }
    // ipmitool's columns in our threshold order LNC, LC, LNR, UNC, UC, UNR.
    const int column[6] = {6, 5, 4, 7, 8, 9};
    int compared = 0;
    for (int i = 0; i < baseboard_->GetSensorCount(); ++i) {
        CSensorExport* sensor = baseboard_->GetSensor(i);
        const Sdr* record = sensor->GetSdr();
        if (record->recordType != 1 || record->body.t10_01.eventReadingBaseType != 1) continue;
        const std::string name = sensorName(record);
        ASSERT_TRUE(rows.count(name)) << name << " missing from ipmitool's list";
        const auto& row = rows[name];
        SensorReadingStruct reading{};
        ASSERT_EQ(sensor->GetReading(&reading), 0u) << name;
        EXPECT_EQ(threeDecimals(reading.tAnalog.rConvertedReading), row[1]) << name;
        for (int t = 0; t < 6; ++t) {
            GetThresholdReadingStruct threshold{};
            const ErrorType rc = sensor->GetThresholdReading(static_cast<ThresholdType>(t), &threshold);
            if (row[column[t]] == "na") {
                EXPECT_EQ(rc, 0xA0160000u) << name << " threshold " << t;
            } else {
                ASSERT_EQ(rc, 0u) << name << " threshold " << t;
                EXPECT_EQ(threeDecimals(threshold.rConvertedReading), row[column[t]]) << name << " threshold " << t;
            }
        }
        ++compared;
    }
    EXPECT_EQ(compared, static_cast<int>(rows.size()));
    EXPECT_GE(compared, 3);
}

TEST_F(IpmitoolCrossCheck, FruBoardProductAndChassisTextsAgree)
{
    std::map<std::string, std::string> printed;
    std::stringstream listing(ipmitool({"fru", "print", "0"}));
    for (std::string line; std::getline(listing, line);) {
        const auto colon = line.find(" : ");
        if (colon != std::string::npos) printed[trim(line.substr(0, colon))] = trim(line.substr(colon + 3));
    }
    FormattedFruDataStruct* fru = nullptr;
    for (int i = 0; i < baseboard_->GetFruCount() && !fru; ++i)
        if (baseboard_->GetFru(i)->ReadFruData() == 0) fru = baseboard_->GetFru(i)->GetFormattedFruData();
    ASSERT_NE(fru, nullptr);
    const struct {
        const char* label;
        const char* ours;
    } fields[] = {
        {"Chassis Type", fru->ChassisInfoArea.pszType},
        {"Chassis Part Number", fru->ChassisInfoArea.pszPartNumber},
        {"Chassis Serial", fru->ChassisInfoArea.pszSerialNumber},
        {"Board Mfg", fru->BoardInfoArea.pszManufacturerName},
        {"Board Product", fru->BoardInfoArea.pszProductName},
        {"Board Serial", fru->BoardInfoArea.pszSerialNumber},
        {"Board Part Number", fru->BoardInfoArea.pszPartNumber},
        {"Product Manufacturer", fru->ProductInfoArea.pszManufacturerName},
        {"Product Name", fru->ProductInfoArea.pszProductName},
        {"Product Part Number", fru->ProductInfoArea.pszPartNumber},
        {"Product Version", fru->ProductInfoArea.pszVersion},
        {"Product Serial", fru->ProductInfoArea.pszSerialNumber},
        {"Product Asset Tag", fru->ProductInfoArea.pszAssetTag},
    };
    for (const auto& f : fields) {
        ASSERT_TRUE(printed.count(f.label)) << f.label;
        ASSERT_NE(f.ours, nullptr) << f.label;
        EXPECT_EQ(printed[f.label], f.ours) << f.label;
    }
    // Ours counts the minutes from noon of the base day, the standard from midnight.
    ASSERT_NE(fru->BoardInfoArea.pszMfgDateTime, nullptr);
    const long long theirs = utcSeconds(printed["Board Mfg Date"]);
    const long long ours = utcSeconds(fru->BoardInfoArea.pszMfgDateTime);
    ASSERT_GT(theirs, 0) << printed["Board Mfg Date"];
    ASSERT_GT(ours, 0) << fru->BoardInfoArea.pszMfgDateTime;
    EXPECT_EQ(ours - theirs, 12 * 3600);
    EXPECT_EQ(theirs, 820454400LL + 60LL * kBoardMfgMinutes);
}

} // namespace
} // namespace qv::bmc::test
