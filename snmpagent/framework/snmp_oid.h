// Object identifiers as the pass protocol carries them: dotted text with a leading dot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Sub-identifiers are held unsigned: snmpd hands them on up to 4294967295 and GETNEXT order
// must hold over the whole range.
using SnmpIdVector = std::vector<uint32_t>;

class SnmpOid {
public:
    explicit SnmpOid(const char* objectId = "");

    // ".1.3.6" style; '.' at the very end adds 0; anything else empties the id and fails.
    bool parse(const char* objectId);

    // Text in one static buffer shared by every SnmpOid (valid until the next call),
    // never longer than 254 characters; a sub-identifier that would not fit is left out whole.
    const char* asString() const;
    const char* asString(int count) const;

    int idAt(int index) const { return static_cast<int>(ids[static_cast<size_t>(index)]); }
    uint32_t idAtUnsigned(int index) const { return ids[static_cast<size_t>(index)]; }
    void idSet(int index, uint32_t value) { ids[static_cast<size_t>(index)] = value; }
    int idSize() const { return static_cast<int>(ids.size()); }
    void idPushBack(uint32_t value) { ids.push_back(value); }

    // True when the first `count` sub-identifiers of both ids exist and are equal.
    bool samePrefix(const SnmpOid& other, int count) const;

    friend bool operator<(const SnmpOid& loid, const SnmpOid& roid);
    friend bool operator==(const SnmpOid& loid, const SnmpOid& roid) { return loid.ids == roid.ids; }

private:
    SnmpIdVector ids;
};
