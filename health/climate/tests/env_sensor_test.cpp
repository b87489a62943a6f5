#include "env_sensor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A sensor with a hand-made SDR, a fixed reading and recorded threshold writes.
class FakeSensor : public CSensorExport {
public:
    FakeSensor() { std::memset(&sdr, 0, sizeof sdr); }
    virtual ~FakeSensor() = default;
    ErrorType GetReading(SensorReadingStruct* r) override { *r = reading; return readingResult; }
    ErrorType GetThresholdReading(ThresholdType t, GetThresholdReadingStruct* r) override
    {
        r->rConvertedReading = thresholds[t];
        return 0;
    }
    ErrorType SetThresholdValue(SetThresholdValueStruct v) override
    {
        writes.push_back(v);
        thresholds[v.eThreshold] = v.rConvertedValue;
        return 0;
    }
    Sdr* GetSdr() override { return hasSdr ? &sdr : nullptr; }
    CIPMControllerExport* GetController() override { return nullptr; }

    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(&sdr); }
    // An IPMI 1.0 full record of a sensor type with M, B, K1 and the analog format.
    void full10(int type, int m, int b = 0, int k1 = 0, uint8_t format = 0)
    {
        uint8_t* s = bytes();
        s[2] = 0x01; s[3] = 1; s[12] = static_cast<uint8_t>(type);
        s[20] = format;
        s[24] = static_cast<uint8_t>(m & 0xFF); s[25] = static_cast<uint8_t>((m >> 2) & 0xC0);
        s[26] = static_cast<uint8_t>(b & 0xFF); s[27] = static_cast<uint8_t>((b >> 2) & 0xC0);
        s[29] = static_cast<uint8_t>(k1 & 0x0F);
    }

    ::Sdr sdr;
    bool hasSdr = true;
    SensorReadingStruct reading{};
    ErrorType readingResult = 0;
    double thresholds[6] = {};
    std::vector<SetThresholdValueStruct> writes;
};

TEST(EnvSensorTest, ConversionCoversTenBitMSignedFormatsAndK1)
{
    struct Case { int m, b, k1; uint8_t format, x; double y; };
    const Case cases[] = {
        {1, 0, 0, 0x00, 200, 200},          // unsigned
        {-3, 0, 0, 0x00, 10, -30},          // negative 10-bit M
        {300, 0, 0, 0x00, 2, 600},          // M above 8 bits
        {2, 0, 0, 0x80, 0xFE, -4},          // two's complement
        {2, 0, 0, 0x40, 0xFE, -2},          // one's complement: 0xFE is -1
        {1, 5, 2, 0x00, 1, 501},            // B times 10^K1
        {1, 50, -1, 0x00, 0, 5},            // negative K1
        {0, 7, 1, 0x00, 99, 70},            // M = 0: only the offset
    };
    for (const Case& c : cases) {
        FakeSensor f;
        f.full10(2, c.m, c.b, c.k1, c.format);
        CEnvSensor s(&f);
        EXPECT_DOUBLE_EQ(s.ConvertXToY(c.x), c.y) << c.m << " " << int(c.x);
    }
    FakeSensor f;
    f.full10(2, 0, 7, 1);
    EXPECT_EQ(CEnvSensor(&f).ConvertYToX(500), 0);
    f.full10(2, 2, 0, 0, 0x40);
    EXPECT_EQ(CEnvSensor(&f).ConvertYToX(-2), 0xFE);
    f.full10(2, 63);
    EXPECT_EQ(CEnvSensor(&f).ConvertYToX(12033), 191);
}

TEST(EnvSensorTest, FieldPositionsFollowVersionAndRecordType)
{
    FakeSensor f;
    uint8_t* s = f.bytes();
    s[2] = 0x10; s[3] = 1; s[13] = 4; s[46] = 29;
    EXPECT_EQ(GetSdrField(&f, SDR_SENSOR_TYPE), 4);
    EXPECT_EQ(GetSdrField(&f, SDR_ENTITY_ID), 29);
    s[3] = 2; s[15] = 1; s[25] = 7;
    EXPECT_EQ(GetSdrField(&f, SDR_SENSOR_TYPE), 1);
    EXPECT_EQ(GetSdrField(&f, SDR_ENTITY_ID), 7);
    EXPECT_EQ(GetSdrField(&f, SDR_mLSB), 0);   // not in a compact record
    s[2] = 0x33;
    EXPECT_EQ(GetSdrField(&f, SDR_SENSOR_TYPE), 0);
    EXPECT_EQ(GetSdrField(&f, SDR_RECORD_TYPE), 2);
    f.hasSdr = false;
    EXPECT_EQ(GetSdrField(&f, SDR_RECORD_TYPE), 0);
}

TEST(EnvSensorTest, LocationAndDescriptionCodes)
{
    struct Case { int type, entity, oem, location, description; };
    const Case cases[] = {
        {2, 1, 0, 7, 7}, {2, 25, 3, 3, 11}, {2, 9, 6, 11, 1}, {2, 50, 99, 10, 2},
        {1, 70, 12, 6, 5}, {1, 130, 40, 5, 12}, {1, 200, 18, 2, 2},
        {4, 110, 24, 4, 3}, {4, 17, 30, 9, 4}, {4, 33, 1, 8, 2}, {3, 2, 1, 1, 0},
    };
    for (const Case& c : cases) {
        FakeSensor f;
        f.full10(c.type, 1);
        f.bytes()[8] = static_cast<uint8_t>(c.entity);
        f.bytes()[46] = static_cast<uint8_t>(c.oem);
        CEnvSensor s(&f);
        EXPECT_EQ(s.GetLocation(), c.location) << c.entity;
        EXPECT_EQ(s.GetDescription(), c.description) << c.type << " " << c.oem;
    }
}

TEST(EnvSensorTest, StatusTakesTheWorstThresholdCrossingInIpmi10BitOrder)
{
    struct Case { uint8_t bits; int status; };
    const Case cases[] = {{0x00, 3}, {0x01, 4}, {0x08, 4}, {0x02, 5}, {0x10, 5},
                          {0x04, 6}, {0x20, 6}, {0x09, 4}, {0x13, 5}, {0x3F, 6}};
    for (const Case& c : cases) {
        FakeSensor f;
        f.full10(2, 1);
        f.reading.tAnalog.bThresholdStatus = c.bits;
        EXPECT_EQ(CEnvSensor(&f).GetStatus(), c.status) << int(c.bits);
    }
    FakeSensor f;
    f.full10(2, 1);
    f.readingResult = 0xA01A0000;
    EXPECT_EQ(CEnvSensor(&f).GetStatus(), 4);
    f.readingResult = 0xA0010000;
    EXPECT_EQ(CEnvSensor(&f).GetStatus(), 2);
    f.hasSdr = false;
    EXPECT_EQ(CEnvSensor(&f).GetStatus(), 2);
}

TEST(EnvSensorTest, CompactRecordsAnswerZeroAndRefuseWrites)
{
    FakeSensor f;
    uint8_t* s = f.bytes();
    s[2] = 0x01; s[3] = 2; s[12] = 2; s[13] = 3; s[19] = 0x3F;
    CEnvVoltageSensor v(&f);
    EXPECT_EQ(v.GetMaximum() + v.GetResolution() + v.GetTolerance() + v.GetAccuracy() +
                  v.GetPositiveHysterisis() + v.GetLevel() + v.GetNominalLevel(), 0);
    EXPECT_FALSE(v.SetLowerNonCritical(0));
    f.reading.tDiscrete.wStateAssertions = 1;
    EXPECT_EQ(v.GetStatus(), 4);
    f.reading.tDiscrete.wStateAssertions = 0;
    EXPECT_EQ(v.GetStatus(), 3);
}

TEST(EnvSensorTest, ScalingPerSensorKind)
{
    FakeSensor t;
    t.full10(1, 1);
    uint8_t* s = t.bytes();
    s[31] = 35; s[34] = 120; s[25] |= 0x05; s[28] = 0x54; s[27] |= 0x03;
    t.reading.tAnalog.rConvertedReading = 38.0;
    t.thresholds[ThresholdType_UNC] = 55.0;
    CEnvTemperatureSensor temp(&t);
    EXPECT_EQ(temp.GetReading(), 3800);
    EXPECT_EQ(temp.GetNominalReading(), 350);
    EXPECT_EQ(temp.GetMaximum(), 1200);
    EXPECT_EQ(temp.GetUpperNonCritical(), 5500);
    EXPECT_EQ(temp.GetResolution(), 100);
    EXPECT_EQ(temp.GetTolerance(), 100);                 // (5 * 2) * M, times 10
    EXPECT_EQ(temp.GetAccuracy(), ((0x50 << 2) | 3) * 10);

    FakeSensor fan;
    fan.full10(4, 30);
    fan.bytes()[31] = 100;
    fan.reading.tAnalog.rConvertedReading = 2880.0;
    fan.thresholds[ThresholdType_LC] = 600.0;
    CEnvFanSensor fs(&fan);
    EXPECT_EQ(fs.GetReading(), 2880);
    EXPECT_EQ(fs.GetNominalReading(), 3000);
    EXPECT_EQ(fs.GetLowerCritical(), 600);
    EXPECT_EQ(fs.GetResolution(), 0);
}

class ThresholdWriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        f.full10(2, 6);
        uint8_t* s = f.bytes();
        s[34] = 255; s[35] = 0;      // maximum 1530, minimum 0
        s[19] = 0x1B;                // settable: LNC, LC, UNC, UC
        f.thresholds[ThresholdType_LC] = 10.20;
        f.thresholds[ThresholdType_LNC] = 10.80;
        f.thresholds[ThresholdType_UNC] = 12.60;
        f.thresholds[ThresholdType_UC] = 13.20;
    }
    FakeSensor f;
    CEnvVoltageSensor v{&f};
};

TEST_F(ThresholdWriteTest, SetHandsTheRealValueAndReadsBack)
{
    ASSERT_TRUE(v.SetLowerNonCritical(1134));
    ASSERT_EQ(f.writes.size(), 1u);
    EXPECT_EQ(f.writes[0].eThreshold, ThresholdType_LNC);
    EXPECT_DOUBLE_EQ(f.writes[0].rConvertedValue, 11.34);
    EXPECT_EQ(v.GetLowerNonCritical(), 1134);
}

TEST_F(ThresholdWriteTest, ChecksRefuseWithoutWriting)
{
    testing::internal::CaptureStdout();
    EXPECT_FALSE(v.SetLowerNonCritical(2000));            // above the maximum
    EXPECT_FALSE(v.SetLowerNonCritical(1000));            // below LC
    EXPECT_FALSE(v.SetUpperCritical(1250));               // below UNC
    EXPECT_FALSE(v.SetLowerNonRecoverable(500));          // not settable
    EXPECT_FALSE(v.SetPositiveHysterisis(5));             // hysteresis not settable
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(f.writes.empty());
    EXPECT_NE(out.find("CheckThreshold() - Threshold Value Outside Max/Min\n"), std::string::npos);
    EXPECT_NE(out.find("CheckThreshold() - Positive LNC Threshold Value > UNC or < LC\n"), std::string::npos);
    EXPECT_NE(out.find("CheckThreshold() - Positive UC Threshold Value > UNR or < UNC\n"), std::string::npos);
}

TEST_F(ThresholdWriteTest, HysteresisChecksByTheSignOfM)
{
    testing::internal::CaptureStdout();
    EXPECT_TRUE(v.CheckThreshold(HYSTERISIS_POSITIVE, 12));
    EXPECT_FALSE(v.CheckThreshold(HYSTERISIS_NEGATIVE, -1));
    f.full10(2, -6);
    // maximum byte 255 is now -1530, minimum byte 0 is 0
    EXPECT_FALSE(v.CheckThreshold(HYSTERISIS_POSITIVE, -3));
    EXPECT_TRUE(v.CheckThreshold(HYSTERISIS_POSITIVE, 3));
    f.full10(2, 0);
    EXPECT_TRUE(v.CheckThreshold(THRESHOLD_LNC, 123456));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("FAIL:Hysterisis cannot be negative\n"), std::string::npos);
}

} // namespace
