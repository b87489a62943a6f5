// One typed SNMP value carried as a trap variable.
#pragma once

#include <ostream>

struct AttrInfo {
    int aib_id;
    int aib_type;       // value kind
    int aib_asn_type;   // ASN.1 tag
    int aib_min;
    int aib_max;
    int aib_flags;      // bit 2: immediate value
};

struct AttrValue {
    AttrValue* avb_next;
    const AttrInfo* avb_info;
    long avb_length;      // the 32-bit value of an immediate type, else the byte length
    void* avb_value;
};

class CAttrValue {
public:
    CAttrValue() { init(); }
    CAttrValue(const CAttrValue& other) : CAttrValue() { copyFrom(other); }
    CAttrValue& operator=(const CAttrValue& other)
    {
        if (this != &other) copyFrom(other);
        return *this;
    }
    ~CAttrValue() { clearMem(); }

    void init();
    void clearMem();
    void copyFrom(const CAttrValue& v);

    void setType(int Type);
    void setType(const AttrInfo* ai);
    void setInt32(long value);
    void setStr(int len, unsigned char* str);
    int operator=(int val);

    bool isImmediate() const;
    const void* getVal() const;
    long getLen() const;
    long getInt32() const { return m_attr.avb_length; }
    int asnType() const { return m_asnType; }

private:
    AttrValue m_attr;
    int m_rLength;
    unsigned char* m_rValue;
    int m_asnType;
    int m_aitType;
};

std::ostream& operator<<(std::ostream& out, const CAttrValue& value);

// ASN.1 tags of the values.
enum : int {
    ASN_TAG_INTEGER = 2,
    ASN_TAG_BIT_STRING = 3,
    ASN_TAG_OCTET_STRING = 4,
    ASN_TAG_NULL = 5,
    ASN_TAG_OBJECT_ID = 6,
    ASN_TAG_SEQUENCE = 16,
    ASN_TAG_IPADDRESS = 64,
    ASN_TAG_COUNTER = 65,
    ASN_TAG_GAUGE = 66,
    ASN_TAG_TIMETICKS = 67,
    ASN_TAG_OPAQUE = 68,
};
