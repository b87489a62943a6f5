// The legacy I2C interface and the firmware transfer commands.
#include "mgmtctl_fixture.h"

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace qv::mgmtctl::test {
namespace {

class LegacyI2cTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        sim_.loadScenario(nlohmann::json{{"i2c", {{{"kind", "pcf8574"}, {"address", 0x40}}}}});
    }
};

TEST_F(LegacyI2cTest, ControllerResultsMapToLegacyCodes)
{
    const std::pair<uint8_t, int> cases[] = {{0x00, 0}, {0x01, 2}, {0x02, 16}, {0x03, 8},
                                             {0x05, 8}, {0x04, 32}, {0xC1, 32}};
    const unsigned char byte[] = {0x11};
    for (auto [completion, legacy] : cases) {
        SCOPED_TRACE(completion);
        sim_.injectCompletionCode(0x06, 0x50, completion, 1);
        EXPECT_EQ(I2C_SendMessage(0x40, byte, 1), legacy);
    }
    sim_.failNextIoctls(31, EIO);
    EXPECT_EQ(I2C_SendMessage(0x40, byte, 1), 32);
    unsigned char data[2];
    sim_.injectCompletionCode(0x06, 0x51, 0x00, 1);  // a short read
    EXPECT_EQ(I2C_ReceiveMessage(0x40, data, 2), 32);
}

TEST_F(LegacyI2cTest, SendKeepsTheLastByteAsTheShadow)
{
    const unsigned char bytes[] = {0x11, 0x22};
    sim_.injectCompletionCode(0x06, 0x50, 0x05, 1);  // not acknowledged: the shadow is kept anyway
    EXPECT_EQ(I2C_SendMessage(0x40, bytes, 2), 8);
    unsigned char shadow = 0;
    EXPECT_EQ(I2C_GetOutputShadow(0x40, &shadow), 0);
    EXPECT_EQ(shadow, 0x22);

    const unsigned char latch[] = {0x3C};
    EXPECT_EQ(I2C_SendMessage(0x40, latch, 1), 0);
    EXPECT_EQ(sim_.expanderLatch(0x40), 0x3C);
    EXPECT_EQ(lastMessage(), (Bytes{0x18, 0x50, 0x00, 0x40, 0x3C}));
    unsigned char read[1] = {0};
    EXPECT_EQ(I2C_ReceiveMessage(0x40, read, 1), 0);
    EXPECT_EQ(read[0], 0x3C);
}

TEST_F(LegacyI2cTest, RepeatStartShadowsTheLastByteOfTheReceiveBuffer)
{
    const unsigned char out[] = {0x01};
    unsigned char in[2] = {0x00, 0x77};
    // Nobody answers at 0x42: the answer lacks the bytes asked for, which is a failure.
    EXPECT_EQ(I2C_RepeatStartMesg(0x42, out, 1, in, 2), 32);
    unsigned char shadow = 0;
    EXPECT_EQ(I2C_GetOutputShadow(0x42, &shadow), 0);
    EXPECT_EQ(shadow, 0x77);
    EXPECT_EQ(lastMessage(), (Bytes{0x18, 0x52, 0x00, 0x42, 0x02, 0x01}));
}

TEST_F(LegacyI2cTest, ShadowTableCoversSevenBitAddressesOnly)
{
    unsigned char shadow = 0xAB;
    EXPECT_EQ(I2C_GetOutputShadow(127, &shadow), 0);
    EXPECT_EQ(shadow, 0);
    EXPECT_EQ(I2C_GetOutputShadow(128, &shadow), 1);
    EXPECT_EQ(I2C_GetOutputShadow(255, &shadow), 1);

    // Addresses above 127 still transfer but leave no shadow; empty transfers are refused.
    const unsigned char bytes[] = {0x99};
    unsigned char in[1] = {0x99};
    EXPECT_EQ(I2C_SendMessage(0xC0, bytes, 1), 8);
    EXPECT_EQ(I2C_RepeatStartMesg(0xC0, bytes, 1, in, 1), 32);
    clearRecords();
    EXPECT_EQ(I2C_SendMessage(0x10, bytes, 0), 32);
    EXPECT_EQ(I2C_SendMessage(0x10, bytes, -5), 32);
    EXPECT_EQ(I2C_RepeatStartMesg(0x10, bytes, 1, in, 0), 32);
    EXPECT_EQ(I2C_RepeatStartMesg(0x10, bytes, -1, in, 1), 32);
    EXPECT_TRUE(sim_.journal().empty());
    EXPECT_EQ(I2C_GetOutputShadow(0x10, &shadow), 0);
    EXPECT_EQ(shadow, 0);
}

TEST_F(LegacyI2cTest, OpenCloseAndVersions)
{
    EXPECT_EQ(I2C_CloseDevice(), 0);
    EXPECT_EQ(I2C_CloseDevice(), 4);
    sim_.failNextOpens(1, ENODEV);
    EXPECT_EQ(I2C_OpenDevice(), 4);
    EXPECT_EQ(I2C_OpenDevice(), 0);

    char name[9];
    std::memset(name, 0x7F, sizeof name);
    char letter = 0;
    unsigned char major = 9, minor = 9;
    I2C_GetDriverVersion(name, &letter, &major, &minor);
    EXPECT_STREQ(name, "QV RZD");
    EXPECT_EQ(name[7], 0);
    EXPECT_EQ(name[8], 0x7F);
    EXPECT_EQ(I2C_GetKernelDriverVersion(name, &letter, &major, &minor), 0);
    sim_.failNextIoctls(1, EIO);
    EXPECT_EQ(I2C_GetKernelDriverVersion(name, &letter, &major, &minor), 32);
    EXPECT_EQ(I2C_Reset8584(0, 0), 0);
    EXPECT_EQ(I2C_ResetBus(0, 0), 0);
}

class FirmwareTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        sim_.loadScenario(nlohmann::json{{"flash", {{"size", 256}, {"fill", 0xFF}}}});
        // The mode flag belongs to the process: leave it, whatever an earlier test did.
        ASSERT_EQ(MMC_QVEnterFirmwareTransferMode(), 0);
        ASSERT_EQ(MMC_QVExitFirmwareTransferMode(), 0);
        clearRecords();
    }
};

TEST_F(FirmwareTest, NothingButEnterAndExitWorksOutsideTheMode)
{
    unsigned char address[4] = {0, 0, 0, 0};
    unsigned char end[4] = {0x10, 0, 0, 0};
    unsigned char data[4] = {};
    EXPECT_EQ(MMC_QVSetFirmwareTransferAddress(address), 265);
    EXPECT_EQ(MMC_QVFirmwareProgram(4, data, nullptr, nullptr), 265);
    EXPECT_EQ(MMC_QVFirmwareRead(4, data, nullptr), 265);
    EXPECT_EQ(MMC_QVGetFirmwareChecksum(address, end, nullptr, nullptr, nullptr), 265);
    EXPECT_TRUE(sim_.journal().empty());

    EXPECT_EQ(MMC_QVExitFirmwareTransferMode(), 0);  // always sent
    EXPECT_EQ(sentMessages(), (std::vector<Bytes>{{0x20, 0xC5}}));
}

TEST_F(FirmwareTest, EnterSendsTheKeyAndWaitsOnce)
{
    EXPECT_EQ(MMC_QVEnterFirmwareTransferMode(), 0);
    EXPECT_EQ(sentMessages(), (std::vector<Bytes>{{0x20, 0xC0, 'Q', 'V'}}));
    EXPECT_EQ(pauses(), std::vector<int>{2000});
    EXPECT_TRUE(sim_.firmware().transferMode);

    unsigned char address[3] = {0x10, 0x00, 0x00};
    EXPECT_EQ(MMC_QVSetFirmwareTransferAddress(address), 0);
    EXPECT_EQ(lastMessage(), (Bytes{0x20, 0xC1, 0x10, 0x00, 0x00}));
}

TEST_F(FirmwareTest, RefusedEnterLeavesTheModeOff)
{
    sim_.injectCompletionCode(0x08, 0xC0, 0xD5, 1);
    EXPECT_EQ(MMC_QVEnterFirmwareTransferMode(), 0xD5);
    EXPECT_EQ(sentMessages().size(), 1u);
    EXPECT_EQ(pauses(), std::vector<int>{2000});
    unsigned char address[3] = {};
    EXPECT_EQ(MMC_QVSetFirmwareTransferAddress(address), 265);
}

TEST_F(FirmwareTest, EnterTriesThreeTimesWhenTheTransportFails)
{
    sim_.failNextIoctls(1000, EIO);
    EXPECT_EQ(MMC_QVEnterFirmwareTransferMode(), 256);
    EXPECT_EQ(std::count(pauses().begin(), pauses().end(), 2000), 3);
    EXPECT_EQ(std::count(pauses().begin(), pauses().end(), 100), 3 * 30);
    sim_.clearFaults();
    unsigned char address[3] = {};
    EXPECT_EQ(MMC_QVSetFirmwareTransferAddress(address), 265);
}

TEST_F(FirmwareTest, ProgramReadAndChecksumInTheMode)
{
    ASSERT_EQ(MMC_QVEnterFirmwareTransferMode(), 0);
    unsigned char start[4] = {0x00, 0x00, 0x00, 0xEE};
    ASSERT_EQ(MMC_QVSetFirmwareTransferAddress(start), 0);

    unsigned char image[40];
    for (int i = 0; i < 40; ++i) image[i] = static_cast<unsigned char>(i + 1);
    unsigned char buffered = 0, status = 0xFF;
    ASSERT_EQ(MMC_QVFirmwareProgram(40, image, &buffered, &status), 0);
    EXPECT_EQ(lastMessage().size(), 2u + 32u);  // cut to 32 bytes
    EXPECT_EQ(buffered, 32);
    EXPECT_EQ(status, 0);
    const Bytes flash = sim_.firmware().flash;
    EXPECT_EQ(Bytes(flash.begin(), flash.begin() + 32), Bytes(image, image + 32));

    // Near the end of the flash fewer bytes come back than asked: only those are copied.
    unsigned char near[3] = {0xFC, 0x00, 0x00};
    ASSERT_EQ(MMC_QVSetFirmwareTransferAddress(near), 0);
    unsigned char readBack[10];
    std::memset(readBack, 0xAB, sizeof readBack);
    unsigned char count = 0;
    ASSERT_EQ(MMC_QVFirmwareRead(8, readBack, &count), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(readBack[3], 0xFF);
    EXPECT_EQ(readBack[4], 0xAB);

    unsigned char end[4] = {0x03, 0x00, 0x00, 0xEE};
    unsigned char checksum[2] = {};
    unsigned char block1 = 0xFF, block2 = 0xFF;
    ASSERT_EQ(MMC_QVGetFirmwareChecksum(start, end, checksum, &block1, &block2), 0);
    EXPECT_EQ(lastMessage(), (Bytes{0x20, 0xC3, 0, 0, 0, 3, 0, 0}));
    EXPECT_EQ(start[3], 0);  // addresses written back with a zero after them
    EXPECT_EQ(end[0], 0x03);
    EXPECT_EQ(end[3], 0);
    EXPECT_EQ(checksum[0], 1 + 2 + 3 + 4);
    EXPECT_EQ(block1, 0);

    EXPECT_EQ(MMC_QVExitFirmwareTransferMode(), 0);
    EXPECT_EQ(MMC_QVSetFirmwareTransferAddress(start), 265);
}

} // namespace
} // namespace qv::mgmtctl::test
