// The token language of the Varbind keys: one token, one value of the record.
#include "event_format.h"
#include "token_value.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool is(char c, char letter) { return std::tolower(static_cast<unsigned char>(c)) == letter; }
bool startsWith(const char* p, const char* prefix)
{
    return p && is(p[0], prefix[0]) && (prefix[1] == '\0' || is(p[1], prefix[1]));
}

qvfmt::TokenValue textValue(std::string text)
{
    qvfmt::TokenValue value;
    value.text = std::move(text);
    return value;
}

qvfmt::TokenValue integerValue(long number, bool hex)
{
    char text[32];
    std::snprintf(text, sizeof text, hex ? "%lX" : "%ld", number);
    qvfmt::TokenValue value = textValue(text);
    value.isInteger = true;
    value.integer = number;
    return value;
}

// The decimal number at `p` (0 when none) and the position after it.
long decimalAt(const char*& p)
{
    char* end = nullptr;
    const long number = std::strtol(p, &end, 10);
    if (end == p) return 0;
    p = end;
    return number;
}

uint8_t dataByte(const EvtStruct& event, long which)
{
    if (which == 2) return event.selEntry.eventData2;
    if (which == 3) return event.selEntry.eventData3;
    return 0;
}

// "b" d ["u" d "l"] then the "x" and "m" modifiers.
qvfmt::TokenValue byteToken(const char* p, const EvtStruct& event)
{
    ++p;
    unsigned long value = dataByte(event, decimalAt(p));
    if (IsUpper(*p)) {
        ++p;
        const unsigned long low = dataByte(event, decimalAt(p));
        if (!IsLower(*p)) return textValue(qvfmt::kBadFormat);
        ++p;
        value = value * 256 + low;
    }
    bool hex = false;
    uint32_t mask = 0;
    for (;; ++p) {
        if (IsHex(*p)) {
            hex = true;
        } else if (IsMask(*p)) {
            // Only the last 32 digits of a longer mask can matter for a 16-bit value.
            mask = 0;
            while (IsBinDigit(p[1])) mask = mask << 1 | static_cast<uint32_t>(*++p - '0');
        } else {
            break;
        }
    }
    if (mask != 0) {
        while (!(mask & 1)) {
            mask >>= 1;
            value >>= 1;
        }
        value &= mask;
    }
    return integerValue(static_cast<long>(value), hex);
}

// "s" n [modifier]: field n of the add string.
qvfmt::TokenValue stringToken(const char* p, EvtStruct& event)
{
    char* own = event.szAddString;
    own[sizeof event.szAddString - 1] = '\0';
    own[std::strcspn(own, "\n")] = '\0';
    own[std::strcspn(own, "\r")] = '\0';

    const char* digits = p + 1;
    const bool hasDigit = std::isdigit(static_cast<unsigned char>(*digits));
    const char modifier = hasDigit ? digits[1] : '\0';
    const long n = decimalAt(digits) % 256;
    if (n <= 0) return textValue(qvfmt::kBadFormat);

    std::string copy(own);
    size_t start = 0;
    for (long field = 1; field < n; ++field) {
        const size_t bang = copy.find('!', start);
        if (bang == std::string::npos) return textValue(qvfmt::kNoData);
        start = bang + 1;
    }
    const std::string field = copy.substr(start, copy.find('!', start) - start);
    if (IsHex(modifier) || IsInteger(modifier)) {
        char text[32];
        std::snprintf(text, sizeof text, IsHex(modifier) ? "%X" : "%d", std::atoi(field.c_str()));
        return textValue(text);
    }
    return textValue(field);
}

qvfmt::VariableWriter variableWriter = nullptr;

} // namespace

bool IsEscape(char c) { return c == '%'; }
bool IsByte(const char* p) { return startsWith(p, "b"); }
bool IsConvertedReading(const char* p) { return startsWith(p, "cr"); }
bool IsConvertedThreshold(const char* p) { return startsWith(p, "ct"); }
bool IsLocationString(const char* p) { return startsWith(p, "ls"); }
bool IsSensorNumber(const char* p) { return startsWith(p, "sn"); }
bool IsString(const char* p) { return startsWith(p, "s"); }
bool IsUpper(char c) { return is(c, 'u'); }
bool IsLower(char c) { return is(c, 'l'); }
bool IsInteger(char c) { return is(c, 'i'); }
bool IsMask(char c) { return is(c, 'm'); }
bool IsHex(char c) { return is(c, 'x'); }
bool IsBinDigit(char c) { return c == '0' || c == '1'; }

namespace qvfmt {

TokenValue evaluateToken(const char* token, EvtStruct* event)
{
    if (!token || !*token || !event) {
        TokenValue nothing;
        nothing.empty = true;
        return nothing;
    }
    if (IsConvertedReading(token) || IsConvertedThreshold(token))
        return textValue("ConvertedThreshold");
    if (IsLocationString(token)) {
        char name[17] = {};
        if (QVEL_GetSdrDescription(&event->selEntry, name) != 0 || !name[0])
            return textValue("[No Information]");
        return textValue("[" + std::string(name, strnlen(name, 16)) + "]");
    }
    if (IsSensorNumber(token)) return integerValue(event->selEntry.sensorNumber, false);
    if (IsByte(token)) return byteToken(token, *event);
    if (IsString(token)) return stringToken(token, *event);
    return textValue(kBadFormat);
}

void setVariableWriter(VariableWriter writer) { variableWriter = writer; }

} // namespace qvfmt

void QVELFMT_GetToken(GetTokenEnum kind, const char* token, EvtStruct* event, void* out)
{
    if (!out) return;
    const qvfmt::TokenValue value = qvfmt::evaluateToken(token, event);
    if (kind == GetTokenVarbind) {
        if (!value.empty && variableWriter) variableWriter(value, out);
        return;
    }
    char* text = static_cast<char*>(out);
    const size_t length = std::min(value.text.size(), QVELFMT_TOKEN_TEXT_SIZE - 1);
    std::memcpy(text, value.text.data(), length);
    text[length] = '\0';
}
