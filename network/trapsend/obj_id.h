// An SNMP object identifier with its dotted text form.
#pragma once

#include <ostream>

class CObjId {
public:
    static constexpr int kTextSize = 1536;
    static constexpr int kMaxParsed = 512;

    CObjId(const unsigned long* value = nullptr, int len = 0);
    CObjId(const CObjId& other);
    CObjId& operator=(const CObjId& other);
    ~CObjId();

    void init();
    void clear();

    // Number of characters consumed, 0 when no number was read. At most 512 numbers are taken;
    // the text after them is left unconsumed.
    int fromStr(const char* str);
    void fromArray(const unsigned long* array, int length);
    void append(unsigned long i);
    // Renders into the 1536-byte text buffer; sub-identifiers that no longer fit are left out.
    void genStr() const;
    const char* str() const;
    int length() const { return m_len; }

    unsigned long operator[](int i) const;
    bool operator==(const CObjId& Id2) const;
    bool operator==(int val) const;
    bool operator^(const CObjId& Id2) const;
    bool operator<(const CObjId& Id2) const;
    CObjId operator+(unsigned long i) const;

private:
    unsigned long* m_value = nullptr;
    int m_len = 0;
    char* m_asc = nullptr;
};

std::ostream& operator<<(std::ostream& out, const CObjId& id);
