// The result of one token before it is written as text or as a trap variable.
#pragma once

#include "qveventlog.h"

#include <string>

namespace qvfmt {

struct TokenValue {
    bool empty = false;     // an empty token writes nothing
    bool isInteger = false;
    long integer = 0;
    std::string text;       // always set (the text form of an integer too)
};

TokenValue evaluateToken(const char* token, EvtStruct* event);

// The trap-variable writer of GetToken's kind 0, installed by the trap-variable side.
using VariableWriter = void (*)(const TokenValue& value, void* out);
void setVariableWriter(VariableWriter writer);

inline constexpr char kNoData[] = "[No Data]";
inline constexpr char kBadFormat[] = "[Bad Format]";

} // namespace qvfmt

namespace qvfmt {

// Walks an event template: `literal` for each plain character (and for a '%' that names no
// value, with the character after it), `value` with n for each "%n", n from 1 to 8.
template <typename Literal, typename Value>
void walkTemplate(const char* text, Literal literal, Value value)
{
    for (const char* p = text; *p; ++p) {
        if (*p != '%') {
            literal(*p);
        } else if (p[1] >= '1' && p[1] <= '8') {
            value(*++p - '0');
        } else {
            literal('%');
            if (!p[1]) return;
            literal(*++p);
        }
    }
}

// The Varbind<n> key of the event's section; false when it is missing.
bool readVarbindKey(EvtStruct* event, int n, char* value);

} // namespace qvfmt
