#include "snmp_object.h"

#include <string>
#include <syslog.h>

#include "snmp_log.h"

SnmpObject::SnmpObject(SNMP_OBJECT_TYPE objType, SNMP_TYPE _type, SNMP_ACCESS access,
                       const char* _oid, SNMP_GET_FUNC _getFunc, SNMP_SET_FUNC _setFunc,
                       SNMP_COUNT_FUNC _countFunc, int _numIndexes, int _indexBase,
                       SNMP_ENUM_OID_FUNC _enumOidFunc)
    : oid(_oid), registered(oid), value(access, _type), getFunc(_getFunc), setFunc(_setFunc),
      countFunc(_countFunc), type(objType), numIndexes(_numIndexes), indexBase(_indexBase),
      enumOidFunc(_enumOidFunc)
{
    if (numIndexes < 0 || numIndexes > oid.idSize()) numIndexes = 0;
}

// Matching starts from the registered identifier each time, so one object serves any
// number of look-ups (a match rewrites `oid` to the instance found).

int SnmpObject::rowIndex() const
{
    if (oid.idSize() == 0) return 0;
    return static_cast<int>(static_cast<long long>(oid.idAtUnsigned(oid.idSize() - 1)) -
                            indexBase);
}

bool SnmpObject::rowCountAllows(int level, const SnmpOid& instance, long long row) const
{
    if (row < 0 || countFunc == nullptr) return false;
    return row < countFunc(level, instance);
}

bool SnmpObject::isEqual(const SnmpOid& R)
{
    oid = registered;
    const int n = oid.idSize();
    const int k = numIndexes;
    switch (type) {
    case SNMP_SCALAR:
        return R == oid;
    case SNMP_TABULAR: {
        if (R.idSize() != n || !R.samePrefix(oid, n - k)) return false;
        for (int level = 1; level <= k; ++level) {
            const int pos = n - k + level - 1;
            const uint32_t v = R.idAtUnsigned(pos);
            if (!rowCountAllows(level, oid, static_cast<long long>(v) - indexBase)) return false;
            oid.idSet(pos, v);
        }
        return true;
    }
    case SNMP_RAW_TABULAR: {
        if (enumOidFunc == nullptr) return false;
        SnmpOid p = R;
        for (bool more = enumOidFunc(true, p); more; more = enumOidFunc(false, p)) {
            if (p.idSize() == n && p.samePrefix(oid, n - k) && p == R) {
                oid = p;
                return true;
            }
        }
        return false;
    }
    }
    return false;
}

bool SnmpObject::isLess(const SnmpOid& R)
{
    if (value.getAccess() == SNMP_WRITEONLY) return false;
    oid = registered;
    const int n = oid.idSize();
    const int k = numIndexes;

    if (type == SNMP_RAW_TABULAR) {
        if (enumOidFunc == nullptr) return false;
        SnmpOid p = R;
        for (bool more = enumOidFunc(true, p); more; more = enumOidFunc(false, p)) {
            if (p.idSize() == n && p.samePrefix(oid, n - k) && R < p) {
                oid = p;
                return true;
            }
        }
        return false;
    }

    if (R < oid) {
        for (int pos = n - k; pos < n; ++pos) oid.idSet(pos, static_cast<uint32_t>(indexBase));
        return true;
    }
    if (type == SNMP_SCALAR) return false;

    if (R.idSize() != n || !R.samePrefix(oid, n - k)) return false;
    SnmpOid p = R;
    for (int i = 1; i <= k; ++i) {
        const int pos = n - i;
        const long long next = static_cast<long long>(p.idAtUnsigned(pos)) + 1;
        if (next <= UINT32_MAX && rowCountAllows(k - i + 1, p, next - indexBase)) {
            oid = p;
            oid.idSet(pos, static_cast<uint32_t>(next));
            return true;
        }
        p.idSet(pos, static_cast<uint32_t>(indexBase));   // carry into the next higher level
    }
    return false;
}

bool SnmpObject::fetchValue()
{
    if (value.getAccess() == SNMP_WRITEONLY || getFunc == nullptr) return false;
    const int index = rowIndex();
    if (type == SNMP_TABULAR && numIndexes == 1 && !rowCountAllows(1, oid, index)) return false;
    return getFunc(index, &value, oid);
}

namespace {

// Octet values print as hex pairs; the other byte strings print as they are.
bool printsAsText(SNMP_TYPE type) { return type == SNMP_STRING || type == SNMP_OBJID; }

} // namespace

bool SnmpObject::setValue(const SnmpValue& _value)
{
    error.clear();
    const SNMP_ACCESS access = value.getAccess();
    if (access != SNMP_READWRITE && access != SNMP_WRITEONLY) {
        error = "not-writable";
        return false;
    }
    // snmpd sends any byte string as "string" when printable and as "octet" otherwise, so
    // both byte-string types are the same request to an object of either kind.
    SnmpValue request = _value;
    request.retypeBytes(value.getType());
    if (request.getType() != value.getType()) {
        error = "wrong-type";
        return false;
    }
    // A text is answered as the third line of the pass protocol, so a line feed in it would
    // be read back cut short: refuse it before anything is stored.
    if (printsAsText(request.getType()) && request.bytes().find('\n') != std::string::npos) {
        error = "wrong-value";
        return false;
    }
    if (setFunc == nullptr) return false;
    if (!setFunc(rowIndex(), request, oid)) return false;
    value.copyData(request);   // the object stays as writable as it was registered
    return true;
}

SnmpObject* SnmpObjects::find(const SnmpOid& oid)
{
    for (SnmpObject* object : objs) {
        if (!object->isEqual(oid)) continue;
        if (object->getValue().getAccess() == SNMP_WRITEONLY || object->fetchValue()) return object;
    }
    return nullptr;
}

SnmpObject* SnmpObjects::findNext(const SnmpOid& oid)
{
    for (SnmpObject* object : objs)
        if (object->isLess(oid) && object->fetchValue()) return object;
    return nullptr;
}

namespace {

// The identifiers an object answers for: its registered identifier without the index levels,
// and whether instances extend that prefix (tables) or equal it (scalars).
struct InstanceRange {
    SnmpOid prefix;
    bool extends;
};

InstanceRange rangeOf(SNMP_OBJECT_TYPE kind, const SnmpOid& registered, int numIndexes)
{
    InstanceRange r{SnmpOid(), kind != SNMP_SCALAR && numIndexes > 0};
    const int levels = (numIndexes < 0 || numIndexes > registered.idSize()) ? 0 : numIndexes;
    const int length = kind == SNMP_SCALAR ? registered.idSize() : registered.idSize() - levels;
    for (int i = 0; i < length; ++i) r.prefix.idPushBack(registered.idAtUnsigned(i));
    return r;
}

// True when every instance of `a` comes before every instance of `b`.
bool precedes(const InstanceRange& a, const InstanceRange& b)
{
    if (!(a.prefix < b.prefix)) return false;
    return !(a.extends && b.prefix.idSize() >= a.prefix.idSize() &&
             b.prefix.samePrefix(a.prefix, a.prefix.idSize()));
}

} // namespace

bool addObjectRows(SnmpObjects& list, std::span<const SnmpObjectRow> rows)
{
    const SnmpObject* last = list.last();
    bool havePrevious = last != nullptr;
    InstanceRange previous = havePrevious ? rangeOf(last->getType(), last->registeredOid(), last->indexCount())
                                          : InstanceRange{SnmpOid(), false};
    std::string previousText = havePrevious ? last->registeredOid().asString() : "";
    for (const SnmpObjectRow& r : rows) {
        const SnmpOid registered(r.oid);
        const InstanceRange range = rangeOf(r.kind, registered, r.numIndexes);
        if (havePrevious && !precedes(previous, range)) {
            log(LOG_WARNING, "Objects out of GETNEXT order: %s after %s", r.oid, previousText.c_str());
            return false;
        }
        previous = range;
        previousText = r.oid;
        havePrevious = true;
    }
    for (const SnmpObjectRow& r : rows)
        list.addObject(new SnmpObject(r.kind, r.type, r.access, r.oid, r.get, r.set, r.count,
                                      r.numIndexes, r.indexBase, r.enumOid));
    return true;
}
