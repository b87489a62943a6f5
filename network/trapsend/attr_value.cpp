#include "attr_value.h"

#include "obj_id.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
enum ValueKind : int { KIND_NONE = 0, KIND_INTEGER = 1, KIND_TICKS = 2, KIND_ADDRESS = 3,
                       KIND_BYTES = 4, KIND_OBJECT_ID = 6 };
constexpr int kImmediateFlag = 1 << 2;
constexpr int kClearedBufferSize = 1024;
} // namespace

void CAttrValue::init()
{
    std::memset(&m_attr, 0, sizeof m_attr);
    m_rLength = 0;
    m_rValue = nullptr;
    m_asnType = ASN_TAG_NULL;
    m_aitType = KIND_NONE;
}

void CAttrValue::clearMem()
{
    std::free(m_rValue);
    m_rValue = nullptr;
    m_rLength = 0;
    m_attr.avb_length = 0;
    m_attr.avb_value = nullptr;
}

void CAttrValue::setType(int Type)
{
    m_asnType = Type;
    switch (Type) {
    case 1: case ASN_TAG_INTEGER: case ASN_TAG_COUNTER: case ASN_TAG_GAUGE:
        m_aitType = KIND_INTEGER; break;
    case ASN_TAG_BIT_STRING: case ASN_TAG_OCTET_STRING: case ASN_TAG_OPAQUE:
        m_aitType = KIND_BYTES; break;
    case ASN_TAG_OBJECT_ID: m_aitType = KIND_OBJECT_ID; break;
    case ASN_TAG_IPADDRESS: m_aitType = KIND_ADDRESS; break;
    case ASN_TAG_TIMETICKS: m_aitType = KIND_TICKS; break;
    default: m_aitType = KIND_NONE; break;
    }
}

void CAttrValue::setType(const AttrInfo* ai)
{
    m_attr.avb_info = ai;
    if (!ai) return;
    m_asnType = ai->aib_asn_type;
    m_aitType = ai->aib_type;
}

void CAttrValue::setInt32(long value)
{
    if (m_asnType == ASN_TAG_NULL) m_asnType = ASN_TAG_INTEGER;
    if (m_aitType == KIND_NONE) m_aitType = KIND_INTEGER;
    clearMem();
    m_attr.avb_length = static_cast<int32_t>(value);
}

void CAttrValue::setStr(int len, unsigned char* str)
{
    if (m_asnType == ASN_TAG_NULL) m_asnType = ASN_TAG_OCTET_STRING;
    if (m_aitType == KIND_NONE) m_aitType = KIND_BYTES;
    clearMem();
    if (len <= 0) return;
    m_rValue = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(len)));
    if (!m_rValue) return;
    m_rLength = len;
    m_attr.avb_length = len;
    m_attr.avb_value = m_rValue;
    if (str)
        std::memcpy(m_rValue, str, static_cast<size_t>(len));
    else
        m_rValue[0] = 0;
}

int CAttrValue::operator=(int val)
{
    if (val != 0) return val;
    if (isImmediate()) {
        setInt32(0);
    } else {
        std::vector<unsigned char> zeros(kClearedBufferSize, 0);
        setStr(kClearedBufferSize, zeros.data());
    }
    return 0;
}

void CAttrValue::copyFrom(const CAttrValue& v)
{
    m_attr.avb_info = v.m_attr.avb_info;
    m_asnType = v.m_asnType;
    m_aitType = v.m_aitType;
    if (v.isImmediate())
        setInt32(v.m_attr.avb_length);
    else
        setStr(v.m_rLength, v.m_rValue);
}

bool CAttrValue::isImmediate() const
{
    if (m_attr.avb_info) return (m_attr.avb_info->aib_flags & kImmediateFlag) != 0;
    switch (m_asnType) {
    case 1: case ASN_TAG_INTEGER: case ASN_TAG_IPADDRESS: case ASN_TAG_COUNTER:
    case ASN_TAG_GAUGE: case ASN_TAG_TIMETICKS:
        return true;
    default:
        return false;
    }
}

const void* CAttrValue::getVal() const
{
    return isImmediate() ? static_cast<const void*>(&m_attr.avb_length) : m_attr.avb_value;
}

long CAttrValue::getLen() const
{
    if (!isImmediate()) return m_attr.avb_length;
    if (m_aitType == KIND_ADDRESS && m_attr.avb_info) return m_attr.avb_info->aib_min;
    return 4;
}

std::ostream& operator<<(std::ostream& out, const CAttrValue& value)
{
    const int32_t immediate = static_cast<int32_t>(value.getInt32());
    const auto* bytes = static_cast<const unsigned char*>(value.getVal());
    switch (value.asnType()) {
    case 1: case ASN_TAG_INTEGER: case ASN_TAG_COUNTER: case ASN_TAG_GAUGE: case ASN_TAG_TIMETICKS:
        return out << immediate;
    case ASN_TAG_OCTET_STRING:
        if (bytes) out.write(reinterpret_cast<const char*>(bytes), value.getLen());
        return out;
    case ASN_TAG_NULL:
        return value.isImmediate() ? out << immediate : out << "???";
    case ASN_TAG_OBJECT_ID: {
        std::vector<unsigned long> ids;
        for (long at = 0; bytes && at + 4 <= value.getLen(); at += 4) {
            uint32_t id;
            std::memcpy(&id, bytes + at, 4);
            ids.push_back(id);
        }
        return out << CObjId(ids.data(), static_cast<int>(ids.size()));
    }
    case ASN_TAG_IPADDRESS: {
        unsigned char quad[4];
        std::memcpy(quad, &immediate, 4);
        return out << int(quad[0]) << '.' << int(quad[1]) << '.' << int(quad[2]) << '.'
                   << int(quad[3]);
    }
    default:
        return out << "???";
    }
}
