#include "cproc.h"

#include <cstdio>
#include <cstring>

char CPROC::s_line[kLineLength + 1];
char CPROC::s_token[kLineLength + 1];
char CPROC::s_reversed[kLineLength + 1];

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
const char* skipBlanks(const char* p)
{
    while (isBlank(*p)) ++p;
    return p;
}

// The text after "key<sep>" (blanks allowed around the key) when the line starts with it.
const char* textAfterKey(const char* line, const char* key, std::size_t keyLength, char sep)
{
    const char* p = skipBlanks(line);
    if (std::strncmp(p, key, keyLength) != 0) return nullptr;
    p = skipBlanks(p + keyLength);
    return *p == sep ? p + 1 : nullptr;
}

} // namespace

// The file (or text) opened with the object's stdio buffer, read line by line; lines longer
// than kLineLength are cut and their rest skipped, so every scan stays inside one line.
struct CPROC::Source {
    explicit Source(CPROC& reader, bool skipTitle = true)
    {
        if (reader.m_bFromText) {
            if (!reader.m_contents.empty())
                file = fmemopen(reader.m_contents.data(), reader.m_contents.size(), "r");
        } else if (reader.m_bNameFits) {
            file = std::fopen(reader.m_chFileName, "r");
        }
        if (file) std::setvbuf(file, reader.m_chBuffer, _IOFBF, sizeof reader.m_chBuffer);
        if (file && skipTitle && reader.m_bTitle == 1) next(reader.s_line);
    }
    ~Source()
    {
        if (file) std::fclose(file);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    bool next(char* line)
    {
        int length = 0;
        int c = 0;
        bool any = false;
        while ((c = std::fgetc(file)) != EOF) {
            any = true;
            if (c == '\n') break;
            if (length < kLineLength) line[length++] = char(c);
        }
        line[length] = 0;
        return any;
    }

    FILE* file = nullptr;
};

CPROC::CPROC(const char* fileName, char separator, int title) : m_chSeparatorChar(separator), m_bTitle(title)
{
    // A path that does not fit is refused rather than cut to another file's name.
    const std::size_t length = fileName ? std::strlen(fileName) : 0;
    m_bNameFits = length > 0 && length < sizeof m_chFileName;
    if (m_bNameFits) std::memcpy(m_chFileName, fileName, length + 1);
}

CPROC::CPROC(Text, std::string contents, char separator, int title)
    : m_chSeparatorChar(separator), m_bTitle(title), m_contents(std::move(contents)), m_bFromText(true)
{
}

bool CPROC::isDelimiter(char c) const
{
    return c == ' ' || c == '\t' || c == '\n' || c == ':' || c == m_chSeparatorChar;
}

char* CPROC::getLine(int n)
{
    Source source(*this, false);   // numbered from the file's first line, title or not
    if (!source.file || n < 1) return nullptr;
    for (int i = 1; source.next(s_line); ++i)
        if (i == n) return s_line;
    return nullptr;
}

char* CPROC::findToken(const char* key, int nToken, int direction)
{
    const int keyLength = key ? int(std::strlen(key)) : 0;
    if (keyLength == 0) return nullptr;
    char line[kLineLength + 1];
    {
        Source source(*this);
        if (!source.file) return nullptr;
        while (source.next(line)) {
            const int length = int(std::strlen(line));
            for (int at = 0; at + keyLength <= length; ++at) {
                if (std::strncmp(line + at, key, std::size_t(keyLength)) != 0) continue;
                const char after = line[at + keyLength];
                if (after != 0 && !isDelimiter(after)) continue;
                return getToken(line, direction == 0 ? at + keyLength : at, nToken, direction);
            }
        }
    }
    return nullptr;
}

char* CPROC::getToken(const char* line, int at, int nToken, int direction)
{
    const int length = int(std::strlen(line));
    if (direction == 0) {
        int p = at;
        if (nToken == 0) {
            while (p < length && isDelimiter(line[p])) ++p;
            std::memcpy(s_token, line + p, std::size_t(length - p) + 1);
            return s_token;
        }
        if (p == length && nToken == 1) {   // the key ends the line: an empty word follows it
            s_token[0] = 0;
            return s_token;
        }
        for (int count = 1;; ++count) {
            while (p < length && isDelimiter(line[p])) ++p;
            if (p == length) return nullptr;
            int n = 0;
            while (p < length && !isDelimiter(line[p])) s_token[n++] = line[p++];
            s_token[n] = 0;
            if (count == nToken) return s_token;
        }
    }
    int p = at - 1;
    for (int count = 1;; ++count) {
        while (p >= 0 && isDelimiter(line[p])) --p;
        if (p < 0) return nullptr;
        int n = 0;
        while (p >= 0 && !isDelimiter(line[p])) s_token[n++] = line[p--];
        if (count == nToken || nToken <= 0) {
            for (int i = 0; i < n; ++i) s_reversed[i] = s_token[n - 1 - i];
            s_reversed[n] = 0;
            return s_reversed;
        }
    }
}

char* CPROC::prepOutput(const char* text, int collapse)
{
    const char* p = skipBlanks(text);
    std::size_t n = 0;
    const std::size_t capacity = sizeof m_chFileBuffer - 1;
    while (*p && n < capacity) {
        if (isBlank(*p)) {
            if (!collapse) break;
            const char* q = skipBlanks(p);
            if (*q == 0) break;   // a trailing run is dropped
            m_chFileBuffer[n++] = ' ';
            p = q;
            continue;
        }
        m_chFileBuffer[n++] = *p++;
    }
    m_chFileBuffer[n] = 0;
    return m_chFileBuffer;
}

char* CPROC::getValue(const char* key, const char* subKey)
{
    const std::size_t keyLength = key ? std::strlen(key) : 0;
    if (keyLength == 0) return nullptr;
    Source source(*this);
    if (!source.file) return nullptr;
    char line[kLineLength + 1];
    const char sep = m_chSeparatorChar;
    while (source.next(line)) {
        const char* p = textAfterKey(line, key, keyLength, sep);
        if (!p) continue;
        if (!subKey) return prepOutput(line, 1);
        const std::size_t subLength = std::strlen(subKey);
        for (;;) {
            p = skipBlanks(p);
            if (*p == 0) return nullptr;
            const char* name = p;
            while (*p && *p != sep) ++p;
            if (*p == 0) return nullptr;
            if (std::strncmp(name, subKey, subLength) == 0) return prepOutput(p + 1, 0);
            p = skipBlanks(p + 1);
            while (*p && !isBlank(*p)) ++p;
        }
    }
    return nullptr;
}

bool CPROC::appendName(const char* name, int length)
{
    // Room for the name, its zero and the zero that ends the list.
    if (m_nPosBuf + length + 2 > int(sizeof m_chFileBuffer)) return false;
    std::memcpy(m_chFileBuffer + m_nPosBuf, name, std::size_t(length));
    m_nPosBuf += length;
    m_chFileBuffer[m_nPosBuf++] = 0;
    return true;
}

char* CPROC::getAllKeys()
{
    Source source(*this);
    if (!source.file) return nullptr;
    m_nPosBuf = 0;
    char line[kLineLength + 1];
    bool anyLine = false;
    while (source.next(line)) {
        anyLine = true;
        const char* start = skipBlanks(line);
        const char* p = start;
        while (*p && !isBlank(*p) && *p != m_chSeparatorChar) ++p;
        const int length = int(p - start);
        if (length > 0 && *skipBlanks(p) == m_chSeparatorChar && !appendName(start, length)) break;
    }
    if (!anyLine) return nullptr;
    m_chFileBuffer[m_nPosBuf] = 0;
    return m_chFileBuffer;
}

char* CPROC::getAllSubKeys(const char* key)
{
    const std::size_t keyLength = key ? std::strlen(key) : 0;
    if (keyLength == 0) return nullptr;
    Source source(*this);
    if (!source.file) return nullptr;
    char line[kLineLength + 1];
    const char sep = m_chSeparatorChar;
    while (source.next(line)) {
        const char* p = textAfterKey(line, key, keyLength, sep);
        if (!p) continue;
        m_nPosBuf = 0;
        for (;;) {
            p = skipBlanks(p);
            if (*p == 0) break;
            const char* word = p;
            while (*p && !isBlank(*p) && *p != sep) ++p;
            const int length = int(p - word);
            p = skipBlanks(p);
            if (*p == sep) {
                if (length > 0 && !appendName(word, length)) break;
                ++p;
            } else if (length == 0) {
                ++p;
            }
        }
        m_chFileBuffer[m_nPosBuf] = 0;
        return m_chFileBuffer;
    }
    return nullptr;
}
