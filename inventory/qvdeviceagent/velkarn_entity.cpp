#include "velkarn_entity.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dmi_globals.h"
#include "registry.h"
#include "serial_number.h"
#include "smbapi.h"

const char szVelkarnOID[] = "1.3.6.1.4.1.2021";

namespace {

constexpr int ERR_TEXT_NOT_STORED = 0x100011;
constexpr int kComputerNameBuffer = 100;
constexpr const char* kSnmpParameters = "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\RFC1156Agent=";

// Where the next text goes in the record's text area, and how much room is left there.
struct AreaCursor {
    char* position;
    int room;
};

using TextFetch = int (*)(char* buffer, int length);

// Takes a fetched text into the area when the call succeeded and the text fits with room to
// spare; a text not kept leaves the field null and the cursor where it was.
void takeText(AreaCursor& cursor, TextFetch fetch, char** field)
{
    if (cursor.room <= 0) return;
    std::vector<char> fetched(static_cast<size_t>(cursor.room) + 1, '\0');
    if (fetch(fetched.data(), cursor.room) != 0) return;
    if (static_cast<unsigned char>(fetched[0]) == 0xFF) fetched[0] = '\0';
    const int length = static_cast<int>(strnlen(fetched.data(), static_cast<size_t>(cursor.room)));
    if (length == 0 || length + 2 >= cursor.room) return;
    std::memcpy(cursor.position, fetched.data(), static_cast<size_t>(length) + 1);
    *field = cursor.position;
    cursor.position += length + 1;
    cursor.room -= length + 1;
}

template <const char* ValueName>
int fetchSnmpParameter(char* buffer, int length)
{
    if (length <= 1) return 1;
    const std::string key = std::string(kSnmpParameters) + ValueName;
    return static_cast<int>(GetRegData(key.c_str(), buffer, static_cast<unsigned>(length - 1)));
}

constexpr char kContact[] = "sysContact";
constexpr char kLocation[] = "sysLocation";
constexpr char kPhone[] = "sysPhone";

size_t lengthOf(const char* text) { return text ? std::strlen(text) : 0; }
const char* textOf(const char* text) { return text ? text : ""; }

// Writes the GUID at the cursor, cut to the room left.
int placeGuid(AreaCursor& cursor, stDeviceEntity2* record)
{
    const int room = cursor.room;
    const char* product = textOf(record->pszProdName);
    if (record->pszSerialNum) {
        const char* maker = textOf(record->pszManufacturer);
        if (lengthOf(maker) + lengthOf(product) + lengthOf(record->pszSerialNum) + 4 < size_t(room))
            std::snprintf(cursor.position, room, "{%s^%s^%s}", maker, product, record->pszSerialNum);
        else
            std::snprintf(cursor.position, room, "{%s}", record->pszSerialNum);
    } else {
        char name[kComputerNameBuffer] = {};
        if (SMBAPI_GetComputerName(name, sizeof name) != 0 || name[0] == '\0') return ERR_NO_COMPUTER_NAME;
        if (lengthOf(product) + strnlen(name, sizeof name) + 3 < size_t(room))
            std::snprintf(cursor.position, room, "{%s^%s}", product, name);
        else
            std::snprintf(cursor.position, room, "{%s}", name);
    }
    record->pszGuid = cursor.position;
    const int used = static_cast<int>(std::strlen(cursor.position)) + 1;
    cursor.position += used;
    cursor.room -= used;
    return 0;
}

} // namespace

int BuildVelkarnEntity(stDeviceEntity2* record, char* area)
{
    *record = stDeviceEntity2{};
    record->health = h_OK;
    record->relation = r_host;
    std::memset(area, 0, kEntityTextArea);
    AreaCursor cursor{area, static_cast<int>(kEntityTextArea)};

    InitializeDll();
    takeText(cursor, GetQVSerialNumber, &record->pszSerialNum);
    takeText(cursor, SMBAPI_GetSystemModel, &record->pszProdName);
    takeText(cursor, SMBAPI_GetBiosVersion, &record->pszROMVersion);
    takeText(cursor, SMBAPI_GetComputerName, &record->pszManufacturer);
    takeText(cursor, SMBAPI_GetSystemVersion, &record->pszHWVersion);

    record->pszSysOID = const_cast<char*>(szVelkarnOID);
    record->pszVersion = record->pszHWVersion;
    record->pszProdCaption = record->pszProdName;

    if (cursor.room <= 32) return ERR_TEXT_NOT_STORED;
    if (const int rc = placeGuid(cursor, record)) return rc;

    takeText(cursor, fetchSnmpParameter<kContact>, &record->pszContactName);
    takeText(cursor, fetchSnmpParameter<kLocation>, &record->pszLocation);
    takeText(cursor, fetchSnmpParameter<kPhone>, &record->pszContactPhone);
    return 0;
}

int DefineVelkarnEntity()
{
    stDeviceEntity2 record{};
    char area[kEntityTextArea];
    if (const int rc = BuildVelkarnEntity(&record, area)) return rc;
    return QVDE_EstablishDevice(DEVICE_ENTITY_2, &record, EXISTING_UPDATE, nullptr);
}
