#include "fru.h"
#include "ipmpackage.h"
#include "sensor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace qv::bmc::test {
namespace {

ConversionFactors factors(int m, int b, int k, int r, AnalogFormat format)
{
    ConversionFactors f;
    f.m = m, f.b = b, f.k = k, f.r = r, f.format = format;
    return f;
}

TEST(SensorConversion, RawToConvertedByFormat)
{
    struct Case {
        AnalogFormat format;
        UINT8 raw;
        double value;
        UINT8 rawAfter;
    } cases[] = {{AnalogFormat::Unsigned, 100, 250.0, 100},
                 {AnalogFormat::TwosComplement, 0xF6, 30.0, 0xF6},
                 {AnalogFormat::OnesComplement, 0xF5, 30.0, 0xF5},
                 {AnalogFormat::OnesComplement, 0xFE, 2 * -1 + 50.0, 0xFE},
                 {AnalogFormat::None, 200, 0.0, 0}};
    for (const auto& c : cases) {
        UINT8 raw = c.raw;
        EXPECT_DOUBLE_EQ(rawToConverted(factors(2, 5, 1, 0, c.format), raw), c.value) << int(c.raw);
        EXPECT_EQ(raw, c.rawAfter);
    }
    UINT8 raw = 191;
    EXPECT_NEAR(rawToConverted(factors(63, 0, 0, -3, AnalogFormat::Unsigned), raw), 12.033, 1e-9);
}

TEST(SensorConversion, ConvertedToRawAndRangeErrors)
{
    struct Case {
        AnalogFormat format;
        double value;
        ErrorType result;
        UINT8 raw;
    } cases[] = {{AnalogFormat::Unsigned, 250.0, 0, 100},
                 {AnalogFormat::Unsigned, 600.0, 0xA0150000, 0},
                 {AnalogFormat::Unsigned, 51.0, 0, 0},
                 {AnalogFormat::TwosComplement, 30.0, 0, 0xF6},
                 {AnalogFormat::TwosComplement, -208.0, 0xA0150000, 0},
                 {AnalogFormat::OnesComplement, 30.0, 0, 0xF5},
                 {AnalogFormat::None, 250.0, 0, 100}};
    for (const auto& c : cases) {
        UINT8 raw = 0x77;
        EXPECT_EQ(convertedToRaw(factors(2, 5, 1, 0, c.format), c.value, &raw), c.result) << c.value;
        EXPECT_EQ(raw, c.raw) << c.value;
    }
    UINT8 raw = 0x77;
    EXPECT_EQ(convertedToRaw(factors(0, 5, 1, 0, AnalogFormat::Unsigned), 1.0, &raw), 0xA0140000u);
    EXPECT_EQ(raw, 0);
    EXPECT_EQ(MyPow(10, 16), 1.0);
    EXPECT_EQ(MyPow(10, -2), 0.01);
}

TEST(SensorConversion, FactorsFromRecordBits)
{
    Sdr sdr{};
    sdr.sdrVersion = 0x01;
    sdr.recordType = 1;
    auto& r = sdr.body.t10_01;
    r.sensorUnits1 = 0x80;   // two's complement
    r.mLSB = 0xFE, r.mTolerance = 0xC0;   // M = -2
    r.bLSB = 0x05, r.bAccuracy = 0x40;    // B = 261
    r.exponents = 0xE1;                   // R = -2, K = 1
    r.linearization = 1;
    const ConversionFactors f = conversionFactors(sdr);
    EXPECT_EQ(f.m, -2);
    EXPECT_EQ(f.b, 261);
    EXPECT_EQ(f.r, -2);
    EXPECT_EQ(f.k, 1);
    EXPECT_EQ(f.format, AnalogFormat::TwosComplement);
    EXPECT_EQ(f.linearization, 1);
}

TEST(SensorConversion, ThresholdStatusOf09MovesToTheNewPositions)
{
    EXPECT_EQ(remapThresholdStatus09(0x01), 0x10);
    EXPECT_EQ(remapThresholdStatus09(0x08), 0x01);
    EXPECT_EQ(remapThresholdStatus09(0x04), 0x08);
    EXPECT_EQ(remapThresholdStatus09(0x20), 0x04);
    EXPECT_EQ(remapThresholdStatus09(0x3F), 0x3F);
}

Sdr compactRecord(UINT8 first, UINT8 second, const char* name)
{
    Sdr sdr{};
    sdr.sdrVersion = 0x01;
    sdr.recordType = 2;
    auto& r = sdr.body.t10_02;
    r.sensorNumber = 0x40;
    r.entityId = 0x1D;
    r.entityInstance = 1;
    r.sensorRecordSharing = static_cast<UINT16>(first | second << 8);
    const size_t length = strlen(name);
    r.nameTypeLength = static_cast<UINT8>(0xC0 | length);
    memcpy(r.name, name, std::min<size_t>(length, 16));
    sdr.recordLength = static_cast<UINT8>(27 + std::min<size_t>(length, 16));
    return sdr;
}

std::string nameOf(const Sdr& s)
{
    return std::string(reinterpret_cast<const char*>(s.body.t10_02.name), s.body.t10_02.nameTypeLength & 0x1F);
}

TEST(SharedRecords, NamesNumbersAndEntities)
{
    struct Case {
        UINT8 first, second;
        const char* name;
        int instance;
        std::string expected;
    } cases[] = {{0x04, 0x01, "Fan", 0, "Fan1"},
                 {0x04, 0x01, "Fan", 3, "Fan4"},
                 {0x13, 0x18, "Fan", 0, "FanY"},
                 {0x13, 0x18, "Fan", 1, "FanZ"},
                 {0x13, 0x18, "Fan", 2, "Fan"},
                 {0x0F, 0x0A, "Fan", 2, "Fan12"},
                 {0x0F, 0x0A, "Processor Fan", 2, "Processor Fan12"},
                 {0x0F, 0x0A, "Processor Fan 1", 2, "Processor Fan 12"},
                 {0x0F, 0x0A, "Processor Fans 1", 2, "Processor Fans12"},
                 {0x04, 0x01, "Processor Fans 1", 1, "Processor Fans 2"}};
    for (const auto& c : cases) {
        const Sdr compact = compactRecord(c.first, c.second, c.name);
        const Sdr s = sharedRecord(compact, c.instance);
        EXPECT_EQ(nameOf(s), c.expected) << c.name << " " << c.instance;
        EXPECT_EQ(s.recordLength, 27 + c.expected.size());
        EXPECT_EQ(s.body.t10_02.sensorNumber, 0x40 + c.instance);
        EXPECT_EQ(s.body.t10_02.entityId, 0x1D);
    }
    // Entity increment, and a damaged length of 31 that must not write past the name.
    Sdr wide = compactRecord(0x04, 0x8A, "Processor Fans 1");
    wide.body.t10_02.nameTypeLength = 0xDF;
    const Sdr s = sharedRecord(wide, 3);
    EXPECT_EQ(s.body.t10_02.entityId, 0x1D + 3);
    EXPECT_EQ(nameOf(s), "Processor Fans13");
    EXPECT_EQ(shareCount(wide), 4);
}

TEST(FruDecoding, FieldTexts)
{
    const UINT8 bcd[] = {0x12, 0x3A};
    const UINT8 bin[] = {0xAB, 0x01};
    const UINT8 text[] = {'Q', 'V', 0, 'X'};
    EXPECT_EQ(fieldText(1, 2, bcd), "123 ");
    const UINT8 bcdSymbols[] = {0xBC, 0xDF};
    EXPECT_EQ(fieldText(1, 2, bcdSymbols), "-.??");
    EXPECT_EQ(fieldText(0, 2, bin), "ab01");
    EXPECT_EQ(fieldText(2, 2, bin), "");
    EXPECT_EQ(fieldText(3, 1, text), "");
    EXPECT_EQ(fieldText(3, 2, text), "QV");
    EXPECT_EQ(fieldText(3, 4, text), "QV");
    EXPECT_EQ(fieldText(3, 0, text), "");
    EXPECT_EQ(manufacturingTime(0), "Mon Jan  1 12:00:00 1996");
    EXPECT_EQ(manufacturingTime(1), "Mon Jan  1 12:01:00 1996");
    EXPECT_STREQ(chassisTypeText(0x17), "Rack Mount Chassis");
    EXPECT_STREQ(chassisTypeText(0x0F), "Space-saving");
    EXPECT_EQ(chassisTypeText(0x18), nullptr);
}

// Header, chassis area (type 0x11, binary part number), board area with a date.
std::vector<UINT8> fruImage()
{
    std::vector<UINT8> image = {0x01, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00};
    std::vector<UINT8> chassis = {0x01, 0x01, 0x11, 0x02, 0xAB, 0x01, 0xC1, 0x00};
    std::vector<UINT8> board = {0x01, 0x02, 0x19, 0x01, 0x00, 0x00, 0xC2, 'Q', 'V', 0xC0, 0xC0, 0xC0,
                                0xC1, 0x00, 0x00, 0x00};
    auto seal = [](std::vector<UINT8>& bytes) {
        UINT8 sum = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) sum = static_cast<UINT8>(sum + bytes[i]);
        bytes.back() = static_cast<UINT8>(-sum);
    };
    seal(image);
    seal(chassis);
    seal(board);
    image.insert(image.end(), chassis.begin(), chassis.end());
    image.insert(image.end(), board.begin(), board.end());
    return image;
}

TEST(FruDecoding, StructureSumsAndFormat)
{
    std::vector<UINT8> image = fruImage();
    FruDataStruct s;
    ASSERT_EQ(structureFruData(image.data(), image.size(), &s), 0u);
    EXPECT_EQ(checkFruSums(image.data(), image.size(), s), 0u);
    FormattedFruDataStruct f;
    formatFruData(s, &f);
    EXPECT_STREQ(f.ChassisInfoArea.pszType, "Main Server Chassis");
    EXPECT_STREQ(f.ChassisInfoArea.pszPartNumber, "ab01");
    EXPECT_EQ(f.ChassisInfoArea.pszSerialNumber, nullptr);
    EXPECT_STREQ(f.BoardInfoArea.pszMfgDateTime, "Mon Jan  1 12:01:00 1996");
    EXPECT_STREQ(f.BoardInfoArea.pszManufacturerName, "QV");
    EXPECT_EQ(f.BoardInfoArea.pszProductName, nullptr);
    EXPECT_EQ(f.fBoardInfoAreaIsProgrammed, 1u);
    EXPECT_EQ(f.fProductInfoAreaIsProgrammed, 0u);
    freeFormattedFruData(&f);
    freeFruData(&s);

    // A header that does not sum to zero, an area that does not, and areas beyond the data.
    std::vector<UINT8> badHeader = image;
    badHeader[6] = 1;
    ASSERT_EQ(structureFruData(badHeader.data(), badHeader.size(), &s), 0u);
    EXPECT_EQ(checkFruSums(badHeader.data(), badHeader.size(), s), 0xA00F0000u);
    freeFruData(&s);
    std::vector<UINT8> badArea = image;
    badArea[8 + 16 + 7] ^= 1;
    ASSERT_EQ(structureFruData(badArea.data(), badArea.size(), &s), 0u);
    EXPECT_EQ(checkFruSums(badArea.data(), badArea.size(), s), 0xA00F0000u);
    freeFruData(&s);
    EXPECT_EQ(structureFruData(image.data(), 20, &s), 0xA0100000u);
    freeFruData(&s);
    EXPECT_EQ(structureFruData(image.data(), 5, &s), 0xA00E0000u);
}

} // namespace
} // namespace qv::bmc::test
