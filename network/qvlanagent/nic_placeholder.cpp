#include "nic_groups.h"

bool getNicPlaceholder(int, SnmpValue* value, const SnmpOid&)
{
    // No bytes at all: an empty octet value prints an empty line, not " 00".
    return SnmpValue::holdsText(value->getType()) ? value->setValue(nullptr, 0)
                                                   : value->setValue(0);
}
