// The net-snmp records the service reads (declarations only: nothing of the library is linked).
#pragma once

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/types.h>

// PDU and callback values of the SNMP library.
inline constexpr int kSnmpV1TrapPdu = 0xA4;
inline constexpr int kReceivedMessage = 1;
