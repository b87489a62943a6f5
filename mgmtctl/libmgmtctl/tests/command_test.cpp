// The command functions: request bytes, length limits, answers unpacked, completion codes.
#include "mgmtctl_fixture.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>

namespace qv::mgmtctl::test {
namespace {

class CommandTest : public ControllerTest {};

// Byte images of the shared records; this library only moves their bytes.
using SdrBytes = std::array<uint8_t, MMC_SDR_RECORD_SIZE>;
using SelBytes = std::array<uint8_t, MMC_SEL_RECORD_SIZE>;
SDR* asSdr(SdrBytes& bytes) { return reinterpret_cast<SDR*>(bytes.data()); }
SEL* asSel(SelBytes& bytes) { return reinterpret_cast<SEL*>(bytes.data()); }

struct RequestCase {
    const char* name;
    std::function<int()> call;
    Bytes expected;
};

TEST_F(CommandTest, RequestsCarryTheirFieldsLittleEndian)
{
    static unsigned char byte;
    static unsigned short word;
    static SdrBytes sdr;
    static SelBytes sel;
    static unsigned char buffer[64];
    static int count;
    static const unsigned char partial[] = {'x', 'x', 'A', 'B', 'C'};
    static const unsigned char two[] = {0xAA, 0xBB};
    const RequestCase cases[] = {
        {"SetOSWatchdogTimer", [] { return MMC_SetOSWatchdogTimer(0x44, 0x01, 0x05, 0x10, 0x1234); },
         {0x18, 0x24, 0x44, 0x01, 0x05, 0x10, 0x34, 0x12}},
        {"ResetOSWatchdogTimer", [] { return MMC_ResetOSWatchdogTimer(); }, {0x18, 0x22}},
        {"GetOSWatchdogTimer",
         [] { return MMC_GetOSWatchdogTimer(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); },
         {0x18, 0x25}},
        {"ReadMMCRAM", [] { return MMC_ReadMMCRAM(1, 0x0203, &byte); }, {0x18, 0x1B, 0x01, 0x03, 0x02}},
        {"MasterWriteI2C", [] { return MMC_MasterWriteI2C(0, 0x40, two, 2); },
         {0x18, 0x50, 0x00, 0x40, 0xAA, 0xBB}},
        {"MasterWriteReadI2C",
         [] {
             count = 4;
             return MMC_MasterWriteReadI2C(0, 0xA0, two, 1, buffer, &count);
         },
         {0x18, 0x52, 0x00, 0xA0, 0x04, 0xAA}},
        {"ReadSMSMessageBuffer",
         [] {
             byte = 32;
             return MMC_ReadSMSMessageBuffer(buffer, &byte);
         },
         {0x18, 0x37}},
        {"GetDeviceSDR", [] { return MMC_GetDeviceSDR(0x0102, 0x0304, 5, 10, &word, asSdr(sdr)); },
         {0x10, 0x21, 0x02, 0x01, 0x04, 0x03, 0x05, 0x0A}},
        {"SetSensorHysterisis", [] { return MMC_SetSensorHysterisis(1, 2, 3, 4); },
         {0x10, 0x24, 0x01, 0x02, 0x03, 0x04}},
        {"SetSensorThreshold", [] { return MMC_SetSensorThreshold(7, 0x3F, 0x80); },
         {0x10, 0x26, 0x07, 0x3F, 0x80}},
        {"GetSensorEventEnable", [] { return MMC_GetSensorEventEnable(5, &byte); },
         {0x10, 0x29, 0x05, 0x00}},
        {"GetSensorReading", [] { return MMC_GetSensorReading(7, buffer); }, {0x10, 0x2D, 0x07}},
        {"GetSDR whole record", [] { return MMC_GetSDR(0x0102, 0x0304, 0, 255, &word, asSdr(sdr)); },
         {0x28, 0x23, 0x02, 0x01, 0x04, 0x03, 0x00, 29}},
        {"GetSDR 32 bytes", [] { return MMC_GetSDR(0, 0, 0, 32, &word, asSdr(sdr)); },
         {0x28, 0x23, 0x00, 0x00, 0x00, 0x00, 0x00, 32}},
        {"ClearSDRRepository", [] { return MMC_ClearSDRRepository(0x0102, 0x00, &byte); },
         {0x28, 0x27, 0x02, 0x01, 'C', 'L', 'R', 0x00}},
        {"PartialAddSDR", [] { return MMC_PartialAddSDR(0x0102, 0x0304, 2, 3, 1, partial, &word); },
         {0x28, 0x25, 0x02, 0x01, 0x04, 0x03, 0x02, 0x01, 'A', 'B', 'C'}},
        {"GetSELEntry", [] { return MMC_GetSELEntry(0x0A0B, 0x0012, 0, 16, &word, sel.data()); },
         {0x28, 0x43, 0x0B, 0x0A, 0x12, 0x00, 0x00, 0x10}},
        {"DeleteSELEntry", [] { return MMC_DeleteSELEntry(0x0102, 0x0304, &word); },
         {0x28, 0x46, 0x02, 0x01, 0x04, 0x03}},
        {"ClearSELRepository", [] { return MMC_ClearSELRepository(0x1234, 0xAA, &byte); },
         {0x28, 0x47, 0x34, 0x12, 'C', 'L', 'R', 0xAA}},
        {"SetSELTime", [] { return MMC_SetSELTime(0x11223344); }, {0x28, 0x49, 0x44, 0x33, 0x22, 0x11}},
        {"ReadFRUInventoryData", [] { return MMC_ReadFRUInventoryData(0x0102, 8, &byte, buffer); },
         {0x28, 0x11, 0x02, 0x01, 0x08}},
        {"WriteFRUInventoryData", [] { return MMC_WriteFRUInventoryData(0x0010, 2, two, &byte); },
         {0x28, 0x12, 0x10, 0x00, 0xAA, 0xBB}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearRecords();
        c.call();
        EXPECT_EQ(sentMessages(), std::vector<Bytes>{c.expected});
    }
}

TEST_F(CommandTest, LengthLimitsAreRefusedBeforeSending)
{
    static unsigned short word;
    static SdrBytes sdr;
    static SelBytes sel;
    static unsigned char data[64];
    const std::pair<const char*, std::function<int()>> cases[] = {
        {"GetSDR 33 bytes", [] { return MMC_GetSDR(0, 0, 0, 33, &word, asSdr(sdr)); }},
        {"GetSDR past the record", [] { return MMC_GetSDR(0, 0, 40, 32, &word, asSdr(sdr)); }},
        {"GetSDR negative offset", [] { return MMC_GetSDR(0, 0, -1, 4, &word, asSdr(sdr)); }},
        {"GetDeviceSDR past the record", [] { return MMC_GetDeviceSDR(0, 0, 60, 8, &word, asSdr(sdr)); }},
        {"GetSELEntry past the record", [] { return MMC_GetSELEntry(0, 0, 8, 10, &word, sel.data()); }},
        {"AddSDR length 28",
         [] {
             sdr.fill(0);
             sdr[4] = 28;
             return MMC_AddSDR(asSdr(sdr), &word);
         }},
        {"PartialAddSDR 27", [] { return MMC_PartialAddSDR(0, 0, 0, 27, 0, data, &word); }},
        {"PartialAddSELEntry 17", [] { return MMC_PartialAddSELEntry(0, 0, 0, 17, 0, data, &word); }},
    };
    for (const auto& [name, call] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(), 262);
    }
    EXPECT_TRUE(sim_.journal().empty());
}

TEST_F(CommandTest, AddSdrSendsHeaderAndBody)
{
    SdrBytes sdr{};
    for (size_t i = 0; i < sdr.size(); ++i) sdr[i] = static_cast<uint8_t>(i);
    sdr[4] = 27;
    unsigned short id = 0;
    MMC_AddSDR(asSdr(sdr), &id);
    Bytes expected{0x28, 0x24};
    expected.insert(expected.end(), sdr.begin(), sdr.begin() + 32);
    EXPECT_EQ(lastMessage(), expected);
}

TEST_F(CommandTest, TransportFailureLeavesOutputsAlone)
{
    sim_.failNextIoctls(31, EIO);
    unsigned char outputs[6];
    std::memset(outputs, 0xAB, sizeof outputs);
    EXPECT_EQ(MMC_GetDeviceID(&outputs[0], &outputs[1], &outputs[2], &outputs[3], &outputs[4],
                              &outputs[5]),
              256);
    for (unsigned char b : outputs) EXPECT_EQ(b, 0xAB);
}

TEST_F(CommandTest, CompletionCodesArePassedOnExceptByResets)
{
    sim_.injectCompletionCode(0x04, 0x2D, 0xCB, 1);
    unsigned char reading[3];
    EXPECT_EQ(MMC_GetSensorReading(9, reading), 0xCB);

    sim_.injectCompletionCode(0x06, 0x02, 0xC1, 1);
    EXPECT_EQ(MMC_ColdReset(), 0);
    EXPECT_EQ(MMC_MfgTestOn(), 256);
    EXPECT_EQ(sentMessages().size(), 2u);
}

TEST_F(CommandTest, WatchdogSettingsReadBack)
{
    ASSERT_EQ(MMC_SetOSWatchdogTimer(0x04, 0x01, 0x00, 0x10, 600), 0);
    unsigned char use = 0, actions = 0, pre = 0, flags = 0;
    unsigned short initial = 0, present = 0;
    ASSERT_EQ(MMC_GetOSWatchdogTimer(&use, &actions, &pre, &flags, &initial, &present), 0);
    EXPECT_EQ(use & 0x07, 0x04);
    EXPECT_EQ(actions, 0x01);
    EXPECT_EQ(initial, 600);
    EXPECT_EQ(sim_.watchdog().initialCountdown, 600);
    EXPECT_EQ(MMC_ResetOSWatchdogTimer(), 0);
    EXPECT_TRUE(sim_.watchdog().running);
}

TEST_F(CommandTest, SelEntriesAddReadAndClear)
{
    sim_.setClock(0x89ABCDEF);
    SelBytes record{};
    for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(0x10 + i);
    unsigned short id = 0;
    ASSERT_EQ(MMC_AddSELEntry(asSel(record), &id), 0);
    ASSERT_EQ(sim_.selEntries().size(), 1u);
    EXPECT_EQ(id, sim_.selEntries()[0].id);

    unsigned long addTime = ULONG_MAX, eraseTime = ULONG_MAX, now = ULONG_MAX;
    unsigned short entries = 0;
    ASSERT_EQ(MMC_GetSELInfo(nullptr, &entries, nullptr, &addTime, &eraseTime, nullptr), 0);
    EXPECT_EQ(entries, 1);
    EXPECT_LE(addTime, 0xFFFFFFFFul);  // assigned, not copied into the low half
    ASSERT_EQ(MMC_GetSELTime(&now), 0);
    EXPECT_EQ(now, 0x89ABCDEFul);

    const Bytes stored = sim_.selEntries()[0].bytes;
    SelBytes first;
    first.fill(0xAB);
    unsigned short next = 0;
    ASSERT_EQ(MMC_GetSELEntry(0, 0x0000, 0, 16, &next, first.data()), 0);
    EXPECT_EQ(first[0], 0x00);  // the id asked for, not the controller's
    EXPECT_EQ(first[1], 0x00);
    EXPECT_EQ(Bytes(first.begin() + 2, first.end()), Bytes(stored.begin() + 2, stored.end()));
    EXPECT_EQ(next, 0xFFFF);

    SelBytes last;
    ASSERT_EQ(MMC_GetSELEntry(0, 0xFFFF, 0, 16, &next, last.data()), 0);
    EXPECT_EQ(Bytes(last.begin(), last.end()), stored);

    SelBytes part;
    part.fill(0xAB);
    ASSERT_EQ(MMC_GetSELEntry(0, 0xFFFF, 0, 4, &next, part.data()), 0);
    EXPECT_EQ(part[3], stored[3]);
    EXPECT_EQ(part[4], 0xAB);

    unsigned short reservation = 0;
    ASSERT_EQ(RetryMMC_ReserveSEL(&reservation), 0);
    unsigned char progress = 0xFF;
    EXPECT_EQ(MMC_ClearSELRepository(reservation, 0xAA, &progress), 0);
    EXPECT_TRUE(sim_.selEntries().empty());
}

TEST_F(CommandTest, GetSdrCopiesWhatWasAskedAndArrived)
{
    Bytes raw(40);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(0x40 + i);
    raw[2] = 0x51;
    raw[3] = 0x01;
    raw[4] = 35;
    sim_.loadScenario(nlohmann::json{{"sdr", {{{"kind", "raw"}, {"bytes", raw}}}}});
    const Bytes stored = sim_.sdrEntries().at(0).bytes;

    SdrBytes sdr;
    sdr.fill(0xAB);
    unsigned short next = 0;
    ASSERT_EQ(MMC_GetSDR(0, 0, 0, 255, &next, asSdr(sdr)), 0);
    EXPECT_EQ(Bytes(sdr.begin(), sdr.begin() + 29), Bytes(stored.begin(), stored.begin() + 29));
    EXPECT_EQ(sdr[29], 0xAB);
    EXPECT_EQ(next, 0xFFFF);

    // A record shorter than the part asked for: only the bytes that came are copied.
    sdr.fill(0xAB);
    unsigned short reservation = 0;
    ASSERT_EQ(RetryMMC_ReserveSDRRepository(&reservation), 0);
    ASSERT_EQ(MMC_GetSDR(reservation, 0, 30, 20, &next, asSdr(sdr)), 0);
    EXPECT_EQ(Bytes(sdr.begin() + 30, sdr.begin() + 40), Bytes(stored.begin() + 30, stored.end()));
    EXPECT_EQ(sdr[40], 0xAB);
}

TEST_F(CommandTest, FruReadsCopyOnlyTheBytesReturned)
{
    Bytes fru(16);
    for (size_t i = 0; i < fru.size(); ++i) fru[i] = static_cast<uint8_t>(0xA0 + i);
    sim_.loadScenario(nlohmann::json{{"fru", {{"bytes", fru}}}});

    unsigned short size = 0;
    unsigned char access = 0xFF;
    ASSERT_EQ(MMC_GetFRUInventoryAreaInfo(&size, &access), 0);
    EXPECT_EQ(size, 16);

    unsigned char data[10];
    std::memset(data, 0xAB, sizeof data);
    unsigned char count = 0;
    ASSERT_EQ(MMC_ReadFRUInventoryData(12, 8, &count, data), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(Bytes(data, data + 4), Bytes(fru.begin() + 12, fru.end()));
    EXPECT_EQ(data[4], 0xAB);

    const unsigned char two[] = {0x01, 0x02};
    ASSERT_EQ(MMC_WriteFRUInventoryData(2, 2, two, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(sim_.fruData().at(2), 0x01);
    EXPECT_EQ(sim_.fruData().at(3), 0x02);
}

TEST_F(CommandTest, I2cReadsMustReturnTheCountAsked)
{
    sim_.loadScenario(nlohmann::json{{"i2c", {{{"kind", "pcf8574"}, {"address", 0x40}, {"inputs", 0x5A}}}}});
    unsigned char data[4] = {0xAB, 0xAB, 0xAB, 0xAB};
    int count = 2;
    ASSERT_EQ(MMC_MasterReadI2C(0, 0x40, data, &count), 0);
    EXPECT_EQ(data[0], 0x5A);
    EXPECT_EQ(data[2], 0xAB);

    sim_.injectCompletionCode(0x06, 0x51, 0x00, 1);  // completion code alone
    std::memset(data, 0xAB, sizeof data);
    count = 4;
    EXPECT_EQ(MMC_MasterReadI2C(0, 0x40, data, &count), 262);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(data[0], 0xAB);

    count = -1;
    EXPECT_EQ(MMC_MasterReadI2C(0, 0x40, data, &count), 261);
    EXPECT_EQ(MMC_MasterReadI2C(0, 0x40, data, nullptr), 261);
    EXPECT_EQ(MMC_MasterWriteReadI2C(0, 0x40, data, 1, data, nullptr), 261);
}

TEST_F(CommandTest, MessageBufferReadsCopyTheMessageThatFits)
{
    struct Case {
        const char* name;
        int (*read)(void*, unsigned char*);
        void (qv::sim::ControllerSimulator::*queue)(const std::vector<uint8_t>&);
        unsigned char room;
        int result;
        unsigned char count;
    };
    const Case cases[] = {
        {"SMS short buffer", MMC_ReadSMSMessageBuffer, &qv::sim::ControllerSimulator::queueSmsMessage, 10, 263, 12},
        {"SMM short buffer", MMC_ReadSMMMessageBuffer, &qv::sim::ControllerSimulator::queueSmmMessage, 10, 263, 13},
        {"SMS exact buffer", MMC_ReadSMSMessageBuffer, &qv::sim::ControllerSimulator::queueSmsMessage, 12, 0, 12},
        {"SMS large buffer", MMC_ReadSMSMessageBuffer, &qv::sim::ControllerSimulator::queueSmsMessage, 32, 0, 12},
    };
    Bytes message(12);
    for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i + 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        (sim_.*c.queue)(message);
        unsigned char buffer[40];
        std::memset(buffer, 0xAB, sizeof buffer);
        unsigned char length = c.room;
        EXPECT_EQ(c.read(buffer, &length), c.result);
        EXPECT_EQ(length, c.count);
        const size_t copied = std::min<size_t>(c.room, message.size());
        EXPECT_EQ(Bytes(buffer, buffer + copied), Bytes(message.begin(), message.begin() + copied));
        EXPECT_EQ(buffer[copied], 0xAB);
    }
    EXPECT_EQ(MMC_ReadSMSMessageBuffer(nullptr, nullptr), 261);
}

} // namespace
} // namespace qv::mgmtctl::test
