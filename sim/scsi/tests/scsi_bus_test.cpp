#include "scsi_bus.h"

#include <scsi_payload.h>
#include <temp_root.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace qv::sim::scsi {
namespace {

namespace payload = qv::devsock::scsi;

const char* kScenario = R"({
  "adapters": [ {"host": 0, "driver": "aic7xxx"}, {"host": 1, "driver": "megaraid"} ],
  "targets": [
    {"host": 0, "id": 0, "sg": 0, "kind": "disk", "vendor": "QVDISK", "product": "ATLAS 9GB",
     "revision": "0B0B", "serial": "SN0123456789", "blocks": 17783240},
    {"host": 0, "id": 4, "sg": 1, "kind": "cdrom", "vendor": "QVOPT", "product": "CD-ROM 32X",
     "revision": "1.0A"},
    {"host": 0, "id": 6, "sg": 2, "kind": "enclosure", "vendor": "QVENCL", "product": "BACKPLANE",
     "revision": "1.10", "serial": "12345678"},
    {"host": 0, "channel": 1, "id": 2, "lun": 3, "sg": 3, "kind": "disk", "vendor": "QVDISK",
     "product": "SMALL", "revision": "0001", "blocks": 64}
  ]
})";

struct SgIoAnswer {
    int result = 0, error = 0;
    payload::SgIoStatusFields status{};
    Bytes sense, data;
};

class ScsiBusTest : public ::testing::Test {
protected:
    void SetUp() override { bus.load(nlohmann::json::parse(kScenario)); }

    SgIoAnswer sgIo(int sg, const Bytes& cdb, uint32_t dataLength,
                    int32_t direction = payload::kFromDevice, const Bytes& dataOut = {}) {
        payload::SgIoRequestFields fields{};
        fields.direction = direction;
        fields.cmdLength = static_cast<uint8_t>(cdb.size());
        fields.senseCapacity = 32;
        fields.dataLength = dataLength;
        devsock::Request request;
        request.op = devsock::kIoctl;
        request.code = payload::kSgIo;
        request.outCapacity = dataLength;
        const auto* p = reinterpret_cast<const uint8_t*>(&fields);
        request.data.assign(p, p + sizeof fields);
        request.data.insert(request.data.end(), cdb.begin(), cdb.end());
        request.data.insert(request.data.end(), dataOut.begin(), dataOut.end());
        auto reply = bus.handle(sg, request);
        SgIoAnswer answer;
        answer.result = reply.result;
        answer.error = reply.error;
        if (reply.result == 0) {
            EXPECT_GE(reply.data.size(), sizeof answer.status + 32);
            std::memcpy(&answer.status, reply.data.data(), sizeof answer.status);
            answer.sense.assign(reply.data.begin() + sizeof answer.status,
                                reply.data.begin() + sizeof answer.status + answer.status.senseWritten);
            answer.data.assign(reply.data.begin() + sizeof answer.status + 32, reply.data.end());
        }
        return answer;
    }

    ScsiBus bus;
};

std::string text(const Bytes& b, size_t from, size_t n) {
    return std::string(b.begin() + from, b.begin() + from + n);
}

TEST_F(ScsiBusTest, InquiryDataFollowsTheStandardLayout) {
    struct Case { int sg; uint8_t type; std::string vendorProduct, revision, from36; };
    const Case cases[] = {
        {0, 0x00, "QVDISK  ATLAS 9GB       ", "0B0B", "SN0123456789"},
        {1, 0x05, "QVOPT   CD-ROM 32X      ", "1.0A", std::string(8, '\0')},
        {2, 0x03, "QVENCL  BACKPLANE       ", "1.10", "12345678SAF-TE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sg);
        auto a = sgIo(c.sg, {0x12, 0, 0, 0, 0xF0, 0}, 240);
        ASSERT_EQ(a.result, 0);
        EXPECT_EQ(a.status.status, 0);
        ASSERT_EQ(a.data.size(), 96u);
        EXPECT_EQ(a.data[0], c.type);
        EXPECT_EQ(a.data[4], 91);   // additional length: the whole answer
        EXPECT_EQ(text(a.data, 8, 24), c.vendorProduct);
        EXPECT_EQ(text(a.data, 32, 4), c.revision);
        EXPECT_EQ(text(a.data, 36, c.from36.size()), c.from36);
    }
    // The allocation length and the caller's capacity both cut the answer.
    EXPECT_EQ(sgIo(0, {0x12, 0, 0, 0, 5, 0}, 240).data.size(), 5u);
    auto cut = sgIo(0, {0x12, 0, 0, 0, 0xF0, 0}, 36);
    EXPECT_EQ(cut.data.size(), 36u);
    EXPECT_EQ(cut.status.residual, 0);
}

TEST_F(ScsiBusTest, CapacityAndReadsOfADisk) {
    auto capacity = sgIo(0, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
    EXPECT_EQ(capacity.data, (Bytes{0x01, 0x0F, 0x59, 0xC7, 0, 0, 0x02, 0x00}));   // last LBA 17783239

    auto read = sgIo(0, {0x08, 0x00, 0x03, 0x04, 0x02, 0}, 1024);
    ASSERT_EQ(read.data.size(), 1024u);
    EXPECT_EQ(text(read.data, 0, 4), std::string("\0\0\x03\x04", 4));
    EXPECT_EQ(text(read.data, 512, 4), std::string("\0\0\x03\x05", 4));

    // Past the end of the 64-block disk, and a command no target offers.
    auto beyond = sgIo(3, {0x08, 0x00, 0x00, 0x3F, 0x02, 0}, 1024);
    EXPECT_EQ(beyond.status.status, kStatusCheckCondition);
    ASSERT_EQ(beyond.sense.size(), 18u);
    EXPECT_EQ(beyond.sense[2], 0x05);
    EXPECT_EQ(beyond.sense[12], 0x21);
    EXPECT_TRUE(beyond.data.empty());
    EXPECT_EQ(sgIo(0, {0xC5, 0, 0, 0, 0, 0}, 0, payload::kNoData).sense[12], 0x20);
    // The CD-ROM has no medium.
    EXPECT_EQ(sgIo(1, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).sense[2], 0x02);
}

TEST_F(ScsiBusTest, InjectedConditionsLastTheirCountAndRequestSenseReportsThem) {
    ASSERT_TRUE(bus.failCommands(0, {0x02, 0x04, 0x01}, 2));
    for (int i = 0; i < 2; ++i) {
        auto a = sgIo(0, {0, 0, 0, 0, 0, 0}, 0, payload::kNoData);
        EXPECT_EQ(a.status.status, kStatusCheckCondition);
        EXPECT_EQ(a.status.driverStatus, payload::kDriverSense);
    }
    auto sense = sgIo(0, {0x03, 0, 0, 0, 0xFF, 0}, 255);
    EXPECT_EQ(sense.status.status, 0);
    ASSERT_EQ(sense.data.size(), 18u);
    EXPECT_EQ(sense.data[0], 0x70);
    EXPECT_EQ(sense.data[2], 0x02);
    EXPECT_EQ(sense.data[12], 0x04);
    EXPECT_EQ(sense.data[13], 0x01);
    EXPECT_EQ(sgIo(0, {0, 0, 0, 0, 0, 0}, 0, payload::kNoData).status.status, 0);
    EXPECT_EQ(sgIo(0, {0x03, 0, 0, 0, 0xFF, 0}, 255).data[2], 0);   // no sense any more

    // A reset: INQUIRY still answers, the next other command reports the unit attention once.
    ASSERT_TRUE(bus.resetTarget(0));
    EXPECT_EQ(sgIo(0, {0x12, 0, 0, 0, 0xF0, 0}, 240).status.status, 0);
    EXPECT_EQ(sgIo(0, {0, 0, 0, 0, 0, 0}, 0, payload::kNoData).sense[2], 0x06);
    EXPECT_EQ(sgIo(0, {0, 0, 0, 0, 0, 0}, 0, payload::kNoData).status.status, 0);

    ASSERT_TRUE(bus.setInvalidInquiry(0, true));
    EXPECT_EQ(sgIo(0, {0x12, 0, 0, 0, 0xF0, 0}, 240).data[0], 0x7F);
    EXPECT_FALSE(bus.failCommands(9, {}, 1));
}

TEST_F(ScsiBusTest, TransportFaultsAndMalformedRequests) {
    ASSERT_TRUE(bus.setFaults(0, {ENOENT, 0, 0, 0}));
    EXPECT_EQ(bus.open(0), ENOENT);
    EXPECT_EQ(bus.open(1), 0);
    EXPECT_EQ(bus.open(7), ENXIO);

    ASSERT_TRUE(bus.setFaults(0, {0, EIO, 0, 0}));
    auto transport = sgIo(0, {0, 0, 0, 0, 0, 0}, 0, payload::kNoData);
    EXPECT_EQ(transport.result, -1);
    EXPECT_EQ(transport.error, EIO);

    ASSERT_TRUE(bus.setFaults(0, {0, 0, 0x0001, 0}));   // no connection: the target sees nothing
    bus.clearJournal();
    auto host = sgIo(0, {0x12, 0, 0, 0, 0xF0, 0}, 240);
    EXPECT_EQ(host.result, 0);
    EXPECT_EQ(host.status.hostStatus, 1);
    EXPECT_TRUE(host.data.empty());

    ASSERT_TRUE(bus.setFaults(0, {}));
    // A command block longer than the request, or a data-out length that does not match.
    auto shortCdb = sgIo(0, {0x12, 0, 0}, 240);
    EXPECT_EQ(shortCdb.error, EINVAL);
    auto badOut = sgIo(0, {0x0A, 0, 0, 0, 1, 0}, 512, payload::kToDevice, Bytes(100));
    EXPECT_EQ(badOut.error, EINVAL);
}

TEST_F(ScsiBusTest, JournalAndScsiIdAndProcFixtures) {
    bus.clearJournal();
    sgIo(3, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
    auto journal = bus.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].sgNumber, 3);
    EXPECT_EQ(journal[0].cdb.size(), 10u);
    EXPECT_EQ(journal[0].direction, payload::kFromDevice);
    EXPECT_EQ(journal[0].dataIn, (Bytes{0, 0, 0, 63, 0, 0, 2, 0}));

    devsock::Request request;
    request.code = payload::kSgGetScsiId;
    auto reply = bus.handle(3, request);
    ASSERT_EQ(reply.data.size(), sizeof(payload::ScsiIdReply));
    payload::ScsiIdReply id;
    std::memcpy(&id, reply.data.data(), sizeof id);
    EXPECT_EQ(id.hostNumber, 0);
    EXPECT_EQ(id.channel, 1);
    EXPECT_EQ(id.scsiId, 2);
    EXPECT_EQ(id.lun, 3);
    EXPECT_EQ(id.scsiType, 0);

    qv::test::TempRoot root;
    bus.writeProcFixtures();
    EXPECT_TRUE(root.exists("/proc/scsi/aic7xxx/0"));
    EXPECT_TRUE(root.exists("/proc/scsi/megaraid/1"));
    const std::string listing = root.readFile("/proc/scsi/scsi");
    EXPECT_NE(listing.find("Host: scsi0 Channel: 01 Id: 02 Lun: 03"), std::string::npos);
    EXPECT_NE(listing.find("MegaRAID"), std::string::npos);
}

// An independent reader of the standard layouts agrees with what the simulator serves.
TEST_F(ScsiBusTest, SgUtilsDecodeInquiryAndSense) {
    if (::access("/usr/bin/sg_inq", X_OK) != 0 || ::access("/usr/bin/sg_decode_sense", X_OK) != 0)
        GTEST_SKIP() << "sg3-utils not installed";
    auto hex = [](const Bytes& bytes) {
        std::string out;
        char b[4];
        for (uint8_t v : bytes) {
            std::snprintf(b, sizeof b, "%02x ", v);
            out += b;
        }
        return out;
    };
    qv::test::TempRoot root;
    struct Case { int sg; std::string type, vendor, product, revision; };
    for (const Case& c : {Case{0, "disk", "QVDISK", "ATLAS 9GB", "0B0B"},
                          Case{1, "cd/dvd", "QVOPT", "CD-ROM 32X", "1.0A"},
                          Case{2, "processor", "QVENCL", "BACKPLANE", "1.10"}}) {
        SCOPED_TRACE(c.sg);
        root.writeFile("/inquiry.hex", hex(sgIo(c.sg, {0x12, 0, 0, 0, 0xF0, 0}, 240).data) + "\n");
        auto decoded = qv::test::runProgram("/usr/bin/sg_inq", {"--inhex=" + root.at("/inquiry.hex"), "--page=sinq"});
        EXPECT_NE(decoded.out.find("Peripheral device type: " + c.type), std::string::npos) << decoded.out;
        EXPECT_NE(decoded.out.find("Vendor identification: " + c.vendor), std::string::npos);
        EXPECT_NE(decoded.out.find("Product identification: " + c.product), std::string::npos);
        EXPECT_NE(decoded.out.find("Product revision level: " + c.revision), std::string::npos);
    }
    ASSERT_TRUE(bus.failCommands(0, {0x03, 0x11, 0x00}, 1));
    auto failedRead = sgIo(0, {0x08, 0, 0, 0, 1, 0}, 512);
    std::vector<std::string> args;
    for (uint8_t v : failedRead.sense) {
        char b[4];
        std::snprintf(b, sizeof b, "%02x", v);
        args.push_back(b);
    }
    auto sense = qv::test::runProgram("/usr/bin/sg_decode_sense", args);
    EXPECT_NE(sense.out.find("Fixed format, current; Sense key: Medium Error"), std::string::npos) << sense.out;
    EXPECT_NE(sense.out.find("Unrecovered read error"), std::string::npos) << sense.out;
}

} // namespace
} // namespace qv::sim::scsi
