// The request handling over stand-in system, package and sensor objects: statuses, the size rule
// and the conversion of every record layout.
#include "fake_ipmi_objects.h"
#include <request_handler.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace qv::bmccache::test;

RequestBlock request(uint32_t op, uint32_t package, uint32_t unit, uint32_t cb = 64)
{
    RequestBlock r{};
    r.opCode = op;
    r.cbMaxSize = cb;
    r.iPackage = package;
    r.iUnit = unit;
    return r;
}

TEST(RequestHandlerTest, StatusesAndTheSizeRule)
{
    FakeSystem system;
    system.package.sensors[1].hasSdr = false;
    system.package.sensors[0].readingResult = 0xA01A0000;
    CacheFigures figures;
    const struct { RequestBlock rq; uint32_t status; uint32_t cbData; } cases[] = {
        {request(1, 0, 0), 0, 16},
        {request(1, 0, 0, 10), IPMI_STATUS_BUFFER_TOO_SMALL, 10},
        {request(2, 0, 0), IPMI_STATUS_NO_CONTROLLER, 0},
        {request(2, 1, 0), IPMI_STATUS_NO_PACKAGE, 0},
        {request(2, 0x80000000u, 0), IPMI_STATUS_NO_PACKAGE, 0},
        {request(11, 0, 0, 1), 0xA01A0000, 0},   // a failed reading is not size-tested
        {request(11, 0, 2), IPMI_STATUS_NO_SENSOR, 0},
        {request(12, 0, 1), IPMI_STATUS_NO_SENSOR, 0},
        {request(12, 3, 0), IPMI_STATUS_NO_SENSOR, 0},
        {request(12, 0, 0), 0, 41},
        {request(7, 0, 0, 0), 0, 0},
    };
    for (const auto& c : cases) {
        const ResponseBlock reply = handleRequest(c.rq, figures, &system);
        EXPECT_EQ(reply.opCode, c.rq.opCode);
        EXPECT_EQ(reply.status, c.status) << c.rq.opCode << "/" << c.rq.iPackage << "/" << c.rq.iUnit;
        EXPECT_EQ(reply.cbData, c.cbData) << c.rq.opCode;
    }
    system.package.sensors[0].readingResult = 0;
    const ResponseBlock cut = handleRequest(request(11, 0, 0, 20), figures, &system);
    EXPECT_EQ(cut.status, IPMI_STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(cut.cbData, 20u);
    SensorReadingStruct reading{};
    std::memcpy(&reading, cut.data, sizeof reading);
    EXPECT_EQ(reading.tAnalog.bRawReading, 0x42);
}

TEST(RequestHandlerTest, SystemFiguresAndFirmwareText)
{
    CacheFigures figures;
    figures.bVersion = 10;
    figures.bFWRev1 = 0x81;
    figures.bFWRev2 = 0x23;
    figures.bDevRev = 1;
    figures.nPackages = 3;
    figures.nSensors = 7;
    figures.nFRUs = 4;
    const ResponseBlock reply = handleRequest(request(1, 0, 0), figures, nullptr);
    IpmiInfoType info{};
    std::memcpy(&info, reply.data, sizeof info);
    EXPECT_EQ(info.bVersion, 10);
    EXPECT_EQ(info.bFWRev1, 0x81);
    EXPECT_EQ(info.nPackages, 3u);
    EXPECT_EQ(info.nSensors, 7u);
    EXPECT_EQ(info.nFRUs, 4u);

    GlobGetDeviceIdResponse id{};
    id.bVersion = 10;
    id.Ver10.deviceRevision = 0x81;
    id.Ver10.firmwareRev1 = 0x82;
    id.Ver10.firmwareRev2 = 0x37;
    EXPECT_EQ(firmwareText(id), "B.02.37");
}

TEST(RequestHandlerTest, EntityTableOf09Codes)
{
    const struct { uint8_t code, entity, instance; } cases[] = {
        {0x00, 0, 0},    {0x01, 0x07, 0}, {0x02, 0x07, 2},  {0x04, 0x07, 4},  {0x05, 0, 0},
        {0x0B, 0x10, 4}, {0x2C, 0x0A, 1}, {0x33, 0x0A, 8},  {0x67, 0x0B, 4},  {0x68, 0, 0},
        {0x6C, 0x04, 1}, {0x6E, 0x04, 3}, {0x7B, 0x04, 16}, {0x7C, 0x05, 1},  {0x83, 0x05, 8},
        {0x84, 0, 0},    {0xFF, 0, 0},
    };
    for (const auto& c : cases) {
        uint8_t entity = 0xEE, instance = 0xEE;
        entityFrom09(c.code, entity, instance);
        EXPECT_EQ(entity, c.entity) << int(c.code);
        EXPECT_EQ(instance, c.instance) << int(c.code);
    }
}

Sdr header(uint8_t version, uint8_t type)
{
    Sdr sdr;
    std::memset(&sdr, 0x5A, sizeof sdr);
    sdr.recordId = 0x1234;
    sdr.sdrVersion = version;
    sdr.recordType = type;
    sdr.recordLength = 48;
    return sdr;
}

TEST(RequestHandlerTest, RecordsOfEveryLayoutConvert)
{
    Sdr full10 = header(0x01, 1);
    full10.body.t10_01.sensorNumber = 9;
    full10.body.t10_01.entityId = 0x07;
    full10.body.t10_01.entityInstance = 2;
    full10.body.t10_01.eventAssertionMask = 0x0A95;
    full10.body.t10_01.settableReadableMask = 0x3F3F;
    std::memcpy(full10.body.t10_01.name, "Baseboard Temp\0\0", 16);
    PipeSDR p = toPipeSdr(full10);
    EXPECT_EQ(p.recordId, 0x1234);
    EXPECT_EQ(p.sdrVersion, 1);
    EXPECT_EQ(p.recordLength, 17);
    EXPECT_EQ(p.sensorNumber, 9);
    EXPECT_EQ(p.entityId, 0x07);
    EXPECT_EQ(p.entityInstance, 2);
    EXPECT_EQ(p.eventAssertionMask[0], 0x95);
    EXPECT_EQ(p.eventAssertionMask[1], 0x0A);
    EXPECT_EQ(p.eventReadingMask[0], 0x3F);
    EXPECT_EQ(p.sensorRecordSharing[0], 0);
    EXPECT_STREQ(p.name, "Baseboard Temp");

    Sdr compact10 = header(0x01, 2);
    compact10.body.t10_02.sensorRecordSharing = 0x8103;
    compact10.body.t10_02.eventReadingMask = 0x0102;
    p = toPipeSdr(compact10);
    EXPECT_EQ(p.sensorRecordSharing[0], 0x03);
    EXPECT_EQ(p.sensorRecordSharing[1], 0x81);
    EXPECT_EQ(p.eventReadingMask[0], 0x02);

    Sdr full09 = header(0x10, 1);
    full09.body.t09_01.entityId = 0x6E;
    full09.body.t09_01.eventTriggerMask = 0x00C3;
    full09.body.t09_01.eventReadingMask = 0x0011;
    full09.body.t09_01.oem = 0x77;
    p = toPipeSdr(full09);
    EXPECT_EQ(p.entityId, 0x04);
    EXPECT_EQ(p.entityInstance, 3);
    EXPECT_EQ(p.eventAssertionMask[0], 0xC3);
    EXPECT_EQ(p.eventDeassertionMask[0], 0);
    EXPECT_EQ(p.eventReadingMask[0], 0x11);
    EXPECT_EQ(p.oem, 0x77);

    Sdr compact09 = header(0x90, 2);
    compact09.body.t09_02.entityId = 0x7C;
    compact09.body.t09_02.sensorRecordSharing = 0x0204;
    p = toPipeSdr(compact09);
    EXPECT_EQ(p.entityId, 0x05);
    EXPECT_EQ(p.entityInstance, 1);
    EXPECT_EQ(p.sensorRecordSharing[0], 0x04);

    p = toPipeSdr(header(0x01, 0x12));   // not a sensor record: the header part only
    EXPECT_EQ(p.recordId, 0x1234);
    EXPECT_EQ(p.sensorNumber, 0);
    EXPECT_EQ(p.name[0], 0);
}

} // namespace
