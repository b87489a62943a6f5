// Trap variables from an event's template, for the trap daemon.
#pragma once

#include "attr_value.h"
#include "event_format.h"

// Fills `vars` (`capacity` entries): the value of each %n the template names at vars[n-1]
// (values that would not leave room for the text are dropped), then the template text right
// after the last value written. *count = the index of the text + 1. A missing Varbind key gives
// the text "[No Data]". 0.
int QVELFMT_FormatEventToVarbind(EvtStruct* event, CAttrValue* vars, int capacity, int* count);
