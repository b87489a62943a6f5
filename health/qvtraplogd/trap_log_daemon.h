// qvtraplogd: SNMP version 1 traps in, event records out.
#pragma once

#include "snmp_dl.h"

// The address the service listens on: "udp:162" unless a test names its own
// ("udp:127.0.0.1:PORT") in this environment variable.
inline constexpr char kTrapLogAddressEnv[] = "QV_TRAPLOGD_ADDRESS";
inline constexpr char kTrapLogDefaultAddress[] = "udp:162";

int TrapNotification(int operation, netsnmp_session* session, int reqid, netsnmp_pdu* pdu, void* magic);
// Start-up after identification: detach, handlers, library, session, loop. The exit status.
int runTrapLogDaemon(CSnmpDl& snmp);
