#include "snmp_value.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

struct TypeName {
    SNMP_TYPE type;
    const char* text;
};

constexpr TypeName types[] = {
    {SNMP_COUNTER, "counter"},   {SNMP_INTEGER, "integer"}, {SNMP_GAUGE, "gauge"},
    {SNMP_IPADDRESS, "ipaddress"}, {SNMP_OBJID, "objectid"}, {SNMP_STRING, "string"},
    {SNMP_OCTET_STRING, "octet"}, {SNMP_TIMETICKS, "timeticks"},
};

constexpr const char* kUndefined = "*UNDEFINED*";

// atoi-like: leading blanks, optional sign, digits; stops at the first other character.
// Wider than int so that both "-1" and "4294967295" land on the same 32-bit word.
uint32_t decimalWord(const char* text)
{
    long long v = std::strtoll(text, nullptr, 10);
    return static_cast<uint32_t>(static_cast<unsigned long long>(v));
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// snmpd passes a byte string holding any non-printable byte as blank-separated hex pairs
// ("de ad be ef"). Returns false (out untouched) when the text is not in that form.
bool decodeHexPairs(const char* in, std::string& out)
{
    std::string bytes;
    const char* p = in;
    while (*p != '\0') {
        while (*p == ' ') ++p;
        if (*p == '\0') break;
        int hi = hexDigit(p[0]);
        int lo = hi < 0 ? -1 : hexDigit(p[1]);
        if (lo < 0) return false;
        if (p[2] != '\0' && p[2] != ' ') return false;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
        p += 2;
    }
    if (bytes.empty()) return false;
    out = std::move(bytes);
    return true;
}

} // namespace

const char* itoa(int i)
{
    static char buffer[20];
    std::snprintf(buffer, sizeof buffer, "%d", i);
    return buffer;
}

const char* ipAddressToString(unsigned ipAddress)
{
    in_addr address{};
    address.s_addr = ipAddress;
    return inet_ntoa(address);
}

SnmpValue::SnmpValue(SNMP_ACCESS access_, SNMP_TYPE type_) : access(access_), type(type_) {}

bool SnmpValue::setValue(int integer)
{
    word = static_cast<uint32_t>(integer);
    return true;
}

bool SnmpValue::setValue(const char* s, unsigned _strlen)
{
    if (!holdsText(type)) return false;
    if (s == nullptr) {
        text.clear();
        return true;
    }
    size_t n = _strlen == 0 ? std::strlen(s) + 1 : _strlen;
    text.assign(s, n);
    return true;
}

int SnmpValue::asInteger() const
{
    switch (type) {
    case SNMP_COUNTER:
    case SNMP_INTEGER:
    case SNMP_GAUGE:
    case SNMP_IPADDRESS:
    case SNMP_TIMETICKS:
        return static_cast<int>(word);
    case SNMP_STRING:
    case SNMP_OCTET_STRING:
        return std::atoi(text.c_str());
    default:
        return 0;
    }
}

const char* SnmpValue::asString() const
{
    char buffer[16];
    switch (type) {
    case SNMP_IPADDRESS:
        str = ipAddressToString(word);
        break;
    case SNMP_OBJID:
    case SNMP_STRING:
    case SNMP_OCTET_STRING:
        return text.c_str();
    case SNMP_INTEGER:
        str = itoa(static_cast<int>(word));
        break;
    case SNMP_COUNTER:
    case SNMP_GAUGE:
    case SNMP_TIMETICKS:
        // Unsigned: a counter past 2^31 must not reach the manager as a negative number.
        std::snprintf(buffer, sizeof buffer, "%u", word);
        str = buffer;
        break;
    default:
        return kUndefined;
    }
    return str.c_str();
}

unsigned SnmpValue::getLength() const
{
    return holdsText(type) ? static_cast<unsigned>(text.size()) : 0;
}

const char* SnmpValue::typeAsString() const
{
    for (const TypeName& row : types)
        if (row.type == type) return row.text;
    return kUndefined;
}

bool SnmpValue::parseType(const char* typeText)
{
    if (typeText == nullptr) return false;
    for (const TypeName& row : types) {
        if (strcasecmp(typeText, row.text) == 0) {
            type = row.type;
            text.clear();
            word = 0;
            return true;
        }
    }
    return false;
}

bool SnmpValue::parseValue(const char* _value)
{
    if (_value == nullptr) _value = "";
    switch (type) {
    case SNMP_OBJID:
    case SNMP_STRING:
    case SNMP_OCTET_STRING: {
        size_t n = std::strlen(_value);
        if (n >= 2 && _value[0] == '"' && _value[n - 1] == '"') text.assign(_value + 1, n - 2);
        else text.assign(_value, n);
        if (type == SNMP_OCTET_STRING) decodeHexPairs(text.c_str(), text);
        return true;
    }
    case SNMP_IPADDRESS: {
        in_addr address{};
        if (std::strchr(_value, '.') == nullptr) {
            word = decimalWord(_value);   // a bare number is the address word itself
            return true;
        }
        if (inet_pton(AF_INET, _value, &address) != 1) return false;
        word = address.s_addr;
        return true;
    }
    case SNMP_COUNTER:
    case SNMP_INTEGER:
    case SNMP_GAUGE:
    case SNMP_TIMETICKS:
        word = decimalWord(_value);
        return true;
    default:
        return true;
    }
}

void SnmpValue::retypeBytes(SNMP_TYPE newType)
{
    if ((type == SNMP_STRING || type == SNMP_OCTET_STRING) &&
        (newType == SNMP_STRING || newType == SNMP_OCTET_STRING))
        type = newType;
}

void SnmpValue::copyData(const SnmpValue& other)
{
    type = other.type;
    word = other.word;
    text = other.text;
}
