// The system group .1.3.6.1.4.1.93071.2.23.7: its objects and the logging of library exceptions.
#pragma once

// Registers the 46 objects in MIB order.
bool loadHostObjects();

// For the front end's catch-all: names the SYSAPI exception being handled.
const char* describeHostException();
