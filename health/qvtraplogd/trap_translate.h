// Turning one received SNMP version 1 trap into an event record, as the section file describes.
#pragma once

#include "snmp_records.h"

#include <qveventlog.h>

class CObjId;

inline constexpr char kTrapSectionFile[] = "/usr/qvserver/etc/qvtraplogd.ini";
// The additional text and every value read from a binding hold at most this many characters.
inline constexpr unsigned kTrapTextMax = 79;

struct _TData {
    Sel SELdata;
    char additionalInfo[kTrapTextMax + 1];
};

// One piece of a variable reference: binding number and bit count.
struct _vbInfo {
    int vbno;
    int noOfBits;
};

// True when the trap is accepted; `data` then holds the record and its additional text.
bool ProcessTrap(_TData* data, netsnmp_pdu* pdu, void* magic);
int ConvertTVKTrapId(CObjId& trapId, int trapNumber);

netsnmp_variable_list* GetVar(netsnmp_pdu* pdu, int n);
int SnmpCountVbl(netsnmp_pdu* pdu);
// Renders binding n (1-based): its dotted name and its value as text. Texts are cut to fit
// their buffers with a terminator; control characters in a value become blanks, so a value can
// never start another line of the event log.
bool SnmpGetVb(netsnmp_pdu* pdu, int n, char* nameBuf, unsigned nameLen, char* valueBuf, unsigned valueLen);
bool GetVbTrapOid(netsnmp_pdu* pdu, char* buf, unsigned len);
bool GetVbTrapType(netsnmp_pdu* pdu, unsigned long* number);
