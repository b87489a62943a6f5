// Layouts of the BIOS table anchors the identification reads (little-endian, no padding).
#pragma once

#include <cstdint>

#pragma pack(push, 1)

struct DMI_Header_21 {
    char signature[4];            // "_SM_"
    uint8_t checksum;
    uint8_t hdrLen;
    uint8_t verMaj;
    uint8_t verMin;
    uint16_t maxStrucSz;
    uint8_t epsRev;
    uint8_t epsRevArea[5];
    uint8_t IntermediateSig[5];
    uint8_t IntermedChecksum;
    uint16_t StrucTableLen;
    uint16_t StrucTableOff;       // within its 64 KB segment
    uint16_t StrucTableSel;       // low 4 bits select the segment
    uint16_t NumStructures;
};
static_assert(sizeof(DMI_Header_21) == 30);

struct DMI_Header_20 {
    char signature[10];           // "_DMI20_NT_"
    uint8_t version;
    uint16_t length;
    uint16_t structurePtr;        // first of the 8-byte structure entries
    uint16_t unknowna0;
    uint32_t unknownb0;
    uint16_t nextStrucPtr;
};
static_assert(sizeof(DMI_Header_20) == 23);

struct DMI_Header {
    char signature[4];            // "$DMI" on a 16-byte boundary
    uint8_t version;
    uint8_t length;
    uint32_t structurePtr;        // low 16 bits: offset within the same segment
    uint8_t structureChecksum;
    uint8_t headerChecksum;
};
static_assert(sizeof(DMI_Header) == 12);

#pragma pack(pop)
