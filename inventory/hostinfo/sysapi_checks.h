// The checks and buffers every DMI-based SYSAPI call shares.
#pragma once

#include <cstring>

#include "sysapi.h"

namespace qv::host {

// The reader, or SYSAPI_DmiBiosNotFound when no table was found.
inline CQVDMIBIOS& requireDmi()
{
    CQVDMIBIOS* bios = HostDmiBios();
    if (!bios->IsDMIBIOSPresent()) throw SYSAPI_DmiBiosNotFound();
    return *bios;
}

inline void requireIndex(int i, int total)
{
    if (i < 1 || i > total) throw SYSAPI_IndexOutOfRange();
}

// A reader text getter given a buffer that starts empty; the text is terminated whatever the
// reader leaves, and a failing getter leaves it empty (or `fallback`).
template <std::size_t Size, class Getter>
CString readerText(Getter getter, const char* fallback = "")
{
    unsigned char buffer[Size] = {};
    if (!getter(buffer, static_cast<unsigned char>(Size))) return CString(fallback);
    buffer[Size - 1] = 0;
    return CString(reinterpret_cast<const char*>(buffer));
}

inline int64 firstWord(unsigned value)
{
    int64 result{};
    result.word[0] = static_cast<uint16_t>(value);
    return result;
}

} // namespace qv::host
