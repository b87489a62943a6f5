#include "evtspec_sections.h"

#include <array>
#include <cstdlib>

namespace qvevtspec {

namespace {

constexpr unsigned char kWhiteBit = 0x01, kLetterBit = 0x02, kNumberBit = 0x04;

constexpr std::array<unsigned char, 256> makeTypeInfo()
{
    std::array<unsigned char, 256> table{};
    for (unsigned char c : {' ', '\t', '\n', '\f', '\r'}) table[c] = kWhiteBit;
    for (int c = '0'; c <= '9'; ++c) table[c] = kNumberBit;
    for (int c = 'A'; c <= 'Z'; ++c) table[c] = kLetterBit;
    for (int c = 'a'; c <= 'z'; ++c) table[c] = kLetterBit;
    table['_'] = kLetterBit;
    for (int c = 'A'; c <= 'F'; ++c) table[c] |= kNumberBit;
    for (int c = 'a'; c <= 'f'; ++c) table[c] |= kNumberBit;
    table['X'] |= kNumberBit;
    table['x'] |= kNumberBit;
    return table;
}

constexpr std::array<unsigned char, 256> rgbTypeInfo = makeTypeInfo();

unsigned char lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

} // namespace

bool FCharType(unsigned char c, unsigned char mask) { return (rgbTypeInfo[c] & 0x7F & mask) != 0; }

bool FSameStr(const char* word, std::string_view text)
{
    size_t i = 0;
    for (; word[i]; ++i)
        if (i >= text.size() || lower(word[i]) != lower(text[i])) return false;
    return true;
}

unsigned long ExtractValue(std::string_view text)
{
    size_t i = 0;
    const auto is = [&](unsigned char mask) { return i < text.size() && FCharType(text[i], mask); };
    if (!text.empty() && (!FCharType(text[0], kNumber) || FCharType(text[0], kLetter))) {
        while (is(kLetterOrNumber)) ++i;
        while (i < text.size() && !FCharType(text[i], kNumber)) ++i;
    }
    char digits[16];
    size_t n = 0;
    for (; is(kLetterOrNumber); ++i)
        if (n < sizeof digits - 1) digits[n++] = text[i];
    if (n == 0) return NoValue;
    digits[n] = '\0';
    return std::strtoul(digits, nullptr, 0);
}

SectionStep SectionMatch::OnHeader(std::string_view header)
{
    SectionStep step;
    const unsigned long value = ExtractValue(header);
    if (state_ == offset) {
        step.stop = true;
    } else if (FSameStr("SensorType", header)) {
        state_ = value == record_.sensorType ? sensor : start;
        step.sensorSection = true;
        step.sensorType = value;
    } else if (FSameStr("EvtTrigger", header) && state_ != start) {
        state_ = value == record_.eventTrigger ? trigger : sensor;
    } else if (FSameStr("Offset", header) && state_ == trigger &&
               value == static_cast<unsigned long>(record_.eventData1 & 0x0F)) {
        state_ = offset;
        step.descriptionStarts = true;
    }
    return step;
}

} // namespace qvevtspec
