// The server's own device entity record, built at every start from the BIOS tables, the serial
// number and three registry values, and merged into the device entity store.
#pragma once

#include "devstore.h"

constexpr int ERR_NO_COMPUTER_NAME = 0x100017;
constexpr unsigned kEntityTextArea = 255;

extern const char szVelkarnOID[];   // "1.3.6.1.4.1.2021"

// Fills `record` with texts held in `area` (kEntityTextArea bytes). 0 or a status code.
int BuildVelkarnEntity(stDeviceEntity2* record, char* area);

// Builds the record and merges it into the store (EXISTING_UPDATE). 0 or a status code.
int DefineVelkarnEntity();
