#include "field_packer.h"

#include <cstdlib>
#include <cstring>

const Byte rgbKnownFields[] = {0x81, 0x82, 0x83, 0x84, 0x25, 0x26, 0x27, 0x28, 0x49, 0x6A, 0};

namespace {

Byte fieldNumber(Byte type) { return type & 0x1F; }

uint32_t bigEndian32(const Byte* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool lengthFits(Byte type, Index n)
{
    const bool repeat = (type & kRepeatFlag) != 0;
    switch (type & 0x60) {
    case kClassText:
    case kClassByte:
        return repeat || n <= 1;
    default:   // 32-bit values and times
        return repeat ? n % 4 == 0 : n <= 4;
    }
}

bool contentFits(Byte type, const Byte* data, Index n)
{
    switch (type & 0x60) {
    case kClassText:
        for (Index i = 0; i < n; ++i)
            if (data[i] < 0x20 || data[i] > 0x7E) return false;
        return true;
    case kClassTime:
        // Fewer than 4 bytes hold no time that could pass.
        return n >= 4 && bigEndian32(data) >= kEarliestTagTime;
    default:
        return true;
    }
}

} // namespace

bool ValidateRecord(const FieldHdrType* pField, Index cbLeft)
{
    // The header itself must lie inside the used area before any of it is read.
    if (cbLeft < sizeof(FieldHdrType)) return false;
    if (pField->cb > cbLeft || pField->cb < 2) return false;
    for (const Byte* k = rgbKnownFields; *k; ++k)
        if (fieldNumber(pField->type) == fieldNumber(*k) && pField->type != *k) return false;
    const Index n = pField->cb - 2u;
    if (!lengthFits(pField->type, n)) return false;
    return contentFits(pField->type, reinterpret_cast<const Byte*>(pField) + 2, n);
}

CFieldPacker::CFieldPacker(Index sMax) : sDataMax(sMax) {}

CFieldPacker::~CFieldPacker() { std::free(sdData.pb); }

bool CFieldPacker::allocate()
{
    if (sdData.pb) return true;
    sdData.pb = static_cast<Byte*>(std::calloc(sDataMax ? sDataMax : 1, 1));
    sdData.cb = 0;
    return sdData.pb != nullptr;
}

int CFieldPacker::SetInitialFields(sdType sdFields)
{
    if (sdFields.cb > sDataMax) return false;
    if (!allocate()) return false;
    if (sdFields.cb) std::memcpy(sdData.pb, sdFields.pb, sdFields.cb);
    sdData.cb = sdFields.cb;
    std::memset(sdData.pb + sdData.cb, 0, sDataMax - sdData.cb);
    nFields = 0;
    Index offset = 0;
    while (offset < sdData.cb) {
        const Index left = sdData.cb - offset;
        // A last single byte cannot hold a header: it ends the list only when it is zero.
        if (left < sizeof(FieldHdrType)) {
            if (sdData.pb[offset] == 0) break;
            nFields = 0;
            offset = 0;
            break;
        }
        const auto* field = reinterpret_cast<const FieldHdrType*>(sdData.pb + offset);
        if (field->cb == 0 || fieldNumber(field->type) == 0) break;
        if (!ValidateRecord(field, left)) {
            nFields = 0;
            offset = 0;
            break;
        }
        ++nFields;
        offset += field->cb;
    }
    if (offset < sdData.cb) {
        std::memset(sdData.pb + offset, 0, sdData.cb - offset);
        sdData.cb = offset;
    }
    return nFields > 0;
}

int CFieldPacker::FindField(Byte fieldType, sdType* psdFieldRet)
{
    if (!sdData.pb) return false;
    Index offset = 0;
    for (Index i = 0; i < nFields; ++i) {
        auto* field = reinterpret_cast<FieldHdrType*>(sdData.pb + offset);
        if (field->type == fieldType) {
            if (psdFieldRet) *psdFieldRet = sdType{sdData.pb + offset, field->cb};
            return true;
        }
        offset += field->cb;
    }
    return false;
}

int CFieldPacker::AddField(void* record, int fReplace)
{
    const auto* field = static_cast<const FieldHdrType*>(record);
    if (FindField(field->type, nullptr)) {
        if (!fReplace) return true;
        DeleteField(field->type);
    }
    if (!allocate()) return false;
    if (sdData.cb + field->cb > sDataMax) return false;
    std::memcpy(sdData.pb + sdData.cb, record, field->cb);
    sdData.cb += field->cb;
    ++nFields;
    return true;
}

int CFieldPacker::DeleteField(Byte fieldType)
{
    sdType found{};
    if (!FindField(fieldType, &found)) return false;
    Byte* end = sdData.pb + sdData.cb;
    std::memmove(found.pb, found.pb + found.cb, static_cast<size_t>(end - (found.pb + found.cb)));
    sdData.cb -= found.cb;
    --nFields;
    std::memset(sdData.pb + sdData.cb, 0, sDataMax - sdData.cb);
    return true;
}

sdType CFieldPacker::GetField(Index iFieldFind)
{
    if (!sdData.pb || iFieldFind >= nFields) return sdType{nullptr, 0};
    Index offset = 0;
    for (Index i = 0; i < iFieldFind; ++i) offset += sdData.pb[offset];
    return sdType{sdData.pb + offset, sdData.pb[offset]};
}

sdType CFieldPacker::GetFieldArea() { return sdData; }
