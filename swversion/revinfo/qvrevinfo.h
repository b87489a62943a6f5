// The version information library's interface, as outside hosts compile against it: records,
// interface classes, the entry point and the text getters (all unmangled).
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

enum STRING_TYPE : int32_t { UNICODE = 0, BCD_PLUS = 1, SIX_BIT_ASCII = 2, EIGHT_BIT_ASCII = 3, ST_UNKNOWN = 4 };

struct STRING_DATA {
    STRING_TYPE type;
    uint8_t stringLength;
    char stringData[128];
};
static_assert(sizeof(STRING_DATA) == 136 && offsetof(STRING_DATA, stringData) == 5);

enum DRIVER_TYPE : int32_t {
    DRIVER_UNKNOWN = 0, DRIVER_LAN = 1, DRIVER_SCSI = 2, DRIVER_VIDEO = 3, DRIVER_IDE = 4,
    DRIVER_PRINTER = 5, DRIVER_DAC = 6, DRIVER_STORAGE = 7, DRIVER_NOS = 8, DRIVER_NETWORK = 9,
    DRIVER_FILESYS = 10,
};

struct DRIVER_VERSION_INFO {
    STRING_DATA driverName;
    DRIVER_TYPE driverType;
    STRING_DATA driverManufacturer;
    STRING_DATA driverVersion;
    STRING_DATA driverDescription;
    STRING_DATA driverProduct;
    STRING_DATA driverTime;
    STRING_DATA driverFilePath;
    int32_t driverSize;
};
static_assert(sizeof(DRIVER_VERSION_INFO) == 960 && offsetof(DRIVER_VERSION_INFO, driverSize) == 956);

enum FIRMWARE_TYPE : int32_t {
    FW_UNKNOWN = 0, FW_BMC = 1, FW_MMC = 2, FW_FPC = 3, FW_MIRRAFIN2 = 4, FW_MIRRAFIN3 = 5,
    FW_RMC = 6, FW_FCARRAY = 7, FW_STRATAVOL_4M = 8, FW_STRATAVOL = 9, FW_STRATAVOL_3Si = 10,
    FW_STRATAVOL_1Si = 11, FW_STRATAVOL_EMBEDDED_KVX_SERIES = 12,
    FW_STRATAVOL_EMBEDDED_KVXXXX_SERIES = 13, FW_STRATAVOL_1M = 14, FW_STRATAVOL_2M = 15,
    FW_HBA_IDE = 16, FW_HBA_SCSI = 17, FW_ETV = 18, FW_CMC = 19, FW_PSC = 20,
};

struct FW_REVISION_INFO {
    STRING_DATA firmwareManufacturer;
    STRING_DATA firmwareName;
    STRING_DATA firmwareDescription;
    STRING_DATA firmwareRevision;
    STRING_DATA firmwareReleaseDate;
    FIRMWARE_TYPE firmwareType;
};
static_assert(sizeof(FW_REVISION_INFO) == 684);

enum ACCESS_STATUS : int32_t {
    ACCESS_OK = 0, ACCESS_ERROR = 1, ACCESS_OUT_OF_RANGE = 2, ACCESS_END_OF_DATA = 3,
    ACCESS_UNSUPPORTED = 4, ACCESS_INVALID_TRANSACTION = 5,
};

struct API_CLASS_DRIVER_VERSION {
    int (*GetNumberOfDrivers)(int* count);
    int (*GetDriverVersionInfo)(unsigned index, DRIVER_VERSION_INFO* info);
};

struct API_CLASS_FIRMWARE_VERSION {
    int (*GetNumberOfFirmWares)(int* count);
    int (*GetFirmWareVersionInfo)(unsigned index, FW_REVISION_INFO* info);
};

// Declared for hosts; the library hands out no instance of it.
struct API_CLASS_AGENT_VERSION {
    int (*GetAgentVersionInfo)();
};

// An int and a pointer: 16 bytes on x86_64, where the pointer is 8 bytes wide.
struct DRIVER_API_STRUCT {
    int apiClassId;   // 1 drivers, 2 firmware
    void* api;
};
static_assert(sizeof(DRIVER_API_STRUCT) == 16 && offsetof(DRIVER_API_STRUCT, api) == 8);

int QVREVINFOCiGetApiInfo(DRIVER_API_STRUCT** table, int* count, void (**cleanup)());

int GetDriverCount(int* count);
int GetFirmwareCount(int* count);
int GetDriverVersionInfo(unsigned index, DRIVER_VERSION_INFO* info);   // index from 1
int GetFirmwareVersionInfo(unsigned index, FW_REVISION_INFO* info);    // index from 1

// Text getters: 0-based index, `size` bytes including the NUL.
int GetDriverName(unsigned index, char* buffer, unsigned size);
int GetDriverInfoManufacturer(unsigned index, char* buffer, unsigned size);
int GetDriverInfoDescription(unsigned index, char* buffer, unsigned size);
int GetDriverInfoProduct(unsigned index, char* buffer, unsigned size);
int GetDriverInfoVersion(unsigned index, char* buffer, unsigned size);
int GetDriverInfoType(unsigned index, char* buffer, unsigned size);
int GetDriverFilePath(unsigned index, char* buffer, unsigned size);
int GetDriverInfoFileStamp(unsigned index, char* buffer, unsigned size);
int GetDriverInfoDMIFileTime(unsigned index, char* buffer, unsigned size);
int GetDriverInfoFileSize(unsigned index, char* buffer, unsigned size);
int GetDriverInfoOctetFileStamp(unsigned index, char* buffer, unsigned size);
int GetDriverInfoNumType(unsigned index, DRIVER_TYPE* type);
int GetFWComponentName(unsigned index, char* buffer, unsigned size);
int GetFWComponentProduct(unsigned index, char* buffer, unsigned size);
int GetFWComponentManufacturer(unsigned index, char* buffer, unsigned size);
int GetFWComponentVersion(unsigned index, char* buffer, unsigned size);
int GetFWComponentNumType(unsigned index, FIRMWARE_TYPE* type);
int GetTotalNumberOfDrivers();
int GetTotalNumberOfFirmwares();
int UpdateDriverInfo();
int UpdateFirmwareInfo();

// The running management software (SNMP daemon and installed agents); 0-based index.
int GetTotalNumberOfAgents();
int GetAgentName(int index, char* buffer, unsigned size);
int GetAgentSize(int index, char* buffer, unsigned size);
int GetAgentDate(int index, char* buffer, unsigned size);
int GetAgentState(int index, char* buffer, unsigned size);
int GetAgentType(int index, char* buffer, unsigned size);

} // extern "C"

// Status codes of the getters.
inline constexpr int kRevInfoIndexOutOfRange = 0x100010;
inline constexpr int kRevInfoAllocationFailed = 0x100011;
inline constexpr int kRevInfoBufferTooSmall = 0x100012;
inline constexpr int kRevInfoNullBuffer = 0x100016;
