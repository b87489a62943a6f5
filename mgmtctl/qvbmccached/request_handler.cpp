#include "request_handler.h"

#include <algorithm>
#include <cstring>

namespace {

// Rows of the 0.9 entity table as runs: codes first..first+count-1 map to `entity` with
// instances instance..instance+count-1.
struct EntityRun {
    uint8_t first, count, entity, instance;
};
constexpr EntityRun kEntityRuns[] = {
    {0x01, 1, 0x07, 0},  {0x02, 3, 0x07, 2},  {0x08, 4, 0x10, 1},  {0x10, 4, 0x09, 1},
    {0x18, 4, 0x03, 1},  {0x20, 4, 0x08, 1},  {0x28, 4, 0x0F, 1},  {0x2C, 8, 0x0A, 1},
    {0x34, 4, 0x15, 1},  {0x3C, 4, 0x14, 1},  {0x44, 4, 0x06, 1},  {0x4C, 4, 0x17, 1},
    {0x54, 4, 0x0C, 1},  {0x5C, 4, 0x16, 1},  {0x64, 4, 0x0B, 1},  {0x6C, 16, 0x04, 1},
    {0x7C, 8, 0x05, 1},
};

constexpr uint8_t kSdrVersion10 = 0x01;
constexpr uint8_t kRecordFull = 1;
constexpr uint8_t kRecordCompact = 2;

bool is09(uint8_t version) { return version == 0x10 || version == 0x90; }

void putWord(uint8_t (&out)[2], uint16_t word)
{
    out[0] = static_cast<uint8_t>(word);
    out[1] = static_cast<uint8_t>(word >> 8);
}

// The fields every sensor record layout names alike.
template <typename Body>
void copyCommon(PipeSDR& p, const Body& b)
{
    p.sensorOwnerId = b.sensorOwnerId;
    p.sensorOwnerLUN = b.sensorOwnerLUN;
    p.sensorNumber = b.sensorNumber;
    p.sensorInitialization = b.sensorInitialization;
    p.sensorType = b.sensorType;
    p.eventReadingBaseType = b.eventReadingBaseType;
    p.sensorUnits1 = b.sensorUnits1;
    p.sensorUnits2 = b.sensorUnits2;
    p.sensorUnits3 = b.sensorUnits3;
    p.oem = b.oem;
    p.nameTypeLength = b.nameTypeLength;
    std::memcpy(p.name, b.name, sizeof p.name);
}

template <typename Body>
void copy10(PipeSDR& p, const Body& b, uint16_t readingMask)
{
    copyCommon(p, b);
    p.entityId = b.entityId;
    p.entityInstance = b.entityInstance;
    putWord(p.eventAssertionMask, b.eventAssertionMask);
    putWord(p.eventDeassertionMask, b.eventDeassertionMask);
    putWord(p.eventReadingMask, readingMask);
}

template <typename Body>
void copy09(PipeSDR& p, const Body& b)
{
    copyCommon(p, b);
    entityFrom09(b.entityId, p.entityId, p.entityInstance);
    putWord(p.eventAssertionMask, b.eventTriggerMask);
    putWord(p.eventReadingMask, b.eventReadingMask);
}

CSensorExport* findSensor(CIPMSystemExport* system, uint32_t iPackage, uint32_t iUnit)
{
    if (!system || iPackage >= static_cast<uint32_t>(system->GetPackageCount()))
        return nullptr;
    CIPMPackageExport* package = system->GetPackage(static_cast<int>(iPackage));
    if (!package || iUnit >= static_cast<uint32_t>(package->GetSensorCount()))
        return nullptr;
    return package->GetSensor(static_cast<int>(iUnit));
}

template <typename Layout>
void putData(ResponseBlock& reply, const Layout& layout)
{
    static_assert(sizeof layout <= sizeof reply.data);
    std::memcpy(reply.data, &layout, sizeof layout);
    reply.cbData = sizeof layout;
}

uint32_t answerPackage(const RequestBlock& request, CIPMSystemExport* system, ResponseBlock& reply)
{
    CIPMPackageExport* package = nullptr;
    if (system && request.iPackage < static_cast<uint32_t>(system->GetPackageCount()))
        package = system->GetPackage(static_cast<int>(request.iPackage));
    if (!package)
        return IPMI_STATUS_NO_PACKAGE;
    PkgInfoType info{};
    info.nSensors = static_cast<uint32_t>(package->GetSensorCount());
    info.nFRUs = static_cast<uint32_t>(package->GetFruCount());
    CIPMControllerExport* controller = package->GetController();
    if (!controller)
        return IPMI_STATUS_NO_CONTROLLER;
    info.bAddr = controller->GetAddress();
    try {
        const GlobGetDeviceIdResponse id = controller->GetDeviceId();
        if (id.bVersion >= 9) {
            const std::string text = firmwareText(id);
            std::memcpy(info.szFWVersion, text.data(),
                        std::min(text.size(), sizeof info.szFWVersion - 1));
        }
    } catch (CIPMExceptionExport* e) {
        return e->GetErrorCode();
    }
    putData(reply, info);
    return IPMI_STATUS_OK;
}

} // namespace

void entityFrom09(uint8_t code, uint8_t& entityId, uint8_t& entityInstance)
{
    entityId = 0;
    entityInstance = 0;
    for (const EntityRun& run : kEntityRuns) {
        if (code >= run.first && code - run.first < run.count) {
            entityId = run.entity;
            entityInstance = static_cast<uint8_t>(run.instance + (code - run.first));
            return;
        }
    }
}

PipeSDR toPipeSdr(const Sdr& sdr)
{
    PipeSDR p{};
    p.recordId = sdr.recordId;
    p.sdrVersion = 1;
    p.recordLength = 17;
    if (sdr.sdrVersion == kSdrVersion10 && sdr.recordType == kRecordFull) {
        copy10(p, sdr.body.t10_01, sdr.body.t10_01.settableReadableMask);
    } else if (sdr.sdrVersion == kSdrVersion10 && sdr.recordType == kRecordCompact) {
        copy10(p, sdr.body.t10_02, sdr.body.t10_02.eventReadingMask);
        putWord(p.sensorRecordSharing, sdr.body.t10_02.sensorRecordSharing);
    } else if (is09(sdr.sdrVersion) && sdr.recordType == kRecordFull) {
        copy09(p, sdr.body.t09_01);
    } else if (is09(sdr.sdrVersion) && sdr.recordType == kRecordCompact) {
        copy09(p, sdr.body.t09_02);
        putWord(p.sensorRecordSharing, sdr.body.t09_02.sensorRecordSharing);
    }
    return p;
}

ResponseBlock handleRequest(const RequestBlock& request, const CacheFigures& figures,
                            CIPMSystemExport* system)
{
    ResponseBlock reply{};
    reply.opCode = request.opCode;
    uint32_t status = IPMI_STATUS_OK;
    switch (request.opCode) {
    case IPMI_REQ_SYSTEM: {
        IpmiInfoType info{figures.bVersion, figures.bFWRev1, figures.bFWRev2, figures.bDevRev,
                          static_cast<uint32_t>(figures.nPackages), figures.nSensors,
                          figures.nFRUs};
        putData(reply, info);
        break;
    }
    case IPMI_REQ_PACKAGE:
        status = answerPackage(request, system, reply);
        break;
    case IPMI_REQ_SENSOR_READING: {
        CSensorExport* sensor = findSensor(system, request.iPackage, request.iUnit);
        if (!sensor) {
            status = IPMI_STATUS_NO_SENSOR;
            break;
        }
        SensorReadingStruct reading{};
        const ErrorType result = sensor->GetReading(&reading);
        if (result != 0) {
            reply.status = result;   // a failed reading is reported as it stands
            return reply;
        }
        putData(reply, reading);
        break;
    }
    case IPMI_REQ_SENSOR_RECORD: {
        CSensorExport* sensor = findSensor(system, request.iPackage, request.iUnit);
        const Sdr* sdr = sensor ? sensor->GetSdr() : nullptr;
        if (!sdr) {
            status = IPMI_STATUS_NO_SENSOR;
            break;
        }
        putData(reply, toPipeSdr(*sdr));
        break;
    }
    default:
        break;   // unknown requests succeed with no data
    }
    if (status == IPMI_STATUS_OK && request.cbMaxSize < reply.cbData) {
        reply.cbData = request.cbMaxSize;
        status = IPMI_STATUS_BUFFER_TOO_SMALL;
    }
    reply.status = status;
    return reply;
}
