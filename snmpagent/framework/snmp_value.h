// One typed SNMP value and its text forms on the pass protocol command line and output.
#pragma once

#include <cstdint>
#include <string>

enum SNMP_TYPE {
    SNMP_TYPE_UNDEF = 0,
    SNMP_COUNTER = 1,
    SNMP_INTEGER = 2,
    SNMP_GAUGE = 3,
    SNMP_IPADDRESS = 4,
    SNMP_OBJID = 5,
    SNMP_STRING = 6,
    SNMP_OCTET_STRING = 7,
    SNMP_TIMETICKS = 8,
};

enum SNMP_ACCESS {
    SNMP_ACCESS_UNDEF = 0,
    SNMP_READONLY = 1,
    SNMP_READWRITE = 2,
    SNMP_WRITEONLY = 3,
};

class SnmpValue {
public:
    SnmpValue(SNMP_ACCESS access = SNMP_ACCESS_UNDEF, SNMP_TYPE type = SNMP_TYPE_UNDEF);

    bool setValue(int integer);
    // Types 5 to 7 only; a length of 0 stores the text and its terminating NUL.
    bool setValue(const char* str, unsigned _strlen);

    int asInteger() const;
    // Valid until the next asString() on this value.
    const char* asString() const;
    unsigned getLength() const;
    const std::string& bytes() const { return text; }
    SNMP_TYPE getType() const { return type; }
    SNMP_ACCESS getAccess() const { return access; }
    const char* typeAsString() const;

    bool parseType(const char* typeText);
    // Numbers in decimal (unsigned types modulo 2^32, as snmpd sends them signed), ipaddress as
    // a dotted quad, octet as the hex pairs snmpd sends; false only for an unreadable address.
    bool parseValue(const char* _value);

    // Takes type and data of `other`, keeping this value's access.
    void copyData(const SnmpValue& other);

    // Changes between the two byte-string types without touching the bytes.
    void retypeBytes(SNMP_TYPE newType);

    static bool holdsText(SNMP_TYPE t) { return t >= SNMP_OBJID && t <= SNMP_OCTET_STRING; }

private:
    SNMP_ACCESS access;
    SNMP_TYPE type;
    uint32_t word = 0;        // counter, integer, gauge, timeticks; ipaddress in network order
    std::string text;         // objectid, string, octet (may hold NULs)
    mutable std::string str;  // scratch for asString()
};

// "%d" of the number in a static buffer, overwritten by the next call.
const char* itoa(int i);
// Dotted quad of an address held in network byte order.
const char* ipAddressToString(unsigned ipAddress);
