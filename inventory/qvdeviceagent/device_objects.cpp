#include "device_objects.h"

#include <cstring>
#include <string>

#include "agent_frontend.h"
#include "devstore.h"
#include "snmp_log.h"
#include "velkarn_entity.h"

namespace {

constexpr int kRecordBuffer = 2560;
constexpr unsigned kTextValueMax = 256;
constexpr unsigned kSetTextMax = 255;
constexpr char kTable[] = ".1.3.6.1.4.1.93071.2.36.1.1.5.1.1.";

// A record whose texts are our own copies, so they stay valid while the store is reloaded.
struct RecordCopy {
    stDeviceEntity2 record{};
    std::string text[QVDE_TEXT_FIELDS];

    bool read(int entry)
    {
        char buffer[kRecordBuffer];
        if (QVDE_GetDeviceEntityData(entry, &record, buffer, sizeof buffer) != 0) return false;
        for (unsigned k = 0; k < QVDE_TEXT_FIELDS; ++k) {
            const char* field = record.*QVDE_TEXT_MEMBER[k];
            text[k] = field ? field : "";
        }
        pointAtCopies();
        return true;
    }
    void pointAtCopies()
    {
        for (unsigned k = 0; k < QVDE_TEXT_FIELDS; ++k) record.*QVDE_TEXT_MEMBER[k] = text[k].data();
    }
};

} // namespace

bool CDeviceIOData::GetData(int entry, int* value) const
{
    RecordCopy copy;
    if (!copy.read(entry)) {
        log(LOG_WARNING, "CDeviceIOData::GetData() - could not get device data.");
        return false;
    }
    *value = iParam == 0 ? int(copy.record.health) : int(copy.record.relation);
    return true;
}

bool CDeviceIOData::GetData(int entry, char* text, unsigned* length) const
{
    std::memset(text, 0, *length);
    RecordCopy copy;
    if (!copy.read(entry) || iParam < 0 || iParam >= int(QVDE_TEXT_FIELDS) || *length == 0) {
        log(LOG_WARNING, "CDeviceIOData::GetData() - could not get device data.");
        return false;
    }
    const std::string& field = copy.text[iParam];
    const unsigned n = static_cast<unsigned>(std::min<size_t>(field.size(), *length - 1));
    std::memcpy(text, field.data(), n);
    text[n] = '\0';
    *length = n;
    return true;
}

bool CDeviceIOData::SetData(int entry, const char* text, unsigned length) const
{
    RecordCopy copy;
    if (!copy.read(entry) || iParam < 0 || iParam >= int(QVDE_TEXT_FIELDS)) {
        log(LOG_WARNING, "CDeviceIOData::SetData() - could not get device data.");
        return false;
    }
    length = std::min(length, kSetTextMax);
    copy.text[iParam].assign(text, strnlen(text, length));
    copy.pointAtCopies();
    const enEntityAction action = length ? EXISTING_UPDATE : EXISTING_REPLACE;
    if (QVDE_EstablishDevice(DEVICE_ENTITY_2, &copy.record, action, nullptr) != 0) {
        log(LOG_WARNING, "CDeviceIOData::SetData() - could not write device data.");
        return false;
    }
    return true;
}

namespace {

// The SET value as text, without a terminating NUL the manager may have sent.
std::string textOfValue(const SnmpValue& value)
{
    std::string text = value.bytes();
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

template <int Field>
bool getTextColumn(int entry, SnmpValue* value, const SnmpOid&)
{
    char text[kTextValueMax];
    unsigned length = sizeof text;
    return CDeviceIOData(Field).GetData(entry, text, &length) && value->setValue(text, length);
}

template <int Field>
bool setTextColumn(int entry, const SnmpValue& value, const SnmpOid&)
{
    const std::string text = textOfValue(value);
    return CDeviceIOData(Field).SetData(entry, text.c_str(), static_cast<unsigned>(text.size()));
}

template <int Param>
bool getIntegerColumn(int entry, SnmpValue* value, const SnmpOid&)
{
    int v = 0;
    return CDeviceIOData(Param).GetData(entry, &v) && value->setValue(v);
}

bool getIndexValue(int entry, SnmpValue* value, const SnmpOid&) { return value->setValue(entry + 1); }

bool getDeviceAgentVersion(int, SnmpValue* value, const SnmpOid&) { return value->setValue("A.01.00", 7); }

int deviceCount(int, const SnmpOid&)
{
    int count = 0;
    return QVDE_QueryDeviceCount(&count) == 0 ? count : 0;
}

constexpr auto getDeviceIndex = getIndexValue;
constexpr auto getDeviceGlobalUniqueID = getTextColumn<0>;
constexpr auto getDeviceHealth = getIntegerColumn<0>;
constexpr auto getDeviceSysObjID = getTextColumn<1>;
constexpr auto getDeviceManagementURL = getTextColumn<3>;
constexpr auto setDeviceManagementURL = setTextColumn<3>;
constexpr auto getDeviceManagementURLLabel = getTextColumn<4>;
constexpr auto setDeviceManagementURLLabel = setTextColumn<4>;
constexpr auto getDeviceManufacturer = getTextColumn<5>;
constexpr auto getDeviceProductName = getTextColumn<6>;
constexpr auto getDeviceProductCaption = getTextColumn<7>;
constexpr auto getDeviceSerialNumber = getTextColumn<8>;
constexpr auto getDeviceVersion = getTextColumn<9>;
constexpr auto getDeviceHWVersion = getTextColumn<10>;
constexpr auto getDeviceROMVersion = getTextColumn<11>;
constexpr auto getDeviceAssetNumber = getTextColumn<12>;
constexpr auto setDeviceAssetNumber = setTextColumn<12>;
constexpr auto getDeviceContactPerson = getTextColumn<13>;
constexpr auto setDeviceContactPerson = setTextColumn<13>;
constexpr auto getDeviceContactPhone = getTextColumn<14>;
constexpr auto setDeviceContactPhone = setTextColumn<14>;
constexpr auto getDeviceContactEmail = getTextColumn<15>;
constexpr auto setDeviceContactEmail = setTextColumn<15>;
constexpr auto getDeviceContactPagerNumber = getTextColumn<16>;
constexpr auto setDeviceContactPagerNumber = setTextColumn<16>;
constexpr auto getDeviceLocation = getTextColumn<17>;
constexpr auto setDeviceLocation = setTextColumn<17>;
constexpr auto getDeviceRackID = getTextColumn<18>;
constexpr auto setDeviceRackID = setTextColumn<18>;
constexpr auto getDeviceRackPosition = getTextColumn<19>;
constexpr auto setDeviceRackPosition = setTextColumn<19>;
constexpr auto getDeviceRelationshipType = getIntegerColumn<1>;
constexpr auto getDeviceURLIcon = getTextColumn<2>;

struct Column {
    int number;
    SNMP_TYPE type;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set;   // null: read-only
};

constexpr SNMP_TYPE S = SNMP_STRING;
constexpr SNMP_TYPE I = SNMP_INTEGER;

const Column kColumns[] = {
    {1, I, getDeviceIndex, nullptr},
    {2, S, getDeviceGlobalUniqueID, nullptr},
    {3, I, getDeviceHealth, nullptr},
    {4, S, getDeviceSysObjID, nullptr},
    {5, S, getDeviceManagementURL, setDeviceManagementURL},
    {6, S, getDeviceManagementURLLabel, setDeviceManagementURLLabel},
    {7, S, getDeviceManufacturer, nullptr},
    {8, S, getDeviceProductName, nullptr},
    {9, S, getDeviceProductCaption, nullptr},
    {10, S, getDeviceSerialNumber, nullptr},
    {11, S, getDeviceVersion, nullptr},
    {12, S, getDeviceHWVersion, nullptr},
    {13, S, getDeviceROMVersion, nullptr},
    {14, S, getDeviceAssetNumber, setDeviceAssetNumber},
    {15, S, getDeviceContactPerson, setDeviceContactPerson},
    {16, S, getDeviceContactPhone, setDeviceContactPhone},
    {17, S, getDeviceContactEmail, setDeviceContactEmail},
    {18, S, getDeviceContactPagerNumber, setDeviceContactPagerNumber},
    {19, S, getDeviceLocation, setDeviceLocation},
    {20, S, getDeviceRackID, setDeviceRackID},
    {21, S, getDeviceRackPosition, setDeviceRackPosition},
    {22, I, getDeviceRelationshipType, nullptr},
    {30, S, getDeviceURLIcon, nullptr},
};

} // namespace

bool loadDeviceObjects()
{
    QVDE_RegisterAgent(1);
    if (DefineVelkarnEntity() != 0) {
        log(LOG_WARNING, "Could not define velkarn entity.");
        return false;
    }
    SnmpObjectRowList rows;
    for (const Column& c : kColumns)
        rows.add(kTable + std::to_string(c.number) + ".1",
                 {SNMP_TABULAR, c.type, c.set ? SNMP_READWRITE : SNMP_READONLY, nullptr, c.get, c.set,
                  deviceCount, 1, 1});
    rows.add(".1.3.6.1.4.1.93071.2.36.1.1.5.2.0",
             {SNMP_SCALAR, SNMP_STRING, SNMP_READONLY, nullptr, getDeviceAgentVersion});
    return addObjectRows(objects, rows.rows());
}
