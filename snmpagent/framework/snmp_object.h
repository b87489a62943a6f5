// MIB objects and the agent's ordered object list with the GET/SET and GETNEXT look-ups.
#pragma once

#include <deque>
#include <list>
#include <span>
#include <string>
#include <vector>

#include "snmp_oid.h"
#include "snmp_value.h"

enum SNMP_OBJECT_TYPE {
    SNMP_SCALAR = 0,
    SNMP_TABULAR = 1,       // rows counted by a callback
    SNMP_RAW_TABULAR = 2,   // instances produced by an enumeration callback
};

typedef bool (*SNMP_GET_FUNC)(int index, SnmpValue* value, const SnmpOid& oid);
typedef bool (*SNMP_SET_FUNC)(int index, const SnmpValue& value, const SnmpOid& oid);
typedef int (*SNMP_COUNT_FUNC)(int level, const SnmpOid& oid);
typedef bool (*SNMP_ENUM_OID_FUNC)(bool first, SnmpOid& oid);

class SnmpObject {
public:
    SnmpObject(SNMP_OBJECT_TYPE objType, SNMP_TYPE _type, SNMP_ACCESS access, const char* _oid,
               SNMP_GET_FUNC _getFunc, SNMP_SET_FUNC _setFunc = nullptr,
               SNMP_COUNT_FUNC _countFunc = nullptr, int _numIndexes = 0, int _indexBase = 0,
               SNMP_ENUM_OID_FUNC _enumOidFunc = nullptr);

    // GET/SET match; on success `oid` holds the requested instance.
    bool isEqual(const SnmpOid& _oid);
    // GETNEXT: true when this object has an instance after the request, now held in `oid`.
    bool isLess(const SnmpOid& _oid);
    bool fetchValue();
    bool setValue(const SnmpValue& _value);

    const std::string& getError() const { return error; }
    const SnmpOid& getOid() const { return oid; }
    const SnmpOid& registeredOid() const { return registered; }
    int indexCount() const { return numIndexes; }
    SNMP_OBJECT_TYPE getType() const { return type; }
    SnmpValue& getValue() { return value; }

private:
    int rowIndex() const;
    int prefixLength() const { return oid.idSize() - numIndexes; }
    bool rowCountAllows(int level, const SnmpOid& instance, long long row) const;

    std::string error;
    SnmpOid oid;
    SnmpOid registered;
    SnmpValue value;
    SNMP_GET_FUNC getFunc;
    SNMP_SET_FUNC setFunc;
    SNMP_COUNT_FUNC countFunc;
    SNMP_OBJECT_TYPE type;
    int numIndexes;
    int indexBase;
    SNMP_ENUM_OID_FUNC enumOidFunc;
};

typedef std::list<SnmpObject*> SnmpObjectList;

class SnmpObjects {
public:
    SnmpObjects() = default;
    ~SnmpObjects() { objs.clear(); }   // objects live for the whole process
    void addObject(SnmpObject* object) { objs.push_back(object); }
    SnmpObject* find(const SnmpOid& oid);
    SnmpObject* findNext(const SnmpOid& oid);
    const SnmpObject* last() const { return objs.empty() ? nullptr : objs.back(); }

private:
    SnmpObjectList objs;
};

// One object of an agent's registration table: the arguments of its SnmpObject. Agents keep
// their MIB as an array of rows and register it with addObjectRows().
struct SnmpObjectRow {
    SNMP_OBJECT_TYPE kind;
    SNMP_TYPE type;
    SNMP_ACCESS access;
    const char* oid;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set = nullptr;
    SNMP_COUNT_FUNC count = nullptr;
    int numIndexes = 0;
    int indexBase = 0;
    SNMP_ENUM_OID_FUNC enumOid = nullptr;
};

// Rows whose identifiers are put together at run time (a prefix and a column number); the
// identifier texts live as long as this object.
class SnmpObjectRowList {
public:
    void add(std::string oid, SnmpObjectRow row)
    {
        row.oid = texts.emplace_back(std::move(oid)).c_str();
        rowList.push_back(row);
    }
    std::span<const SnmpObjectRow> rows() const { return rowList; }

private:
    std::deque<std::string> texts;   // a deque never moves its elements
    std::vector<SnmpObjectRow> rowList;
};

// Appends one object per row, in the rows' order (which is the GETNEXT order). Every object's
// instances must lie after all instances of the one before it (and of the list's last object);
// otherwise nothing is added, the first offending row is logged and the result is false, so a
// walk can never stop early at a step backwards.
bool addObjectRows(SnmpObjects& list, std::span<const SnmpObjectRow> rows);
