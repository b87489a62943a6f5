// The drive asset-tag area: a packed list of type-length-value records in 600 bytes, and the
// record editor that works on a copy of it in memory.
#pragma once

#include <diskbus_types.h>

#include <cstdint>

using Byte = uint8_t;
using Index = uint32_t;
using DWord = uint32_t;

inline constexpr Index kTagAreaSize = 600;

// Record header; the data follows it.
struct FieldHdrType {
    Byte cb;     // record length, the header included
    Byte type;   // bit 7 repeat flag, bits 6-5 class, bits 4-0 field number
};
static_assert(sizeof(FieldHdrType) == 2);

// Record classes (type & 0x60).
inline constexpr Byte kClassText = 0x00;
inline constexpr Byte kClassByte = 0x20;
inline constexpr Byte kClassDWord = 0x40;
inline constexpr Byte kClassTime = 0x60;
inline constexpr Byte kRepeatFlag = 0x80;

// 1999-01-01 00:00:00 UTC: no time record written by a tool can be older.
inline constexpr uint32_t kEarliestTagTime = 915148800u;

// The ids whose field numbers are reserved, zero-terminated.
extern const Byte rgbKnownFields[];

// True when the record at `pField` is valid with `cbLeft` bytes left in the used area.
bool ValidateRecord(const FieldHdrType* pField, Index cbLeft);

class CFieldPacker {
public:
    explicit CFieldPacker(Index sMax);
    ~CFieldPacker();
    CFieldPacker(const CFieldPacker&) = delete;
    CFieldPacker& operator=(const CFieldPacker&) = delete;

    // Loads an area image; true when it holds at least one record and every record is valid.
    int SetInitialFields(sdType sdFields);
    int FindField(Byte fieldType, sdType* psdFieldRet);
    // Appends a whole record (header first); an existing record of the id is kept unless
    // `fReplace`, then it is deleted and the new one goes to the end.
    int AddField(void* record, int fReplace);
    int DeleteField(Byte fieldType);
    sdType GetField(Index iFieldFind);
    // The buffer and its used length: what is written back to the drive.
    sdType GetFieldArea();

private:
    bool allocate();

    Index nFields = 0;
    Index sDataMax;
    sdType sdData{nullptr, 0};
};
