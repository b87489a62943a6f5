#include "asset_objects.h"

#include <string>

#include "agent_frontend.h"
#include "dmi_globals.h"
#include "profile.h"
#include "registry.h"
#include "sandbox_path.h"
#include "serial_number.h"

namespace {

constexpr unsigned kTextBuffer = 256;
constexpr char kPrefix[] = ".1.3.6.1.4.1.93071.2.36.1.1";
constexpr char kPhoneKey[] = "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\RFC1156Agent=sysPhone";

std::string componentFile() { return qv::sandboxPath("/usr/qvserver/etc/qvassetagent.ini"); }
std::string componentSection(int row) { return "Component" + std::to_string(row + 1); }

bool setText(SnmpValue* value, const std::string& text)
{
    return value->setValue(text.data(), static_cast<unsigned>(text.size()));
}

std::string readProfile(const std::string& section, const char* key)
{
    char buffer[kTextBuffer] = {};
    GetPrivateProfileString(section.c_str(), key, "", buffer, sizeof buffer, componentFile().c_str());
    return buffer;
}

// The SET value as text; a value that would break the file's line structure is refused.
bool valueText(const SnmpValue& value, std::string& text)
{
    text = value.bytes();
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

bool writeProfile(const std::string& section, const char* key, const SnmpValue& value)
{
    std::string text;
    return valueText(value, text) &&
           WritePrivateProfileString(section.c_str(), key, text.c_str(), componentFile().c_str()) != 0;
}

bool getUrl(int, SnmpValue* v, const SnmpOid&) { return setText(v, readProfile("URL", "url")); }
bool setUrl(int, const SnmpValue& v, const SnmpOid&) { return writeProfile("URL", "url", v); }

bool getSerialNumber(int, SnmpValue* v, const SnmpOid&)
{
    InitializeDll();
    char serial[kTextBuffer] = {};
    return GetQVSerialNumber(serial, sizeof serial) == 0 && setText(v, serial);
}

bool getHealth(int, SnmpValue* v, const SnmpOid&) { return v->setValue(1); }
bool getManufacturer(int, SnmpValue* v, const SnmpOid&) { return setText(v, "Quorvane Co"); }
bool getVersion(int, SnmpValue* v, const SnmpOid&) { return setText(v, "A.02.00"); }
bool getEmpty(int, SnmpValue* v, const SnmpOid&) { return setText(v, ""); }
bool acceptUnstored(int, const SnmpValue&, const SnmpOid&) { return true; }

bool getPhone(int, SnmpValue* v, const SnmpOid&)
{
    char phone[kTextBuffer] = {};
    if (GetRegData(kPhoneKey, phone, sizeof phone - 1) != 0) phone[0] = '\0';
    return setText(v, phone);
}

bool setPhone(int, const SnmpValue& v, const SnmpOid&)
{
    std::string text;
    valueText(v, text);
    return SetRegData(kPhoneKey, text.data(), text.size()) == 0;
}

int componentCount(int, const SnmpOid&)
{
    const int n = GetPrivateProfileInt("TOTALCOMPONENTS", "Components", 0, componentFile().c_str());
    return n > 0 ? n : 0;
}

bool getComponentIndex(int row, SnmpValue* v, const SnmpOid&) { return v->setValue(row + 1); }
bool getRelationshipType(int row, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(GetPrivateProfileInt(componentSection(row).c_str(), "RelationshipType", 0,
                                            componentFile().c_str()));
}

template <const char* Key>
bool getComponentText(int row, SnmpValue* v, const SnmpOid&)
{
    return setText(v, readProfile(componentSection(row), Key));
}

template <const char* Key>
bool setComponentText(int row, const SnmpValue& v, const SnmpOid&)
{
    return writeProfile(componentSection(row), Key, v);
}

constexpr char kSysObjID[] = "SysObjID";
constexpr char kUniqueID[] = "UniqueID";
constexpr char kURL[] = "URL";
constexpr char kLabelLink[] = "LabelLink";
constexpr char kIPAddress[] = "IPAddress";

struct Row {
    const char* oid;   // below the prefix
    SNMP_TYPE type;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set;   // null: read-only
    bool component;      // a column of the component table
};

constexpr SNMP_TYPE S = SNMP_STRING;
constexpr SNMP_TYPE I = SNMP_INTEGER;

const Row kObjects[] = {
    {".1.1.0", S, getUrl, setUrl, false},
    {".2.1.0", S, getUrl, setUrl, false},
    {".2.2.0", S, getSerialNumber, nullptr, false},
    {".2.3.0", I, getHealth, nullptr, false},
    {".2.4.0", S, getManufacturer, nullptr, false},
    {".2.5.0", S, getEmpty, nullptr, false},
    {".2.6.0", S, getVersion, nullptr, false},
    {".2.7.0", S, getEmpty, nullptr, false},
    {".2.8.0", S, getEmpty, nullptr, false},
    {".2.9.0", S, getSerialNumber, acceptUnstored, false},
    {".2.10.0", S, getEmpty, acceptUnstored, false},
    {".2.11.0", S, getPhone, setPhone, false},
    {".3.1.1.1.1", I, getComponentIndex, nullptr, true},
    {".3.1.1.2.1", S, getComponentText<kSysObjID>, nullptr, true},
    {".3.1.1.3.1", I, getRelationshipType, nullptr, true},
    {".3.1.1.4.1", S, getComponentText<kUniqueID>, nullptr, true},
    {".3.1.1.5.1", S, getComponentText<kURL>, setComponentText<kURL>, true},
    {".3.1.1.6.1", S, getComponentText<kLabelLink>, setComponentText<kLabelLink>, true},
    {".3.1.1.7.1", S, getComponentText<kIPAddress>, setComponentText<kIPAddress>, true},
    {".4.1.0", S, getEmpty, nullptr, false},
};

} // namespace

bool loadAssetObjects()
{
    SnmpObjectRowList rows;
    for (const Row& r : kObjects) {
        const SNMP_ACCESS access = r.set ? SNMP_READWRITE : SNMP_READONLY;
        if (r.component)
            rows.add(std::string(kPrefix) + r.oid,
                     {SNMP_TABULAR, r.type, access, nullptr, r.get, r.set, componentCount, 1, 1});
        else
            rows.add(std::string(kPrefix) + r.oid, {SNMP_SCALAR, r.type, access, nullptr, r.get, r.set});
    }
    return addObjectRows(objects, rows.rows());
}
