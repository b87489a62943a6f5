// MIB-II system group values and four interface-table columns that snmpd leaves empty.
#pragma once

#include <string>

bool loadLegacyObjects();

// Only '-', '.', '_', digits and letters; not empty.
bool IsValidHostName(const std::string& name);

// Changes the running host name and the network configuration files; 0 or -1. When the files
// cannot be updated the previous running name is put back.
int MySetHostName(const std::string& name);
