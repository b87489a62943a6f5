// The soft-log line: the 16 record bytes as "%.2x " each, then the add string, then "\n".
#include "eventlog_internal.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qv::eventlog {

namespace {
constexpr size_t kAddStringBuffer = 256;   // EvtStruct::szAddString

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The 16 bytes from positions 0, 3, 6, ... 45 of a line that is long enough.
Sel recordFromText(const char* line)
{
    uint8_t bytes[sizeof(Sel)];
    for (size_t i = 0; i < sizeof bytes; ++i)
        bytes[i] = static_cast<uint8_t>(MyAtoi(line + 3 * i));
    Sel record;
    std::memcpy(&record, bytes, sizeof record);
    return record;
}

// The add string after the record text: leading blanks dropped, cut at the first line feed.
void copyAddString(const char* text, char* addOut)
{
    while (isBlank(*text)) ++text;
    size_t n = 0;
    while (text[n] != '\0' && text[n] != '\n' && n + 1 < kAddStringBuffer) ++n;
    std::memcpy(addOut, text, n);
    addOut[n] = '\0';
}
} // namespace

void cutAddString(char* addString)
{
    if (addString != nullptr && std::strlen(addString) > QVEL_ADD_STRING_MAX)
        addString[QVEL_ADD_STRING_MAX] = '\0';
}

std::string formatRecordLine(const Sel& record, const char* addString)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    std::string line;
    line.reserve(kRecordTextLength + QVEL_ADD_STRING_MAX + 1);
    char hex[4];
    for (size_t i = 0; i < sizeof(Sel); ++i) {
        std::snprintf(hex, sizeof hex, "%.2x ", bytes[i]);
        line += hex;
    }
    if (addString != nullptr) {
        const size_t start = line.size();
        line.append(addString, strnlen(addString, QVEL_ADD_STRING_MAX));
        for (size_t i = start; i < line.size(); ++i)
            if (line[i] == '\n' || line[i] == '\r') line[i] = ' ';
    }
    line += '\n';
    return line;
}

std::optional<Sel> parseRecordId(const std::string& line)
{
    if (line.size() < kRecordTextLength) return std::nullopt;
    Sel record{};
    record.recordId = static_cast<uint16_t>((MyAtoi(line.c_str()) & 0xFF) |
                                            (MyAtoi(line.c_str() + 3) & 0xFF) << 8);
    return record;
}

bool parseRecordLine(const std::string& line, Sel& record, char* addOut)
{
    if (line.size() < kRecordTextLength) return false;
    return MakeSELFromString(&record, addOut, line.c_str()) == 0;
}

} // namespace qv::eventlog

using namespace qv::eventlog;

extern "C" int MyAtoi(const char* text)
{
    while (isBlank(*text)) ++text;
    unsigned value = 0;
    for (; std::isxdigit(static_cast<unsigned char>(*text)); ++text) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(*text)));
        value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return static_cast<int>(value & 0x7FFFFFFF);
}

extern "C" int MakeSELFromString(Sel* out, char* addOut, const char* line)
{
    if (out == nullptr || addOut == nullptr || line == nullptr || *line == '\0')
        return QVEL_ERR_INVALID;
    const char* rest = line;
    if (std::strlen(line) >= kRecordTextLength) {
        *out = recordFromText(line);
        rest = line + kRecordTextLength;
    }
    copyAddString(rest, addOut);
    return 0;
}

extern "C" char RemoveWhiteSpace(char** cursor)
{
    if (cursor == nullptr || *cursor == nullptr) return '\0';
    while (isBlank(**cursor)) ++*cursor;
    return **cursor;
}

extern "C" char* itoa(int value, char* buf, int base)
{
    if (base == 10) {
        std::sprintf(buf, "%d", value);
    } else if (base == 16) {
        std::sprintf(buf, "%X", static_cast<unsigned>(value));
    } else {
        std::fprintf(stderr, "itoa(): unknown base: %d", base);
        std::exit(1);
    }
    return buf;
}

extern "C" void QVELPrint(const char*, ...) {}
