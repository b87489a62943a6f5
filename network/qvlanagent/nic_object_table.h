// The object table of qvlanagent: every MIB object of .1.3.6.1.4.1.93071.2.23.18 as one row of
// data, in walk order, registered by loadObjects().
#pragma once

#include "snmp_object.h"

#include <span>
#include <string>
#include <vector>

inline constexpr char kNicSubtree[] = ".1.3.6.1.4.1.93071.2.23.18";

// One registered object: OID text (the first instance for a table column), kind, type, access
// and callbacks.
struct NicObjectSpec {
    std::string oid;
    SNMP_OBJECT_TYPE kind;
    SNMP_TYPE type;
    SNMP_ACCESS access;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set;
    SNMP_COUNT_FUNC count;
    int indexLevels;
    int indexBase;
};

// A read-only table column; its column number is its position in the table, from 1.
struct NicColumn {
    SNMP_TYPE type;
    SNMP_GET_FUNC get;
};

// A table below the subtree: entry OID (".1.1.1"), columns, row counter, index levels.
struct NicTable {
    const char* entry;
    std::span<const NicColumn> columns;
    SNMP_COUNT_FUNC count;
    int indexLevels;
};

// A scalar: OID relative to the subtree without its ".0", type, getter and (read-write) setter.
struct NicScalar {
    std::string oid;
    SNMP_TYPE type;
    SNMP_GET_FUNC get;
    SNMP_SET_FUNC set = nullptr;
};

// Every object in registration (= walk) order.
std::vector<NicObjectSpec> nicObjectSpecs();

// (Re)builds the program-wide collections from the interfaces found now.
void buildNicCollections();

// Builds the program-wide collections, then registers every object in `objects`.
bool loadObjects();
