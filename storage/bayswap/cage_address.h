// The SAF-TE form of a cage address: bits 0-6 the enclosure processor's target id, bit 7 always
// set (so it never equals an I2C module's address), bits 8-11 its channel, bits 12-15 its adapter,
// each cut to four bits.
#pragma once

#include <diskbus_types.h>

#include <cstdint>

inline uint16_t MakeCageAddr(SCSIAddressType addr)
{
    return uint16_t((addr.idTarget & 0x7F) | 0x80 | (addr.idChannel & 0x0F) << 8 | (addr.idAdapter & 0x0F) << 12);
}

inline SCSIAddressType MakeScsiAddr(uint16_t cageAddr)
{
    return SCSIAddressType{uint8_t(cageAddr & 0x7F), uint8_t((cageAddr >> 8) & 0x0F), uint8_t((cageAddr >> 12) & 0x0F)};
}
