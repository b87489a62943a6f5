#include "rmc_fru.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr size_t kHeaderBytes = 5;
constexpr uint8_t kManagementAccessRecord = 3;
constexpr uint8_t kEndOfList = 0x80;
constexpr size_t kBoardFieldsStart = 6;
constexpr size_t kBoardSerialField = 2;   // after manufacturer and product name
constexpr uint8_t kEndOfFields = 0xC1;

// Record type of the old format-0 form of a component sub-record.
uint8_t format0Type(ManagementAccessType subType)
{
    return static_cast<uint8_t>(subType - 1);
}
} // namespace

rmcfru::rmcfru(std::vector<uint8_t> data) : m_data(std::move(data)) { m_szResult[0] = '\0'; }

const char* rmcfru::SetResult(const uint8_t* bytes, size_t length)
{
    std::memset(m_szResult, 0, sizeof m_szResult);
    if (bytes)
        std::memcpy(m_szResult, bytes, std::min(length, sizeof m_szResult - 1));
    return m_szResult;
}

bool rmcfru::FindManagementAccess(ManagementAccessType subType, MRRecord& found) const
{
    const size_t size = m_data.size();
    if (size < 8)
        return false;
    size_t offset = static_cast<size_t>(m_data[5]) * 8;
    if (offset == 0)
        return false;
    while (offset + kHeaderBytes <= size) {
        MRRecord r;
        r.bType = m_data[offset];
        r.bFormat = m_data[offset + 1] & 0x0F;
        const bool last = m_data[offset + 1] & kEndOfList;
        const size_t length = m_data[offset + 2];
        const size_t recordBytes = r.bFormat ? length + kHeaderBytes : length * 8;
        if (recordBytes <= kHeaderBytes && r.bFormat == 0)
            return false;   // a format-0 record this short would never move the walk on
        if (recordBytes > size - offset)
            return false;   // runs past the data
        r.pbPayload = m_data.data() + offset + kHeaderBytes;
        r.cbPayload = recordBytes - kHeaderBytes;
        const bool match = r.bFormat
                               ? r.bType == kManagementAccessRecord && r.cbPayload >= 1 &&
                                     r.pbPayload[0] == subType
                               : r.bType == format0Type(subType);
        if (match) {
            found = r;
            return true;
        }
        if (last)
            return false;
        offset += recordBytes;
    }
    return false;
}

const char* rmcfru::GetComponentValue(ManagementAccessType subType)
{
    MRRecord r;
    if (!FindManagementAccess(subType, r))
        return SetResult(nullptr, 0);
    // After the sub-record type byte; the format-0 form ends in a byte that is not part of it.
    if (r.bFormat)
        return SetResult(r.pbPayload + 1, r.cbPayload - 1);
    return SetResult(r.pbPayload, r.cbPayload - 1);
}

const char* rmcfru::GetBoardSerialNumber()
{
    const size_t size = m_data.size();
    if (size < 8 || m_data[3] == 0)
        return SetResult(nullptr, 0);
    size_t p = static_cast<size_t>(m_data[3]) * 8 + kBoardFieldsStart;
    for (size_t field = 0; p < size; ++field) {
        const uint8_t typeLength = m_data[p];
        const size_t length = typeLength & 0x3F;
        if (typeLength == kEndOfFields || length > size - p - 1)
            break;
        if (field == kBoardSerialField)
            return SetResult(m_data.data() + p + 1, length);
        p += 1 + length;
    }
    return SetResult(nullptr, 0);
}
