// Satellite controllers behind the simulated controller: message bridging (1.0), master write and
// SMS buffer (0.9), frame checksums, bus faults and the scenario's satellites.
#include "controller_simulator.h"

#include <devsock.h>
#include <mmcdev_payload.h>
#include <sandbox_path.h>
#include <temp_root.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

using namespace qv::sim;
using Bytes = std::vector<uint8_t>;
using json = nlohmann::json;
namespace mmc = qv::devsock::mmcdev;

namespace {

constexpr uint8_t kApp = 0x06, kSensor = 0x04, kStorage = 0x0A;
constexpr uint8_t kPowerMc = 0x22, kOldMc = 0x24, kSilentMc = 0x26;

uint8_t twosComplement(const Bytes& b, size_t from, size_t to) {
    uint8_t sum = 0;
    for (size_t i = from; i < to; ++i)
        sum = static_cast<uint8_t>(sum + b[i]);
    return static_cast<uint8_t>(-sum);
}

// An IPMB request as the base controller writes it: requester 0x20, LUN 2.
Bytes ipmbRequest(uint8_t rsSA, uint8_t netfn, uint8_t cmd, uint8_t seq, Bytes data = {}) {
    Bytes f{rsSA, static_cast<uint8_t>(netfn << 2), 0, 0x20, static_cast<uint8_t>(seq << 2 | 2), cmd};
    f[2] = twosComplement(f, 0, 2);
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(twosComplement(f, 3, f.size()));
    return f;
}

bool checksumsHold(const Bytes& frame) {
    return frame.size() >= 7 && twosComplement(frame, 0, 3) == 0 && twosComplement(frame, 3, frame.size()) == 0;
}

const json kScenario = json::parse(R"({ "bmc": { "ipmiVersion": "1.0", "satellites": [
  { "address": "0x22", "device": { "id": 34, "firmwareMinor": 5 },
    "sdr": [ { "kind": "full", "id": 1, "owner": "0x22", "number": 16, "name": "PSU Temp", "sensorType": 1,
               "unit": 1, "nominal": 40, "thresholds": { "unc": 60, "uc": 70 } },
             { "kind": "fruLocator", "id": 2, "address": "0x22", "name": "PSU FRU" } ],
    "sensors": [ { "number": 16, "reading": 42 } ],
    "fru": { "size": 64, "product": { "manufacturer": "Q", "productName": "PSU", "serialNumber": "SN42" } } },
  { "address": "0x24", "ipmiVersion": "0.9", "device": { "id": 36 } },
  { "address": "0x26", "silent": true } ] } })");

class IpmbBridgeTest : public ::testing::Test {
protected:
    void SetUp() override { sim.loadScenario(kScenario); }

    Bytes ask(uint8_t netfn, uint8_t cmd, Bytes data = {}) {
        Bytes message{static_cast<uint8_t>(netfn << 2), cmd};
        message.insert(message.end(), data.begin(), data.end());
        Bytes frame = sim.handleMessage(message);
        return Bytes(frame.begin() + 2, frame.end());   // completion code and data
    }
    uint8_t sendMessage(const Bytes& frame) {
        Bytes data{0x00};   // channel 0: the IPMB
        data.insert(data.end(), frame.begin(), frame.end());
        return ask(kApp, 0x34, data).at(0);
    }
    // Get Message: the response frame with its first byte (our own address) put back.
    Bytes getMessage() {
        Bytes r = ask(kApp, 0x33);
        if (r.at(0) != 0x00)
            return {};
        EXPECT_EQ(r.at(1), 0x00);   // channel
        Bytes frame{0x20};
        frame.insert(frame.end(), r.begin() + 2, r.end());
        return frame;
    }
    // One bridged request and its checked response: completion code and data.
    Bytes bridged(uint8_t rsSA, uint8_t netfn, uint8_t cmd, Bytes data = {}) {
        seq = static_cast<uint8_t>((seq + 1) & 0x3F);
        EXPECT_EQ(sendMessage(ipmbRequest(rsSA, netfn, cmd, seq, data)), 0x00);
        Bytes frame = getMessage();
        EXPECT_TRUE(checksumsHold(frame));
        if (frame.size() < 8)
            return {};
        EXPECT_EQ(frame[1], static_cast<uint8_t>((netfn + 1) << 2 | 2));
        EXPECT_EQ(frame[3], rsSA);
        EXPECT_EQ(frame[4], static_cast<uint8_t>(seq << 2));
        EXPECT_EQ(frame[5], cmd);
        return Bytes(frame.begin() + 6, frame.end() - 1);
    }

    qv::test::TempRoot root;
    ControllerSimulator sim;
    uint8_t seq = 0;
};

TEST_F(IpmbBridgeTest, BridgedDeviceIdThroughTheDeviceNodeRaisesAndClearsPort3) {
    sim.start();
    qv::devsock::Connection c;
    ASSERT_EQ(c.open(qv::sandboxPath(mmc::kDevicePath)), 0);
    auto exchange = [&](uint32_t code, const Bytes& data) {
        qv::devsock::Reply reply;
        EXPECT_EQ(c.exchange(code, data, 64, reply), 0);
        return reply.data;   // retcode (2 bytes), then the answer
    };
    auto port3 = [&] { return exchange(mmc::kReadPort3, {}).at(2); };

    Bytes request = ipmbRequest(kPowerMc, kApp, 0x01, 5);
    Bytes send{static_cast<uint8_t>(kApp << 2), 0x34, 0x00};
    send.insert(send.end(), request.begin(), request.end());
    EXPECT_EQ(exchange(mmc::kSendReceive, send), (Bytes{0, 0, 0x1C, 0x34, 0x00}));
    EXPECT_EQ(port3() & 0x04, 0x04);
    EXPECT_EQ(exchange(mmc::kSendReceive, {kApp << 2, 0x31}).at(5) & 0x01, 0x01);

    Bytes got = exchange(mmc::kSendReceive, {kApp << 2, 0x33});
    ASSERT_GE(got.size(), 6u + 5 + 1 + 12);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 6), (Bytes{0, 0, 0x1C, 0x33, 0x00, 0x00}));
    Bytes frame{0x20};
    frame.insert(frame.end(), got.begin() + 6, got.end());
    EXPECT_TRUE(checksumsHold(frame));
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 8), (Bytes{0x20, 0x1E, frame[2], kPowerMc, 5 << 2, 0x01, 0x00, 34}));
    EXPECT_EQ(port3() & 0x04, 0x00);
    EXPECT_EQ(exchange(mmc::kSendReceive, {kApp << 2, 0x33}).at(4), 0x80);   // queue empty

    bool journaled = false;
    for (const auto& e : sim.journal())
        journaled |= e.requestCode == kIpmbFrameCode && e.request == request && e.answer == frame;
    EXPECT_TRUE(journaled);
}

TEST_F(IpmbBridgeTest, DeviceSdrChainAndFruReadMatchTheSatellite) {
    Bytes info = bridged(kPowerMc, kSensor, 0x20);
    ASSERT_EQ(info.size(), 3u);
    EXPECT_EQ(info[1], 1);   // one sensor
    Bytes reserve = bridged(kPowerMc, kSensor, 0x22);
    ASSERT_EQ(reserve.size(), 3u);

    std::vector<Bytes> records;
    for (uint16_t id = 0; id != 0xFFFF;) {
        Bytes record;
        uint16_t next = 0xFFFF;
        for (uint8_t offset = 0, want = 5; record.size() < 5u || record.size() < 5u + record[4]; offset += want) {
            if (record.size() >= 5)
                want = static_cast<uint8_t>(std::min<size_t>(16, 5u + record[4] - record.size()));
            Bytes r = bridged(kPowerMc, kSensor, 0x21,
                              {reserve[1], reserve[2], static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), offset, want});
            ASSERT_EQ(r.at(0), 0x00);
            ASSERT_EQ(r.size(), 3u + want);
            next = static_cast<uint16_t>(r[1] | r[2] << 8);
            record.insert(record.end(), r.begin() + 3, r.end());
        }
        records.push_back(record);
        id = next;
    }
    auto expected = sim.satelliteSdrEntries(kPowerMc);
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(records[i], expected[i].bytes);

    Bytes fruInfo = bridged(kPowerMc, kStorage, 0x10, {0x00});
    EXPECT_EQ(fruInfo, (Bytes{0x00, 64, 0, 0}));
    Bytes piece = bridged(kPowerMc, kStorage, 0x11, {0x00, 8, 0, 16});
    Bytes fru = sim.satelliteFruData(kPowerMc);
    Bytes expectedPiece{0x00, 16};
    expectedPiece.insert(expectedPiece.end(), fru.begin() + 8, fru.begin() + 24);
    EXPECT_EQ(piece, expectedPiece);
    EXPECT_EQ(bridged(kPowerMc, kSensor, 0x2D, {16}).at(1), 42);
}

TEST_F(IpmbBridgeTest, AbsentAddressesAreRefusedUnlessTheScenarioAsksForSilence) {
    const struct { const char* absent; uint8_t sendCode; } cases[] = {
        {nullptr, 0x83}, {"nak", 0x83}, {"ignore", 0x00},
    };
    for (const auto& c : cases) {
        json scenario = kScenario;
        if (c.absent) scenario["bmc"]["ipmbAbsent"] = c.absent;
        sim.loadScenario(scenario);
        const std::string what = c.absent ? c.absent : "(key omitted)";
        EXPECT_EQ(sendMessage(ipmbRequest(0x40, kApp, 0x01, 1)), c.sendCode) << what;
        EXPECT_EQ(ask(kApp, 0x31).at(1) & 0x01, 0x00) << what;   // and nothing ever answers
        EXPECT_EQ(bridged(kPowerMc, kApp, 0x01).at(1), 34) << what;   // present ones still do
    }
    EXPECT_THROW(sim.loadScenario(json{{"bmc", {{"ipmbAbsent", "drop"}}}}), std::invalid_argument);
}

TEST_F(IpmbBridgeTest, UnansweredRequestsLeaveTheQueueEmpty) {
    struct Case { const char* what; Bytes frame; uint8_t sendCode; };
    Bytes badHeader = ipmbRequest(kPowerMc, kApp, 0x01, 1);
    badHeader[2] ^= 0x01;
    Bytes badData = ipmbRequest(kPowerMc, kApp, 0x01, 1);
    badData.back() ^= 0x01;
    const Case cases[] = {
        {"silent satellite", ipmbRequest(kSilentMc, kApp, 0x01, 1), 0x00},
        {"bad first checksum", badHeader, 0x00},
        {"bad closing checksum", badData, 0x00},
        {"no device: NAK on write", ipmbRequest(0x30, kApp, 0x01, 1), 0x83},
    };
    for (const auto& c : cases) {
        sim.clearJournal();
        EXPECT_EQ(sendMessage(c.frame), c.sendCode) << c.what;
        EXPECT_EQ(sim.port(3) & 0x04, 0x00) << c.what;
        EXPECT_EQ(ask(kApp, 0x31).at(1) & 0x01, 0x00) << c.what;
        auto journal = sim.journal();   // direct exchanges journal only the bus frames
        ASSERT_EQ(journal.size(), 1u) << c.what;
        EXPECT_EQ(journal[0].requestCode, kIpmbFrameCode);
        EXPECT_EQ(journal[0].request, c.frame);
        EXPECT_TRUE(journal[0].answer.empty()) << c.what;
    }
    sim.silenceSatellite(kPowerMc, 1);
    EXPECT_EQ(sendMessage(ipmbRequest(kPowerMc, kApp, 0x01, 2)), 0x00);
    EXPECT_TRUE(getMessage().empty());
    EXPECT_EQ(bridged(kPowerMc, kApp, 0x01).at(1), 34);   // the next one is answered
}

TEST_F(IpmbBridgeTest, InjectedResponseFaultsAndCompletionCodes) {
    struct Case { IpmbFault fault; bool checksumsValid; uint8_t seqShift; };
    const Case cases[] = {
        {IpmbFault::WrongSequence, true, 1},
        {IpmbFault::BadHeaderChecksum, false, 0},
        {IpmbFault::BadDataChecksum, false, 0},
    };
    for (const auto& c : cases) {
        sim.injectIpmbFault(c.fault, 1);
        ASSERT_EQ(sendMessage(ipmbRequest(kPowerMc, kApp, 0x01, 9)), 0x00);
        Bytes frame = getMessage();
        ASSERT_GE(frame.size(), 8u);
        EXPECT_EQ(checksumsHold(frame), c.checksumsValid);
        EXPECT_EQ(frame[4] >> 2, 9 + c.seqShift);
        EXPECT_EQ(bridged(kPowerMc, kApp, 0x01).at(0), 0x00);   // one time only
    }
    sim.injectSatelliteCompletionCode(kPowerMc, kSensor, 0x2D, 0xC3, 2);
    EXPECT_EQ(bridged(kPowerMc, kSensor, 0x2D, {16}), (Bytes{0xC3}));
    EXPECT_EQ(bridged(kPowerMc, kSensor, 0x2D, {16}), (Bytes{0xC3}));
    EXPECT_EQ(bridged(kPowerMc, kSensor, 0x2D, {16}).at(0), 0x00);

    // Clear Message Flags drops what waits in the receive queue.
    EXPECT_EQ(sendMessage(ipmbRequest(kPowerMc, kApp, 0x01, 3)), 0x00);
    EXPECT_EQ(sim.port(3) & 0x04, 0x04);
    EXPECT_EQ(ask(kApp, 0x30, {0x01}), (Bytes{0x00}));
    EXPECT_EQ(sim.port(3) & 0x04, 0x00);
}

TEST_F(IpmbBridgeTest, EarlierGenerationWritesTheBusAndReadsTheSmsBuffer) {
    json scenario = kScenario;
    scenario["bmc"]["ipmiVersion"] = "0.9";
    sim.loadScenario(scenario);
    Bytes request = ipmbRequest(kOldMc, kApp, 0x01, 7);
    EXPECT_EQ(sendMessage(request), 0xC1);   // no bridging command before 1.0
    Bytes write{0x00, kOldMc};
    write.insert(write.end(), request.begin() + 1, request.end());
    EXPECT_EQ(ask(kApp, 0x50, write), (Bytes{0x00}));
    EXPECT_EQ(sim.port(3) & 0x04, 0x04);
    Bytes sms = ask(kApp, 0x37);
    ASSERT_EQ(sms.at(0), 0x00);
    Bytes frame{0x20};
    frame.insert(frame.end(), sms.begin() + 1, sms.end());
    EXPECT_TRUE(checksumsHold(frame));
    EXPECT_EQ(frame.size(), 7u + 7u);   // 0.9 Device ID: completion code and 6 bytes
    EXPECT_EQ(frame[7], 36);
    EXPECT_EQ(frame[11], 0x90);
    EXPECT_EQ(sim.port(3) & 0x04, 0x00);

    write[1] = 0x30;   // nobody there
    EXPECT_EQ(ask(kApp, 0x50, write).at(0), 0x05);
}

TEST_F(IpmbBridgeTest, EarlierGenerationBroadcastReachesTheNamedResponder) {
    json scenario = kScenario;
    scenario["bmc"]["ipmiVersion"] = "0.9";
    sim.loadScenario(scenario);
    // General call: address 0, then the whole message from its responder address on.
    Bytes broadcast{0x00, 0x00};
    Bytes request = ipmbRequest(kOldMc, kApp, 0x01, 9);
    broadcast.insert(broadcast.end(), request.begin(), request.end());
    EXPECT_EQ(ask(kApp, 0x50, broadcast), (Bytes{0x00}));
    Bytes sms = ask(kApp, 0x37);
    ASSERT_EQ(sms.at(0), 0x00);
    Bytes frame{0x20};
    frame.insert(frame.end(), sms.begin() + 1, sms.end());
    EXPECT_TRUE(checksumsHold(frame));
    EXPECT_EQ(frame[3], kOldMc);
    EXPECT_EQ(frame[4] >> 2, 9);
    EXPECT_EQ(frame[7], 36);

    broadcast[2] = 0x30;   // a message for nobody is not acknowledged
    EXPECT_EQ(ask(kApp, 0x50, broadcast).at(0), 0x05);
    EXPECT_EQ(ask(kApp, 0x37).at(0), 0x80);   // and leaves nothing to read
}

TEST_F(IpmbBridgeTest, DefaultScenarioCarriesSatellitesAndBadOnesAreRefused) {
    sim.loadScenarioFile(std::string(QV_SCENARIO_DIR) + "/default.json");
    EXPECT_EQ(sim.satelliteAddresses(), (Bytes{0x22, 0x28}));
    EXPECT_GE(sim.satelliteSdrEntries(0x22).size(), 2u);
    Bytes fru = sim.satelliteFruData(0x22);
    EXPECT_NE(std::string(fru.begin(), fru.end()).find("QVP0012345"), std::string::npos);
    Bytes card = sim.satelliteFruData(0x28);
    ASSERT_GE(card.size(), 8u);
    ASSERT_NE(card[5], 0);   // multi-record area present
    size_t at = card[5] * 8u;
    int records = 0;
    for (bool last = false; !last; ++records) {
        ASSERT_LE(at + 5, card.size());
        Bytes header(card.begin() + at, card.begin() + at + 5);
        EXPECT_EQ(twosComplement(header, 0, 5), 0);
        Bytes data(card.begin() + at + 5, card.begin() + at + 5 + header[2]);
        EXPECT_EQ(static_cast<uint8_t>(twosComplement(data, 0, data.size()) - header[3]), 0);
        last = header[1] & 0x80;
        at += 5 + header[2];
    }
    EXPECT_EQ(records, 2);
    EXPECT_EQ(sendMessage(ipmbRequest(0x40, kApp, 0x01, 1)), 0x83);   // absent addresses refused at once

    for (const char* bad : {R"([{"address": "0x20"}])", R"([{"address": 35}])", R"([{"address": 34}, {"address": 34}])"})
        EXPECT_THROW(sim.loadScenario(json{{"bmc", {{"satellites", json::parse(bad)}}}}), std::invalid_argument) << bad;
}

} // namespace
