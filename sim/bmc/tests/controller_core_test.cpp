// Behaviour of the simulated controller's command model, exchanged without a socket.
#include "controller_simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using qv::sim::ControllerSimulator;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint8_t kApp = 0x06 << 2, kSensor = 0x04 << 2, kStorage = 0x0A << 2, kFirmware = 0x08 << 2;

class ControllerCoreTest : public ::testing::Test {
protected:
    // Completion code and data of one request.
    Bytes ask(uint8_t frameByte, uint8_t cmd, Bytes data = {}) {
        Bytes message{frameByte, cmd};
        message.insert(message.end(), data.begin(), data.end());
        Bytes frame = sim.handleMessage(message);
        EXPECT_GE(frame.size(), 3u);
        EXPECT_EQ(frame[0], frameByte | 0x04);
        EXPECT_EQ(frame[1], cmd);
        return Bytes(frame.begin() + 2, frame.end());
    }
    static uint16_t u16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
    uint16_t reserveSel() { return u16(ask(kStorage, 0x42), 1); }
    uint16_t addSel(uint8_t marker) {
        Bytes r = ask(kStorage, 0x44, {0, 0, 0x02, 0, 0, 0, 0, 0x20, 0, 0x04, 0x01, marker, 0x01, 0x57, 0xFF, 0xFF});
        EXPECT_EQ(r[0], 0);
        return u16(r, 1);
    }
    Bytes getSel(uint16_t reservation, uint16_t id, uint8_t offset = 0, uint8_t count = 0xFF) {
        return ask(kStorage, 0x43, {static_cast<uint8_t>(reservation), static_cast<uint8_t>(reservation >> 8),
                                    static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), offset, count});
    }
    ControllerSimulator sim;
};

TEST_F(ControllerCoreTest, DeviceIdFollowsThePersonality) {
    Bytes r = ask(kApp, 0x01);
    ASSERT_EQ(r.size(), 12u);   // completion code and 11 data bytes
    EXPECT_EQ(r[5], 0x01);      // version byte of the 1.0 generation
    sim.loadScenario(nlohmann::json{{"bmc", {{"ipmiVersion", "0.9"}, {"device", {{"busy", true}}}}}});
    r = ask(kApp, 0x01);
    ASSERT_EQ(r.size(), 7u);
    EXPECT_EQ(r[5], 0x90);
    EXPECT_EQ(r[3] & 0x80, 0x80);   // firmware busy
}

TEST_F(ControllerCoreTest, SelNextIdChainCoversEveryEntryAndSpecialIds) {
    uint16_t a = addSel(1), b = addSel(2), c = addSel(3);
    EXPECT_TRUE(a != b && b != c && a != c);
    std::vector<uint16_t> seen;
    for (uint16_t id = 0; id != 0xFFFF;) {
        Bytes r = getSel(0, id);
        ASSERT_EQ(r[0], 0);
        ASSERT_EQ(r.size(), 19u);
        seen.push_back(u16(r, 3));   // the record's own id
        id = u16(r, 1);
    }
    EXPECT_EQ(seen, (std::vector<uint16_t>{a, b, c}));
    Bytes last = getSel(0, 0xFFFF);
    EXPECT_EQ(u16(last, 3), c);
    EXPECT_EQ(u16(last, 1), 0xFFFF);
    EXPECT_EQ(getSel(0, 0x7777)[0], 0xCB);
}

TEST_F(ControllerCoreTest, ReservationIsCancelledByNewReservationAndByDelete) {
    uint16_t id = addSel(1);
    addSel(2);
    uint16_t first = reserveSel();
    uint16_t second = reserveSel();
    EXPECT_NE(first, second);
    EXPECT_EQ(getSel(first, id, 2, 4)[0], 0xC5);       // partial read with a stale reservation
    EXPECT_EQ(getSel(second, id, 2, 4)[0], 0x00);
    Bytes del = ask(kStorage, 0x46, {static_cast<uint8_t>(second), static_cast<uint8_t>(second >> 8),
                                     static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)});
    EXPECT_EQ(del[0], 0);
    EXPECT_EQ(u16(del, 1), id);
    EXPECT_EQ(getSel(second, 0, 2, 4)[0], 0xC5);
    EXPECT_EQ(sim.selEntries().size(), 1u);
}

TEST_F(ControllerCoreTest, ClearSelNeedsLettersAndReservationAndMovesEraseTime) {
    sim.setClock(1000);
    addSel(1);
    uint16_t res = reserveSel();
    auto clear = [&](uint16_t reservation, Bytes letters, uint8_t flag) {
        Bytes d{static_cast<uint8_t>(reservation), static_cast<uint8_t>(reservation >> 8)};
        d.insert(d.end(), letters.begin(), letters.end());
        d.push_back(flag);
        return ask(kStorage, 0x47, d);
    };
    EXPECT_EQ(clear(res, {'C', 'L', 'X'}, 0xAA)[0], 0xCC);
    EXPECT_EQ(clear(static_cast<uint16_t>(res + 1), {'C', 'L', 'R'}, 0xAA)[0], 0xC5);
    EXPECT_EQ(sim.selEntries().size(), 1u);
    sim.advanceClock(5000);
    EXPECT_EQ(clear(res, {'C', 'L', 'R'}, 0xAA), (Bytes{0x00, 0x01}));
    EXPECT_TRUE(sim.selEntries().empty());
    Bytes info = ask(kStorage, 0x40);
    ASSERT_EQ(info.size(), 15u);
    EXPECT_EQ(u16(info, 2), 0);
    EXPECT_EQ(info[10] | info[11] << 8, 1005);   // erase timestamp
    EXPECT_EQ(getSel(0, 0)[0], 0xCB);
}

TEST_F(ControllerCoreTest, AddSelStampsTimeAndAdvancesAddTimestamp) {
    sim.setClock(0x12345678);
    uint16_t id = addSel(9);
    Bytes r = getSel(0, id);
    EXPECT_EQ(Bytes(r.begin() + 6, r.begin() + 10), (Bytes{0x78, 0x56, 0x34, 0x12}));
    Bytes info = ask(kStorage, 0x40);
    EXPECT_EQ(u16(info, 6) | u16(info, 8) << 16, 0x12345678);
}

TEST_F(ControllerCoreTest, WatchdogCountsDownOnTheSimulatorClock) {
    sim.setClock(100);
    EXPECT_EQ(ask(kApp, 0x22)[0], 0x80);   // never set: cannot start
    EXPECT_EQ(ask(kApp, 0x24, {0x44, 0x01, 0x00, 0x10, 50, 0})[0], 0);   // OS watchdog, 5 s
    EXPECT_FALSE(sim.watchdog().running);
    EXPECT_EQ(ask(kApp, 0x22)[0], 0);
    sim.advanceClock(2000);
    Bytes g = ask(kApp, 0x25);
    ASSERT_EQ(g.size(), 9u);
    EXPECT_EQ(g[1] & 0x40, 0x40);   // running
    EXPECT_EQ(u16(g, 5), 50);
    EXPECT_EQ(u16(g, 7), 30);
    sim.advanceClock(3000);
    auto w = sim.watchdog();
    EXPECT_FALSE(w.running);
    EXPECT_TRUE(w.expired);
    EXPECT_EQ(w.presentCountdown, 0);
    EXPECT_EQ(w.expirationFlags, 0x10);   // expired while in OS use
}

TEST_F(ControllerCoreTest, ExpiredWatchdogTakesItsActionOnceAndJournalsIt) {
    struct Case {
        uint8_t action;
        bool taken;
    };
    for (const Case c : {Case{0, false}, Case{1, true}, Case{3, true}}) {
        sim.loadScenario(nlohmann::json::parse(R"({"watchdog":{"expirationFlags":16}})"));
        EXPECT_EQ(sim.watchdog().expirationFlags, 0x10) << "preset by the scenario";
        sim.setClock(1000);
        sim.clearJournal();
        ASSERT_EQ(ask(kApp, 0x24, {0x04, c.action, 0x00, 0x10, 100, 0})[0], 0);   // 10 s, flag cleared
        EXPECT_EQ(sim.watchdog().expirationFlags, 0);
        ASSERT_EQ(ask(kApp, 0x22)[0], 0);
        sim.advanceClock(9999);
        EXPECT_TRUE(sim.watchdogActions().empty());
        sim.advanceClock(5000);
        auto actions = sim.watchdogActions();
        EXPECT_EQ(sim.watchdog().expirationFlags, 0x10) << int(c.action);
        ASSERT_EQ(actions.size(), c.taken ? 1u : 0u) << int(c.action);
        if (!c.taken) continue;
        EXPECT_EQ(actions[0].action, c.action);
        EXPECT_EQ(actions[0].timeMs, 1010000u);   // when the countdown ran out, not when asked
        auto journal = sim.journal();
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.back().requestCode, qv::sim::kWatchdogActionCode);
        EXPECT_EQ(journal.back().request, Bytes{c.action});
        sim.advanceClock(60000);
        EXPECT_EQ(sim.watchdogActions().size(), 1u) << "a stopped countdown acts no more";
    }
    sim.setWatchdogFlags(0x10);
    EXPECT_EQ(sim.watchdog().expirationFlags, 0x10);
}

TEST_F(ControllerCoreTest, PortExpanderReadsLatchAndInputsEepromKeepsBytes) {
    sim.loadScenario(nlohmann::json::parse(R"({"i2c":[{"kind":"pcf8574","address":"0x40","inputs":"0xF0"},
                                                    {"kind":"eeprom","address":"0xA0","size":64}]})"));
    EXPECT_EQ(ask(kApp, 0x50, {0x00, 0x40, 0x3C})[0], 0);
    EXPECT_EQ(sim.expanderLatch(0x40), 0x3C);
    EXPECT_EQ(ask(kApp, 0x51, {0x00, 0x41, 2}), (Bytes{0x00, 0x30, 0x30}));
    EXPECT_EQ(ask(kApp, 0x51, {0x00, 0x42, 1})[0], 0x05);   // nobody there
    EXPECT_EQ(ask(kApp, 0x50, {0x00, 0xA0, 0x10, 0xDE, 0xAD})[0], 0);
    EXPECT_EQ(ask(kApp, 0x52, {0x00, 0xA0, 2, 0x10}), (Bytes{0x00, 0xDE, 0xAD}));
    EXPECT_EQ(sim.eepromBytes(0xA0).at(0x11), 0xAD);
}

TEST_F(ControllerCoreTest, ThresholdsInBothRequestShapes) {
    sim.loadScenario(nlohmann::json::parse(R"({"sdr":[{"kind":"full","number":5,"name":"Temp",
        "thresholds":{"unc":70,"uc":80,"lnc":5}}],"sensors":[{"number":5,"reading":75}]})"));
    Bytes all = ask(kSensor, 0x27, {5});
    EXPECT_EQ(all, (Bytes{0x00, 0x19, 5, 0, 0, 70, 80, 0}));
    EXPECT_EQ(ask(kSensor, 0x2D, {5})[3], 0x08);   // above upper non-critical
    EXPECT_EQ(ask(kSensor, 0x26, {5, 3, 90})[0], 0);   // earlier shape: code 3 = UNC
    EXPECT_EQ(ask(kSensor, 0x27, {5, 3}), (Bytes{0x00, 90}));
    EXPECT_EQ(ask(kSensor, 0x26, {5, 0x10, 0, 0, 0, 0, 95, 0})[0], 0);
    EXPECT_EQ(ask(kSensor, 0x27, {5, 4}), (Bytes{0x00, 95}));
    EXPECT_EQ(ask(kSensor, 0x2D, {5})[3], 0x00);
    EXPECT_EQ(ask(kSensor, 0x2D, {6})[0], 0xCB);
}

TEST_F(ControllerCoreTest, SdrPartialAddAndReadInPieces) {
    uint16_t res = u16(ask(kStorage, 0x22), 1);
    Bytes record{0, 0, 0x01, 0xC0, 4, 1, 2, 3, 4};
    Bytes first{static_cast<uint8_t>(res), static_cast<uint8_t>(res >> 8), 0, 0, 0, 0};
    first.insert(first.end(), record.begin(), record.begin() + 5);
    Bytes r = ask(kStorage, 0x25, first);
    ASSERT_EQ(r[0], 0);
    uint16_t id = u16(r, 1);
    EXPECT_TRUE(sim.sdrEntries().empty());   // not complete yet
    Bytes rest{static_cast<uint8_t>(res), static_cast<uint8_t>(res >> 8), static_cast<uint8_t>(id),
               static_cast<uint8_t>(id >> 8), 5, 1};
    rest.insert(rest.end(), record.begin() + 5, record.end());
    ASSERT_EQ(ask(kStorage, 0x25, rest)[0], 0);
    ASSERT_EQ(sim.sdrEntries().size(), 1u);
    Bytes piece = ask(kStorage, 0x23, {static_cast<uint8_t>(res), static_cast<uint8_t>(res >> 8), 0, 0, 5, 2});
    EXPECT_EQ(piece, (Bytes{0x00, 0xFF, 0xFF, 1, 2}));
}

TEST_F(ControllerCoreTest, FruReadAndWriteInBothShapes) {
    sim.loadScenario(nlohmann::json::parse(R"({"fru":{"board":{"manufacturer":"Quorvane","productName":"Board"},"size":128}})"));
    Bytes info = ask(kStorage, 0x10, {0});
    EXPECT_EQ(u16(info, 1), 128);
    Bytes head = ask(kStorage, 0x11, {0, 0, 0, 8});
    ASSERT_EQ(head.size(), 10u);
    EXPECT_EQ(head[1], 8);
    uint8_t sum = 0;
    for (size_t i = 2; i < 10; ++i)
        sum = static_cast<uint8_t>(sum + head[i]);
    EXPECT_EQ(sum, 0);   // common header checksum
    EXPECT_EQ(ask(kStorage, 0x11, {0x78, 0, 30})[1], 8);   // earlier shape, clipped at the end
    EXPECT_EQ(ask(kStorage, 0x11, {0, 0, 0, 31})[0], 0xCA);
    EXPECT_EQ(ask(kStorage, 0x12, {0, 0x70, 0, 0xAB, 0xCD}), (Bytes{0x00, 2}));   // standard: id, offset
    EXPECT_EQ(sim.fruData().at(0x70), 0xAB);
    EXPECT_EQ(ask(kStorage, 0x11, {0, 0x7E, 0, 4})[1], 2);
}

TEST_F(ControllerCoreTest, FirmwareTransferNeedsTheKeyAndProgramsFlash) {
    EXPECT_EQ(ask(kFirmware, 0xC1, {0, 1, 0})[0], 0xD5);
    EXPECT_EQ(ask(kFirmware, 0xC0, {'Q', 'X'})[0], 0xCC);
    EXPECT_EQ(ask(kFirmware, 0xC0, {'Q', 'V'})[0], 0x00);
    EXPECT_EQ(ask(kFirmware, 0xC1, {0x00, 0x01, 0x00})[0], 0);
    EXPECT_EQ(ask(kFirmware, 0xC2, {1, 2, 3}), (Bytes{0x00, 3, 0x00}));
    EXPECT_EQ(ask(kFirmware, 0xC1, {0x00, 0x01, 0x00})[0], 0);
    EXPECT_EQ(ask(kFirmware, 0xC4, {3}), (Bytes{0x00, 1, 2, 3}));
    Bytes sum = ask(kFirmware, 0xC3, {0x00, 0x01, 0x00, 0x02, 0x01, 0x00});
    ASSERT_EQ(sum.size(), 11u);
    EXPECT_EQ(Bytes(sum.begin() + 3, sum.begin() + 9), (Bytes{0x00, 0x01, 0x00, 0x02, 0x01, 0x00}));
    EXPECT_EQ(u16(sum, 9), 6);
    EXPECT_EQ(ask(kFirmware, 0xC5)[0], 0);
    EXPECT_FALSE(sim.firmware().transferMode);
    EXPECT_EQ(sim.firmware().flash.at(0x101), 2);
}

TEST_F(ControllerCoreTest, MessageBuffersAndErrorReport) {
    EXPECT_EQ(ask(kApp, 0x37)[0], 0x80);
    sim.queueSmsMessage({0x1C, 0x01, 0x02});
    EXPECT_EQ(sim.port(3) & 0x04, 0x04);
    EXPECT_EQ(ask(kApp, 0x31)[1] & 0x01, 0x01);
    EXPECT_EQ(ask(kApp, 0x37), (Bytes{0x00, 0x1C, 0x01, 0x02}));
    EXPECT_EQ(sim.port(3) & 0x04, 0x00);
    Bytes report = sim.handleMessage({kApp, 0xFF});
    EXPECT_EQ(report, (Bytes{kApp | 4, 0xFF, 0x37, 0x80}));   // no completion code
}

TEST_F(ControllerCoreTest, ScenarioRejectsMalformedRecords) {
    EXPECT_THROW(sim.loadScenario(nlohmann::json::parse(R"({"sdr":[{"kind":"raw","bytes":"0100 01 01 05 00"}]})")),
                 std::invalid_argument);
    EXPECT_THROW(sim.loadScenario(nlohmann::json::parse(R"({"sel":[{"bytes":"0102"}]})")), std::invalid_argument);
    EXPECT_THROW(sim.loadScenario(nlohmann::json::parse(R"({"ipmiVersion":"2.0"})")), std::invalid_argument);
}

} // namespace
