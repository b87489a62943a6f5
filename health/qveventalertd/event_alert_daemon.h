// qveventalertd: every new event-log record that its description marks for a trap leaves as one
// SNMP version 1 trap per destination of /usr/qvserver/etc/qvtraps.cfg.
#pragma once

#include "qveventlog.h"

// Milliseconds between batches (default 30000); tests shorten the period with it.
inline constexpr char kEventAlertPeriodEnv[] = "QV_EVENTALERTD_PERIOD_MS";
// The daemon's own cursor file in /usr/qvserver/etc/.
inline constexpr char kEventAlertCursor[] = "eventlog-qveventalertd.cfg";

// The next unseen record with its template in szEventString; false ends the batch (nothing new,
// or a record without a String key, which is consumed without a trap). `cursorSaved` false: the
// cursor could not be saved, so the same record would come back at once; the batch ends after it.
bool read_next_event(EvtStruct* e, bool& cursorSaved);
// One trap per destination for the record, when its description asks for one.
void send_event(EvtStruct* e);

// Detaches and runs until SIGTERM or SIGINT; the exit status.
int runEventAlertDaemon();
