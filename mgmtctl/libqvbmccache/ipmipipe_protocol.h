// The IPMI cache service's FIFO protocol: request and reply blocks byte for byte, request types,
// status codes and the FIFO names, shared by the service and its client library.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

inline constexpr char kIpmiRequestPipe[] = "/var/qvserver/pipe.in";
inline constexpr char kIpmiReplyPipePrefix[] = "/var/qvserver/pipe.ret";
// The reply FIFO's name field of a request message: a name of this length fills it without a
// terminator; the service terminates it after 27 characters.
inline constexpr size_t kReplyNameField = 27;

enum IpmiRequestType : uint32_t {
    IPMI_REQ_SYSTEM = 1,
    IPMI_REQ_PACKAGE = 2,
    IPMI_REQ_SENSOR_READING = 11,
    IPMI_REQ_SENSOR_RECORD = 12,
};

inline constexpr uint32_t IPMI_STATUS_OK = 0;
inline constexpr uint32_t IPMI_STATUS_BUFFER_TOO_SMALL = 0x100012;
inline constexpr uint32_t IPMI_STATUS_STARTUP_FAILED = 0x100102;
inline constexpr uint32_t IPMI_STATUS_NO_CONTROLLER = 0x100103;
inline constexpr uint32_t IPMI_STATUS_NO_SENSOR = 0x100201;
inline constexpr uint32_t IPMI_STATUS_NO_PACKAGE = 0x100202;

#pragma pack(push, 1)
struct ParamsType {
    uint32_t param1, param2, param3;
};

struct RequestBlock {
    uint32_t opCode;
    uint32_t status;
    uint32_t cbMaxSize;
    uint32_t iPackage;
    uint32_t iUnit;
    ParamsType params;
};

struct IpmiInfoType {
    uint8_t bVersion, bFWRev1, bFWRev2, bDevRev;
    uint32_t nPackages, nSensors, nFRUs;
};

struct PkgInfoType {
    uint32_t nSensors, nFRUs;
    char szFWVersion[20];
    uint8_t bAddr;
    uint8_t pad[3];
};

struct PipeSDR {
    uint16_t recordId;
    uint8_t sdrVersion, recordLength;
    uint8_t sensorOwnerId, sensorOwnerLUN, sensorNumber, entityId, entityInstance,
        sensorInitialization, sensorType, eventReadingBaseType;
    uint8_t eventAssertionMask[2], eventDeassertionMask[2], eventReadingMask[2];
    uint8_t sensorUnits1, sensorUnits2, sensorUnits3;
    uint8_t sensorRecordSharing[2];
    uint8_t oem, nameTypeLength;
    char name[16];
};

struct ResponseBlock {
    uint32_t opCode;
    uint32_t status;
    uint32_t cbData;
    uint8_t data[41];
};

// What the client writes to the request FIFO in one write.
struct RequestMessage {
    char szRetPipeName[kReplyNameField];
    RequestBlock request;
};
#pragma pack(pop)

static_assert(sizeof(ParamsType) == 12);
static_assert(sizeof(RequestBlock) == 32);
static_assert(sizeof(IpmiInfoType) == 16);
static_assert(sizeof(PkgInfoType) == 32);
static_assert(sizeof(PipeSDR) == 41);
static_assert(sizeof(ResponseBlock) == 53);
static_assert(sizeof(RequestMessage) == 59);
inline constexpr size_t kResponseHeaderBytes = 12;

// The reply FIFO name of a process (not sandboxed): "/var/qvserver/pipe.ret%05d" for ids below
// 100000; larger ids (Linux allows up to 4194304) take a form that starts with a letter followed
// by four base-36 digits, so it keeps the field's length and never meets a decimal name. Empty
// for an id that neither form can hold.
std::string replyPipeName(pid_t pid);

// True for a name replyPipeName can produce: the only reply paths the service writes to.
bool isReplyPipeName(const char* name, size_t field);
