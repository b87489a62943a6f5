#include "env_sensor.h"
#include "sensor.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// A sensor with a hand-made SDR, a fixed reading and recorded threshold writes. Raw bytes are
// converted, and written values turned back into raw bytes, by the library's own conversion.
class FakeSensor : public CSensorExport {
public:
    FakeSensor() { std::memset(&sdr, 0, sizeof sdr); }
    virtual ~FakeSensor() = default;
    ErrorType GetReading(SensorReadingStruct* r) override
    {
        *r = reading;
        if (bytes()[3] == 1) {   // analog readings of full records only: the union holds either
            r->tAnalog.bRawReading = rawReading;
            r->tAnalog.rConvertedReading = qv::bmc::rawToConverted(qv::bmc::conversionFactors(sdr), r->tAnalog.bRawReading);
        }
        return readingResult;
    }
    ErrorType GetThresholdReading(ThresholdType t, GetThresholdReadingStruct* r) override
    {
        r->bRawReading = rawThresholds[t];
        r->rConvertedReading = qv::bmc::rawToConverted(qv::bmc::conversionFactors(sdr), r->bRawReading);
        return 0;
    }
    ErrorType SetThresholdValue(SetThresholdValueStruct v) override
    {
        writes.push_back(v);
        return qv::bmc::convertedToRaw(qv::bmc::conversionFactors(sdr), v.rConvertedValue,
                                       &rawThresholds[v.eThreshold]);
    }
    Sdr* GetSdr() override { return hasSdr ? &sdr : nullptr; }
    CIPMControllerExport* GetController() override { return nullptr; }

    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(&sdr); }
    // An IPMI 1.0 full record of a sensor type with M, B, K1, the result exponent and the analog
    // format.
    void full10(int type, int m, int b = 0, int k1 = 0, uint8_t format = 0, int r = 0)
    {
        uint8_t* s = bytes();
        s[2] = 0x01; s[3] = 1; s[12] = static_cast<uint8_t>(type);
        s[20] = format;
        s[24] = static_cast<uint8_t>(m & 0xFF); s[25] = static_cast<uint8_t>((m >> 2) & 0xC0);
        s[26] = static_cast<uint8_t>(b & 0xFF); s[27] = static_cast<uint8_t>((b >> 2) & 0xC0);
        s[29] = static_cast<uint8_t>((k1 & 0x0F) | ((r & 0x0F) << 4));
    }

    ::Sdr sdr;
    bool hasSdr = true;
    SensorReadingStruct reading{};
    uint8_t rawReading = 0;
    ErrorType readingResult = 0;
    uint8_t rawThresholds[6] = {};
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

// Readings and thresholds are the converted value times the kind's factor, truncated toward zero
// from the exact value: never a binary fraction first.
struct Factors { int type, m, b, k1, r; uint8_t format; };

TEST(EnvSensorExactTest, ReadingAndThresholdOfOneRawByteAgree)
{
    struct Case { Factors f; uint8_t raw; int expected; };
    const Case cases[] = {
        {{2, 1, 0, 0, -2, 0x00}, 29, 29},             // 0.29 V exactly
        {{4, 5, 460, 2, -2, 0x00}, 15, 460},          // 460.75 rpm truncated, not rounded
        {{1, 1, 0, 0, 0, 0x00}, 38, 3800},            // 38 degrees
        {{2, 63, 0, 0, -3, 0x00}, 191, 1203},         // 12.033 V
        {{2, -3, 0, 0, -2, 0x00}, 10, -30},           // negative M
        {{2, -3, 255, 0, -2, 0x00}, 18, 201},         // negative M with an offset
        {{2, 7, 0, 0, -1, 0x80}, 0xFE, -140},         // two's complement
        {{2, 2, 0, 0, 0, 0x40}, 0xFE, -200},          // one's complement: 0xFE is -1
        {{4, 1, -5, -1, 0, 0x00}, 3, 2},              // 2.5 toward zero
        {{4, 1, -5, -1, 0, 0x00}, 0, 0},              // -0.5 toward zero
        {{2, 1, 0, 0, -2, 0xC0}, 29, 0},              // no analog reading
        {{2, 511, 511, 7, 7, 0x00}, 255, 2147483647}, // beyond an int: the largest
    };
    for (const Case& c : cases) {
        FakeSensor f;
        f.full10(c.f.type, c.f.m, c.f.b, c.f.k1, c.f.format, c.f.r);
        f.rawReading = c.raw;
        f.rawThresholds[ThresholdType_UC] = c.raw;
        CEnvSensor s(&f);
        const int reading = c.f.type == SENSOR_VOLTAGE       ? CEnvVoltageSensor(&f).GetLevel()
                            : c.f.type == SENSOR_TEMPERATURE ? CEnvTemperatureSensor(&f).GetReading()
                                                             : CEnvFanSensor(&f).GetReading();
        EXPECT_EQ(reading, c.expected) << "M " << c.f.m << " raw " << int(c.raw);
        EXPECT_EQ(s.GetUpperCritical(), c.expected) << "M " << c.f.m << " raw " << int(c.raw);
    }
}

TEST(EnvSensorExactTest, SetWritesTheByteOfTheConversionBackAndGetReadsItsValue)
{
    struct Case { Factors f; long set; int raw; int get; };
    const Case cases[] = {
        {{2, 1, 0, 0, -2, 0x00}, 29, 29, 29},          // 0.29 V lands on its own byte
        {{2, 2, 0, 0, -2, 0x00}, 29, 14, 28},          // 14.5 steps: truncated
        {{2, 63, 0, 0, -3, 0x00}, 1203, 190, 1197},    // 190.95 steps
        {{2, -2, 0, 0, -2, 0x00}, -29, 14, -28},       // negative M
        {{2, -3, 255, 0, -2, 0x00}, 200, 18, 201},     // negative M with an offset: 18.33 steps
        {{2, 7, 0, 0, -1, 0x80}, -145, 0xFE, -140},    // two's complement, -2.07 steps
        {{2, 2, 0, 0, 0, 0x40}, -250, 0xFE, -200},     // one's complement, -1.25 steps
        {{1, 1, 0, 0, 0, 0x00}, 2345, 23, 2300},       // 23.45 degrees
    };
    for (const Case& c : cases) {
        FakeSensor f;
        f.full10(c.f.type, c.f.m, c.f.b, c.f.k1, c.f.format, c.f.r);
        uint8_t* s = f.bytes();
        s[19] = THRESHOLD_UC;
        const bool signedFormat = c.f.format != 0;
        s[34] = signedFormat ? 0x7F : 255;   // maximum and minimum: the whole range
        s[35] = signedFormat ? 0x80 : 0;
        CEnvSensor sensor(&f);
        SCOPED_TRACE(testing::Message() << "M " << c.f.m << " set " << c.set);
        ASSERT_TRUE(sensor.SetUpperCritical(c.set));
        EXPECT_EQ(f.rawThresholds[ThresholdType_UC], c.raw);
        EXPECT_EQ(sensor.GetUpperCritical(), c.get);
    }
}

TEST(EnvSensorExactTest, ValueNoByteCanHoldIsRefusedNotWrapped)
{
    FakeSensor f;
    f.full10(2, 1, 0, 0, 0x00, -3);   // 0.001 V per step; the limits are checked in steps
    uint8_t* s = f.bytes();
    s[19] = THRESHOLD_UC;
    s[34] = 255;
    CEnvSensor sensor(&f);
    EXPECT_TRUE(sensor.SetUpperCritical(25));    // 0.25 V: step 250
    EXPECT_FALSE(sensor.SetUpperCritical(26));   // step 260 is no byte
    EXPECT_EQ(f.writes.size(), 1u);
    EXPECT_EQ(sensor.GetUpperCritical(), 25);
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
    t.rawReading = 38;
    t.rawThresholds[ThresholdType_UNC] = 55;
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
    fan.rawReading = 96;
    fan.rawThresholds[ThresholdType_LC] = 20;
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
        f.full10(2, 6, 0, 0, 0, -2);   // 0.06 V per step
        uint8_t* s = f.bytes();
        s[34] = 255; s[35] = 0;      // maximum 1530, minimum 0
        s[19] = 0x1B;                // settable: LNC, LC, UNC, UC
        f.rawThresholds[ThresholdType_LC] = 170;    // 10.20 V
        f.rawThresholds[ThresholdType_LNC] = 180;   // 10.80 V
        f.rawThresholds[ThresholdType_UNC] = 210;   // 12.60 V
        f.rawThresholds[ThresholdType_UC] = 220;    // 13.20 V
    }
    FakeSensor f;
    CEnvVoltageSensor v{&f};
};

TEST_F(ThresholdWriteTest, SetHandsTheRealValueAndReadsBack)
{
    ASSERT_TRUE(v.SetLowerNonCritical(1134));
    ASSERT_EQ(f.writes.size(), 1u);
    EXPECT_EQ(f.writes[0].eThreshold, ThresholdType_LNC);
    EXPECT_EQ(f.rawThresholds[ThresholdType_LNC], 189);   // 11.34 V is 189 steps of 0.06 V
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

// Standard output pointed at a pipe for the life of the object.
class StdoutToPipe {
public:
    StdoutToPipe()
    {
        std::fflush(stdout);
        EXPECT_EQ(pipe(ends_), 0);
        fcntl(ends_[0], F_SETFL, O_NONBLOCK);
        saved_ = dup(STDOUT_FILENO);
        dup2(ends_[1], STDOUT_FILENO);
    }
    ~StdoutToPipe()
    {
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        close(ends_[0]);
        close(ends_[1]);
    }
    // What reached the pipe so far, without flushing anything.
    std::string drain()
    {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = read(ends_[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
        return text;
    }
    // Fills the pipe to the last byte; a later write to it would wait (the write end blocks).
    void fill()
    {
        fcntl(ends_[1], F_SETFL, O_NONBLOCK);
        const std::string block(4096, 'x');
        while (write(ends_[1], block.data(), block.size()) > 0) {
        }
        while (write(ends_[1], "x", 1) > 0) {
        }
        fcntl(ends_[1], F_SETFL, 0);
    }

private:
    int ends_[2] = {-1, -1};
    int saved_ = -1;
};

TEST_F(ThresholdWriteTest, CheckMessagesReachStandardOutputAtOnce)
{
    StdoutToPipe out;
    EXPECT_FALSE(v.SetLowerNonCritical(2000));
    EXPECT_FALSE(v.SetUpperCritical(1250));
    EXPECT_EQ(out.drain(), "CheckThreshold() - Threshold Value Outside Max/Min\n"
                           "CheckThreshold() - Positive UC Threshold Value > UNR or < UNC\n");
}

TEST_F(ThresholdWriteTest, FullStandardOutputNeverHoldsTheServiceUp)
{
    const pid_t child = fork();
    if (child == 0) {
        StdoutToPipe out;
        out.fill();
        for (int i = 0; i < 1000; ++i) (void)v.SetLowerNonCritical(2000);
        _exit(f.writes.empty() ? 0 : 1);
    }
    int status = -1;
    for (int waited = 0; waited < 10000 && waitpid(child, &status, WNOHANG) == 0; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!WIFEXITED(status)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the checks waited on a full standard output";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
