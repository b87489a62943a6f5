#include "event_sections.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace evtspec {

namespace {

constexpr unsigned char kWhite = 0x01, kLetter = 0x02, kNumber = 0x04;

constexpr unsigned char classOf(unsigned char c)
{
    unsigned char kind = 0;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r') kind |= kWhite;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') kind |= kLetter;
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f') || c == 'X' ||
        c == 'x')
        kind |= kNumber;
    return kind;
}

constexpr auto kTypeInfo = [] {
    std::array<unsigned char, 256> table{};
    for (unsigned c = 0; c < table.size(); ++c) table[c] = classOf(static_cast<unsigned char>(c));
    return table;
}();

bool is(unsigned char c, unsigned char mask) { return (kTypeInfo[c] & mask) != 0; }

} // namespace

bool IsWhiteSpace(unsigned char c) { return is(c, kWhite); }
bool IsLetter(unsigned char c) { return is(c, kLetter); }
bool IsNumberChar(unsigned char c) { return is(c, kNumber); }
bool IsLetterOrNumber(unsigned char c) { return is(c, kLetter | kNumber); }

bool FSameStr(const char* word, std::string_view text)
{
    const size_t n = std::strlen(word);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(word[i])) !=
            std::tolower(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

unsigned long ExtractValue(std::string_view text)
{
    size_t at = 0;
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    if (!text.empty() && (!IsNumberChar(byteAt(0)) || IsLetter(byteAt(0)))) {
        while (at < text.size() && IsLetterOrNumber(byteAt(at))) ++at;
        while (at < text.size() && !IsNumberChar(byteAt(at))) ++at;
    }
    char digits[kValueDigitsMax + 1];
    size_t n = 0;
    while (at < text.size() && IsLetterOrNumber(byteAt(at)) && n < kValueDigitsMax) digits[n++] = text[at++];
    if (n == 0) return NoValue;
    digits[n] = '\0';
    return std::strtoul(digits, nullptr, 0);
}

void RemoveTrailingWhiteSpace(std::string_view& text)
{
    while (!text.empty() && IsWhiteSpace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
}

int VarBindNumber(std::string_view key, char first)
{
    if (key.size() < 8) return -1;
    const int n = key[7] - first;
    return n >= 0 && n <= 9 ? n : -1;
}

SectionWalk::Step SectionWalk::header(std::string_view name)
{
    Step step;
    if (state_ == offset) {
        step.complete = true;
        return step;
    }
    const unsigned long v = ExtractValue(name);
    if (FSameStr("SensorType", name)) {
        state_ = v == sensorType_ ? sensor : start;
        step.sensorSection = true;
        step.sensorType = v;
    } else if (FSameStr("EvtTrigger", name)) {
        if (state_ != start) state_ = v == eventTrigger_ ? trigger : sensor;
    } else if (FSameStr("Offset", name)) {
        if (state_ == trigger && v == offset_) {
            state_ = offset;
            step.descriptionStarts = true;
        }
    }
    return step;
}

} // namespace evtspec
