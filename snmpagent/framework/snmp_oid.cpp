#include "snmp_oid.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr size_t kOidTextMax = 254;
char oidText[kOidTextMax + 1];
} // namespace

SnmpOid::SnmpOid(const char* objectId)
{
    ids.reserve(20);
    parse(objectId);
}

namespace {
bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }
} // namespace

bool SnmpOid::parse(const char* objectId)
{
    ids.clear();
    if (objectId == nullptr) return true;
    // Agents parse the OID of every object they register: one allocation per id, not one per
    // doubling (every sub-identifier takes at least two characters).
    ids.reserve(std::strlen(objectId) / 2 + 1);
    const char* p = objectId;
    while (*p != '\0') {
        if (*p != '.') break;
        ++p;
        if (*p == '\0') {
            ids.push_back(0);
            return true;
        }
        if (!isDigit(*p)) break;
        uint64_t id = 0;
        while (isDigit(*p)) {
            id = id * 10 + static_cast<uint64_t>(*p - '0');
            if (id > UINT32_MAX) {   // not a sub-identifier any manager can send
                ids.clear();
                return false;
            }
            ++p;
        }
        ids.push_back(static_cast<uint32_t>(id));
    }
    if (*p != '\0') {
        ids.clear();
        return false;
    }
    return true;
}

const char* SnmpOid::asString() const { return asString(idSize()); }

const char* SnmpOid::asString(int count) const
{
    size_t used = 0;
    oidText[0] = '\0';
    const size_t n = std::min(ids.size(), static_cast<size_t>(std::max(count, 0)));
    for (size_t i = 0; i < n; ++i) {
        char part[16];
        int len = std::snprintf(part, sizeof part, ".%u", ids[i]);
        if (len < 0 || used + static_cast<size_t>(len) > kOidTextMax) break;
        std::memcpy(oidText + used, part, static_cast<size_t>(len) + 1);
        used += static_cast<size_t>(len);
    }
    return oidText;
}

bool SnmpOid::samePrefix(const SnmpOid& other, int count) const
{
    if (count < 0 || static_cast<size_t>(count) > ids.size() ||
        static_cast<size_t>(count) > other.ids.size())
        return false;
    return std::equal(ids.begin(), ids.begin() + count, other.ids.begin());
}

bool operator<(const SnmpOid& loid, const SnmpOid& roid)
{
    return std::lexicographical_compare(loid.ids.begin(), loid.ids.end(), roid.ids.begin(),
                                        roid.ids.end());
}
