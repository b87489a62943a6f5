// Reading the decimal numbers of the state and history values without the undefined results
// sscanf's "%d" gives for numbers that do not fit.
#pragma once

#include <cerrno>
#include <cstdlib>

namespace volcap {

// The next white-space-separated decimal number of `text`, advancing it; false when none
// follows or it lies outside [low, high].
inline bool nextNumber(const char*& text, long long low, long long high, long long& value)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || v < low || v > high) return false;
    text = end;
    value = v;
    return true;
}

} // namespace volcap
