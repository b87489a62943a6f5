// The callback modules of qvlanagent, one per MIB group, each owning the collection its
// callbacks read. build*() (re)creates the collection from the interfaces found now.
#pragma once

#include "nic_object_table.h"

#include <vector>

// Placeholders: 0 for a number, the empty value for a byte string.
bool getNicPlaceholder(int index, SnmpValue* value, const SnmpOid& oid);

// Group 1, driver configuration.
void buildDriverConfigGroup();
NicTable driverConfigTable();

// Group 2, statistics with baselines.
void buildStatisticsGroup();
NicTable statisticsTable();

// Groups 3, 8 and 9: tables with a row per interface and nothing but placeholders.
void buildRowOnlyGroups();
NicTable customStatisticsTable();
NicTable tokenRingStatisticsTable();
NicTable tokenRingErrorTable();

// Group 4, errors.
void buildErrorGroup();
NicTable errorTable();

// Group 5, miscellaneous scalars.
void buildMiscGroup();
std::vector<NicScalar> miscScalars();

// Group 6, frame types (two index levels).
void buildFrameTypeGroup();
NicTable frameTypeTable();

// Group 7, the read-write parameters and the adapter families.
void buildParameterGroup();
void releaseParameterGroup();
std::vector<NicScalar> parameterScalars();
