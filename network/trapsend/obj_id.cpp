#include "obj_id.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr unsigned long kAllOnes = 4294967295UL;
}

CObjId::CObjId(const unsigned long* value, int len)
{
    init();
    if (value && len > 0) fromArray(value, len);
}

CObjId::CObjId(const CObjId& other)
{
    init();
    fromArray(other.m_value, other.m_len);
}

CObjId& CObjId::operator=(const CObjId& other)
{
    if (this != &other) fromArray(other.m_value, other.m_len);
    return *this;
}

CObjId::~CObjId()
{
    clear();
    delete[] m_asc;
}

void CObjId::init()
{
    m_value = nullptr;
    m_len = 0;
    m_asc = new char[kTextSize]();
}

void CObjId::clear()
{
    delete[] m_value;
    m_value = nullptr;
    m_len = 0;
}

int CObjId::fromStr(const char* str)
{
    clear();
    if (!str) return 0;
    std::vector<unsigned long> ids;
    const char* p = str;
    while (*p == ' ') ++p;
    while (std::isdigit(static_cast<unsigned char>(*p)) && ids.size() < kMaxParsed) {
        unsigned long long n = 0;
        for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
            if (n <= kAllOnes) n = n * 10 + static_cast<unsigned>(*p - '0');
        ids.push_back(n > kAllOnes ? kAllOnes : static_cast<unsigned long>(n));
        if (*p == ' ' || *p == '.') ++p;
    }
    if (ids.empty()) return 0;
    fromArray(ids.data(), static_cast<int>(ids.size()));
    return static_cast<int>(p - str);
}

void CObjId::fromArray(const unsigned long* array, int length)
{
    // The source may be our own array (self-assignment through a copy).
    std::vector<unsigned long> copy;
    if (array && length > 0) copy.assign(array, array + length);
    clear();
    if (copy.empty()) return;
    m_value = new unsigned long[copy.size()];
    std::memcpy(m_value, copy.data(), copy.size() * sizeof(unsigned long));
    m_len = static_cast<int>(copy.size());
}

void CObjId::append(unsigned long i)
{
    auto* grown = new unsigned long[static_cast<size_t>(m_len) + 1];
    if (m_len > 0) std::memcpy(grown, m_value, static_cast<size_t>(m_len) * sizeof(unsigned long));
    grown[m_len] = i;
    delete[] m_value;
    m_value = grown;
    ++m_len;
}

void CObjId::genStr() const
{
    if (m_len == 0) {
        std::snprintf(m_asc, kTextSize, "NULL");
        return;
    }
    size_t used = 0;
    m_asc[0] = '\0';
    for (int i = 0; i < m_len; ++i) {
        char piece[32];
        const int n = std::snprintf(piece, sizeof piece, i == 0 ? "%lu" : ".%lu", m_value[i]);
        if (used + static_cast<size_t>(n) >= static_cast<size_t>(kTextSize)) break;
        std::memcpy(m_asc + used, piece, static_cast<size_t>(n) + 1);
        used += static_cast<size_t>(n);
    }
}

const char* CObjId::str() const
{
    genStr();
    return m_asc;
}

unsigned long CObjId::operator[](int i) const
{
    return (i < 0 || i >= m_len) ? kAllOnes : m_value[i];
}

bool CObjId::operator==(const CObjId& Id2) const
{
    if (m_len != Id2.m_len) return false;
    for (int i = 0; i < m_len; ++i)
        if (m_value[i] != Id2.m_value[i]) return false;
    return true;
}

bool CObjId::operator==(int val) const { return val == 0 && m_len == 0; }

bool CObjId::operator^(const CObjId& Id2) const
{
    if (Id2.m_len == 0 || Id2.m_len < m_len) return false;
    for (int i = 0; i < m_len; ++i)
        if (m_value[i] != Id2.m_value[i]) return false;
    return true;
}

bool CObjId::operator<(const CObjId& Id2) const
{
    for (int i = 0; i < m_len && i < Id2.m_len; ++i)
        if (m_value[i] != Id2.m_value[i]) return m_value[i] < Id2.m_value[i];
    return m_len < Id2.m_len;
}

CObjId CObjId::operator+(unsigned long i) const
{
    CObjId copy(*this);
    copy.append(i);
    return copy;
}

std::ostream& operator<<(std::ostream& out, const CObjId& id) { return out << id.str(); }
