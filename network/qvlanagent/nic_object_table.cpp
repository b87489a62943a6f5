#include "nic_object_table.h"

#include "agent_frontend.h"
#include "nic_groups.h"
#include "nic_interfaces.h"

namespace {

void appendTable(std::vector<NicObjectSpec>& specs, const NicTable& table)
{
    std::string instance;
    for (int level = 0; level < table.indexLevels; ++level) instance += ".1";
    int column = 0;
    for (const NicColumn& c : table.columns) {
        specs.push_back({std::string(kNicSubtree) + table.entry + "." + std::to_string(++column) +
                             instance,
                         SNMP_TABULAR, c.type, SNMP_READONLY, c.get, nullptr, table.count,
                         table.indexLevels, 1});
    }
}

void appendScalars(std::vector<NicObjectSpec>& specs, const std::vector<NicScalar>& scalars)
{
    for (const NicScalar& s : scalars) {
        specs.push_back({std::string(kNicSubtree) + s.oid + ".0", SNMP_SCALAR, s.type,
                         s.set ? SNMP_READWRITE : SNMP_READONLY, s.get, s.set, nullptr, 0, 0});
    }
}

} // namespace

std::vector<NicObjectSpec> nicObjectSpecs()
{
    std::vector<NicObjectSpec> specs;
    appendTable(specs, driverConfigTable());
    appendTable(specs, statisticsTable());
    appendTable(specs, customStatisticsTable());
    appendTable(specs, errorTable());
    appendScalars(specs, miscScalars());
    appendTable(specs, frameTypeTable());
    appendScalars(specs, parameterScalars());
    appendTable(specs, tokenRingStatisticsTable());
    appendTable(specs, tokenRingErrorTable());
    return specs;
}

void buildNicCollections()
{
    buildDriverConfigGroup();
    buildStatisticsGroup();
    buildRowOnlyGroups();
    buildErrorGroup();
    buildMiscGroup();
    buildFrameTypeGroup();
    buildParameterGroup();
}

bool loadObjects()
{
    {
        nic::InterfaceListScope oneReading;
        buildNicCollections();
    }
    SnmpObjectRowList rows;
    for (const NicObjectSpec& s : nicObjectSpecs())
        rows.add(s.oid, {s.kind, s.type, s.access, nullptr, s.get, s.set, s.count, s.indexLevels, s.indexBase});
    return addObjectRows(objects, rows.rows());
}
