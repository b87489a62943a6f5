// libqvdevstore: the device entity store, a small table of managed-device records kept in
// /var/qvserver/entitydb.dat and looked up by their unique identifier (field 0, the GUID).
// Every call loads the file afresh; changing calls rewrite it whole under the store's lock file.
#pragma once

#include <cstdint>

constexpr int QVDE_ERR_INDEX_OUT_OF_RANGE = 0x100010;
constexpr int QVDE_ERR_TEXT_NOT_SET = 0x100011;       // out of memory or a text not stored
constexpr int QVDE_ERR_INVALID_HANDLE = 0x100014;
constexpr int QVDE_ERR_INVALID_PARAMETER = 0x100016;  // also a damaged store file
constexpr int QVDE_ERR_UNKNOWN_ENTITY_TYPE = 0x1000FF;
constexpr int QVDE_ERR_DEVICE_NOT_FOUND = 0x100B01;
constexpr int QVDE_ERR_NO_GUID = 0x100B02;

enum enDevHealth : int32_t {
    h_notset = 0,
    h_unknown = 1,
    h_unused = 2,
    h_OK = 3,
    h_warning = 4,
    h_critical = 5,
    h_nonrecoverable = 6,
};

enum enEntityRel : int32_t { r_notset = 0, r_host = 1, r_other = 2 };

enum enEntityType : int32_t { DEVICE_ENTITY_1 = 1, DEVICE_ENTITY_2 = 2 };

enum enEntityAction : int32_t {
    EXISTING_KEEP = 0,
    EXISTING_REPLACE = 1,
    EXISTING_UPDATE = 2,
    EXISTING_REMOVE = 3,
};

constexpr unsigned QVDE_TEXT_FIELDS = 20;

// The full record; text k of the store is the k-th pointer (null or zero-terminated).
struct stDeviceEntity2 {
    enDevHealth health;
    enEntityRel relation;
    char* pszGuid;
    char* pszSysOID;
    char* pszURLIcon;
    char* pszURLMgmt;
    char* pszURLMgmtLabel;
    char* pszManufacturer;
    char* pszProdName;
    char* pszProdCaption;
    char* pszSerialNum;
    char* pszVersion;
    char* pszHWVersion;
    char* pszROMVersion;
    char* pszAssetNumber;
    char* pszContactName;
    char* pszContactPhone;
    char* pszContactEmail;
    char* pszContactPager;
    char* pszLocation;
    char* pszRackId;
    char* pszRackPos;
};
typedef stDeviceEntity2 stEntityForm;

// Text field k of the full record, for code that walks the twenty fields.
inline constexpr char* stDeviceEntity2::*QVDE_TEXT_MEMBER[QVDE_TEXT_FIELDS] = {
    &stDeviceEntity2::pszGuid,         &stDeviceEntity2::pszSysOID,
    &stDeviceEntity2::pszURLIcon,      &stDeviceEntity2::pszURLMgmt,
    &stDeviceEntity2::pszURLMgmtLabel, &stDeviceEntity2::pszManufacturer,
    &stDeviceEntity2::pszProdName,     &stDeviceEntity2::pszProdCaption,
    &stDeviceEntity2::pszSerialNum,    &stDeviceEntity2::pszVersion,
    &stDeviceEntity2::pszHWVersion,    &stDeviceEntity2::pszROMVersion,
    &stDeviceEntity2::pszAssetNumber,  &stDeviceEntity2::pszContactName,
    &stDeviceEntity2::pszContactPhone, &stDeviceEntity2::pszContactEmail,
    &stDeviceEntity2::pszContactPager, &stDeviceEntity2::pszLocation,
    &stDeviceEntity2::pszRackId,       &stDeviceEntity2::pszRackPos,
};

// The same memory as data and an array of texts.
struct stDeviceEntityAlt2 {
    int rgData[2];
    char* rgpszText[QVDE_TEXT_FIELDS];
};
static_assert(sizeof(stDeviceEntityAlt2) == sizeof(stDeviceEntity2));

// The short record of early callers.
struct stDeviceEntity1 {
    enDevHealth health;
    enEntityRel relation;
    char* pszSysOID;
    char* pszURLMgmt;
    char* pszURLMgmtLabel;
    char* pszManufacturer;
    char* pszProdName;
    char* pszSerialNum;
    char* pszVersion;
    char* pszContactName;
    char* pszContactPhone;
    char* pszContactEmail;
    char* pszContactPager;
    char* pszLocation;
};

struct stDeviceEntityAlt1 {
    int rgData[2];
    char* rgpszText[12];
};
static_assert(sizeof(stDeviceEntityAlt1) == sizeof(stDeviceEntity1));

struct stDevEtyAPIInfo {
    int32_t versionMajor;
    int32_t versionMinor;
    int32_t iDevEntStructMax;
    uint32_t capabilities;
    int32_t reserved[4];
};
static_assert(sizeof(stDevEtyAPIInfo) == 32);

extern "C" {

int QVDE_EstablishDevice(enEntityType type, void* data, enEntityAction action, int* handle);
int QVDE_UpdateHealth(int handle, int health);
int QVDE_RemoveDevice(int handle);
int QVDE_QueryDeviceCount(int* count);
// The texts point into the library's copy of the store, valid until the next QVDE_ call.
int QVDE_GetDeviceEntity(int index, stDeviceEntity2* out);
// As QVDE_GetDeviceEntity, with the texts copied into `buffer` while it has room.
int QVDE_GetDeviceEntityData(int index, stDeviceEntity2* out, char* buffer, int size);
int QVDE_RemoveStaleEntries(int maxAgeSeconds);
int QVDE_RegisterAgent(unsigned capabilities);
int QVDE_GetAPIInfo(stDevEtyAPIInfo* out);

} // extern "C"
