#include "cstring.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

const char _afxChNil[1] = {0};

namespace {

// Larger requests are caller errors: no text of the system comes near this.
constexpr int kMaxBufferLength = 32767 - 2;

[[noreturn]] void preconditionFailed(int line, const char* condition)
{
    std::fprintf(stderr, "cstring:%d: precondition failed: %s\n", line, condition);
    std::abort();
}

#define CSTRING_REQUIRE(condition) \
    do { if (!(condition)) preconditionFailed(__LINE__, #condition); } while (0)

int safeLength(const char* text) { return text ? int(std::strlen(text)) : 0; }

char* nilBuffer() { return const_cast<char*>(_afxChNil); }

} // namespace

void CString::Init()
{
    m_pchData = nilBuffer();
    m_nDataLength = 0;
    m_nAllocLength = 0;
}

// Gives the string its own buffer of exactly `length` characters; false (status 1, string
// untouched) when memory runs out.
bool CString::AllocBuffer(int length)
{
    CSTRING_REQUIRE(length >= 0 && length <= kMaxBufferLength);
    if (length == 0) {
        Init();
        return true;
    }
    char* buffer = new (std::nothrow) char[std::size_t(length) + 1];
    if (!buffer) {
        statusFlag = kStatusNoMemory;
        return false;
    }
    buffer[length] = 0;
    m_pchData = buffer;
    m_nDataLength = length;
    m_nAllocLength = length;
    return true;
}

void CString::Release()
{
    if (m_pchData != _afxChNil) delete[] m_pchData;
    Init();
}

CString::CString() : statusFlag(kStatusReady) { Init(); }

CString::CString(const CString& other) : statusFlag(kStatusReady)
{
    Init();
    if (other.m_nDataLength > 0 && AllocBuffer(other.m_nDataLength))
        std::memcpy(m_pchData, other.m_pchData, std::size_t(other.m_nDataLength));
}

CString::CString(const char* text, int length) : statusFlag(kStatusReady)
{
    Init();
    CSTRING_REQUIRE(length >= 0);
    if (length > 0 && text && AllocBuffer(length)) std::memcpy(m_pchData, text, std::size_t(length));
}

CString::CString(const char* text) : statusFlag(kStatusReady)
{
    Init();
    const int length = safeLength(text);
    if (length > 0 && AllocBuffer(length)) std::memcpy(m_pchData, text, std::size_t(length));
}

CString::~CString()
{
    if (m_pchData != _afxChNil) delete[] m_pchData;
}

void CString::Empty() { Release(); }

char CString::GetAt(int i) const
{
    CSTRING_REQUIRE(i >= 0 && i < m_nDataLength);
    return m_pchData[i];
}

char CString::operator[](int i) const
{
    CSTRING_REQUIRE(i >= 0 && i <= m_nDataLength);
    return m_pchData[i];
}

void CString::SetAt(int i, char ch)
{
    CSTRING_REQUIRE(i >= 0 && i < m_nDataLength);
    CSTRING_REQUIRE(ch != 0);
    m_pchData[i] = ch;
}

int CString::AsInt()
{
    // strtol rather than atoi: an out-of-range number must not be undefined behaviour.
    errno = 0;
    const long value = std::strtol(m_pchData, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return int(value);
}

int CString::Find(char ch) const
{
    const void* at = std::memchr(m_pchData, ch, std::size_t(m_nDataLength));
    return at ? int(static_cast<const char*>(at) - m_pchData) : -1;
}

int CString::ReverseFind(char ch) const
{
    for (int i = m_nDataLength; i-- > 0;)
        if (m_pchData[i] == ch) return i;
    return -1;
}

int CString::FindOneOf(const char* set) const
{
    if (!set) return -1;
    for (int i = 0; i < m_nDataLength; ++i)
        if (m_pchData[i] != 0 && std::strchr(set, m_pchData[i])) return i;
    return -1;
}

int CString::Find(const char* sub) const
{
    const int length = safeLength(sub);
    if (length == 0) return m_nDataLength;
    for (int i = 0; i + length <= m_nDataLength; ++i)
        if (m_pchData[i] == sub[0] && std::memcmp(m_pchData + i, sub, std::size_t(length)) == 0) return i;
    return -1;
}

CString CString::Extract(int first, int count) const
{
    CString result;
    if (count > 0 && result.AllocBuffer(count)) std::memcpy(result.m_pchData, m_pchData + first, std::size_t(count));
    return result;
}

CString CString::Mid(int first, int count) const
{
    CSTRING_REQUIRE(first >= 0 && count >= 0);
    if (first >= m_nDataLength) return CString();
    if (count > m_nDataLength - first) count = m_nDataLength - first;
    return Extract(first, count);
}

CString CString::Mid(int first) const
{
    CSTRING_REQUIRE(first >= 0 && first <= m_nDataLength);
    return Mid(first, m_nDataLength - first);
}

CString CString::Left(int count) const
{
    CSTRING_REQUIRE(count >= 0);
    return Extract(0, count < m_nDataLength ? count : m_nDataLength);
}

CString CString::Right(int count) const
{
    CSTRING_REQUIRE(count >= 0);
    if (count > m_nDataLength) count = m_nDataLength;
    return Extract(m_nDataLength - count, count);
}

CString CString::SpanIncluding(const char* set) const
{
    int n = 0;
    while (set && n < m_nDataLength && m_pchData[n] != 0 && std::strchr(set, m_pchData[n])) ++n;
    return Left(n);
}

CString CString::SpanExcluding(const char* set) const
{
    int n = 0;
    while (n < m_nDataLength && !(set && m_pchData[n] != 0 && std::strchr(set, m_pchData[n]))) ++n;
    return Left(n);
}

void CString::MakeLower()
{
    for (int i = 0; i < m_nDataLength; ++i) m_pchData[i] = char(std::tolower((unsigned char)m_pchData[i]));
}

void CString::MakeUpper()
{
    for (int i = 0; i < m_nDataLength; ++i) m_pchData[i] = char(std::toupper((unsigned char)m_pchData[i]));
}

char* CString::GetBuffer(int minLength)
{
    if (m_nAllocLength >= minLength) return m_pchData;
    char* old = m_pchData;
    const int length = m_nDataLength;
    if (!AllocBuffer(minLength)) return m_pchData;
    std::memcpy(m_pchData, old, std::size_t(length) + 1);
    m_nDataLength = length;
    if (old != _afxChNil) delete[] old;
    return m_pchData;
}

void CString::ReleaseBuffer(int newLength)
{
    // Bounded: a caller that filled the whole buffer may have left no terminator of its own.
    if (newLength == -1) newLength = int(strnlen(m_pchData, std::size_t(m_nAllocLength)));
    CSTRING_REQUIRE(newLength >= 0 && newLength <= m_nAllocLength);
    m_nDataLength = newLength;
    if (m_pchData != _afxChNil) m_pchData[newLength] = 0;
}

char* CString::GetBufferSetLength(int length)
{
    GetBuffer(length);
    if (m_nAllocLength < length) return m_pchData;   // allocation failed, status already 1
    m_nDataLength = length;
    if (m_pchData != _afxChNil) m_pchData[length] = 0;
    return m_pchData;
}

void CString::AssignCopy(int length, const char* source)
{
    if (length <= m_nAllocLength) {
        if (length > 0) std::memmove(m_pchData, source, std::size_t(length));
        m_nDataLength = length;
        if (m_pchData != _afxChNil) m_pchData[length] = 0;
        return;
    }
    // The source may live in our own buffer: copy before freeing.
    char* old = m_pchData;
    if (!AllocBuffer(length)) return;
    std::memcpy(m_pchData, source, std::size_t(length));
    if (old != _afxChNil) delete[] old;
}

const CString& CString::operator=(const CString& other)
{
    if (this != &other) AssignCopy(other.m_nDataLength, other.m_pchData);
    return *this;
}

const CString& CString::operator=(const char* text)
{
    AssignCopy(safeLength(text), text ? text : _afxChNil);
    return *this;
}

const CString& CString::operator=(char ch)
{
    AssignCopy(1, &ch);
    return *this;
}

void CString::ConcatCopy(int length1, const char* source1, int length2, const char* source2)
{
    CSTRING_REQUIRE(length1 <= kMaxBufferLength - length2);
    if (!AllocBuffer(length1 + length2)) return;
    if (length1 > 0) std::memcpy(m_pchData, source1, std::size_t(length1));
    if (length2 > 0) std::memcpy(m_pchData + length1, source2, std::size_t(length2));
}

void CString::ConcatInPlace(int length, const char* source)
{
    if (length == 0) return;
    if (m_nDataLength + length > m_nAllocLength) {
        char* old = m_pchData;
        if (old == _afxChNil) {
            ConcatCopy(0, nullptr, length, source);
            return;
        }
        CString joined;
        joined.ConcatCopy(m_nDataLength, old, length, source);
        if (joined.m_nDataLength != m_nDataLength + length) {
            statusFlag = kStatusNoMemory;
            return;
        }
        delete[] old;
        m_pchData = joined.m_pchData;
        m_nDataLength = joined.m_nDataLength;
        m_nAllocLength = joined.m_nAllocLength;
        joined.Init();
        return;
    }
    std::memmove(m_pchData + m_nDataLength, source, std::size_t(length));
    m_nDataLength += length;
    CSTRING_REQUIRE(m_nDataLength <= m_nAllocLength);
    m_pchData[m_nDataLength] = 0;
}

const CString& CString::operator+=(const char* text)
{
    ConcatInPlace(safeLength(text), text);
    return *this;
}

const CString& CString::operator+=(const CString& other)
{
    ConcatInPlace(other.m_nDataLength, other.m_pchData);
    return *this;
}

const CString& CString::operator+=(char ch)
{
    ConcatInPlace(1, &ch);
    return *this;
}

CString operator+(const CString& a, const CString& b)
{
    CString s;
    s.ConcatCopy(a.m_nDataLength, a.m_pchData, b.m_nDataLength, b.m_pchData);
    return s;
}

CString operator+(const CString& a, const char* b)
{
    CString s;
    s.ConcatCopy(a.m_nDataLength, a.m_pchData, safeLength(b), b);
    return s;
}

CString operator+(const char* a, const CString& b)
{
    CString s;
    s.ConcatCopy(safeLength(a), a, b.m_nDataLength, b.m_pchData);
    return s;
}

CString operator+(const CString& a, char b)
{
    CString s;
    s.ConcatCopy(a.m_nDataLength, a.m_pchData, 1, &b);
    return s;
}

CString operator+(char a, const CString& b)
{
    CString s;
    s.ConcatCopy(1, &a, b.m_nDataLength, b.m_pchData);
    return s;
}

int CString::Compare(const char* s) const
{
    const int r = std::strcmp(m_pchData, s ? s : _afxChNil);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::CompareNoCase(const char* s) const
{
    CString left(*this);
    CString right(s);
    left.MakeUpper();
    right.MakeUpper();
    return left.Compare(right);
}

// Every comparison is Compare of a CString with a text; a text on the left swaps the sense.
#define CSTRING_COMPARISON(op, holds)                                                             \
    bool operator op(const CString& a, const CString& b) { const int c = a.Compare(b); return holds; } \
    bool operator op(const CString& a, const char* b) { const int c = a.Compare(b); return holds; }    \
    bool operator op(const char* a, const CString& b) { const int c = -b.Compare(a); return holds; }
CSTRING_COMPARISON(==, c == 0)
CSTRING_COMPARISON(!=, c != 0)
CSTRING_COMPARISON(<, c == -1)
CSTRING_COMPARISON(>, c == 1)
CSTRING_COMPARISON(<=, c <= 0)
CSTRING_COMPARISON(>=, c >= 0)
#undef CSTRING_COMPARISON
