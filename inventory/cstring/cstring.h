// Dynamic text of the system information library: exact-size buffers, one shared read-only
// empty buffer, and preconditions that stop the process when a caller breaks them.
#pragma once

// The one zero byte every empty CString points at; never written, never freed.
extern const char _afxChNil[1];

class CString {
public:
    CString();
    CString(const CString& other);
    CString(const char* text, int length);
    CString(const char* text);
    ~CString();

    operator const char*() const { return m_pchData; }
    int GetLength() const { return m_nDataLength; }
    bool IsEmpty() const { return m_nDataLength == 0; }
    void Empty();
    char GetAt(int i) const;
    char operator[](int i) const;
    void SetAt(int i, char ch);
    int AsInt();

    int Find(char ch) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* set) const;
    int Find(const char* sub) const;

    CString Mid(int first, int count) const;
    CString Mid(int first) const;
    CString Left(int count) const;
    CString Right(int count) const;
    CString SpanIncluding(const char* set) const;
    CString SpanExcluding(const char* set) const;

    void MakeLower();
    void MakeUpper();
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);
    char* GetBufferSetLength(int length);

    const CString& operator=(const CString& other);
    const CString& operator=(const char* text);
    const CString& operator=(char ch);
    const CString& operator+=(const char* text);
    const CString& operator+=(const CString& other);
    const CString& operator+=(char ch);

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend CString operator+(const CString& a, char b);
    friend CString operator+(char a, const CString& b);

    int Compare(const char* s) const;
    int CompareNoCase(const char* s) const;

    int getStatus() const { return statusFlag; }
    void resetStatus() { statusFlag = 2; }

    // For tests of the buffer rules.
    int GetAllocLength() const { return m_nAllocLength; }

private:
    static constexpr int kStatusReady = 2;
    static constexpr int kStatusNoMemory = 1;

    void Init();
    bool AllocBuffer(int length);
    void Release();
    void AssignCopy(int length, const char* source);
    void ConcatInPlace(int length, const char* source);
    void ConcatCopy(int length1, const char* source1, int length2, const char* source2);
    CString Extract(int first, int count) const;

    char* m_pchData;
    int m_nDataLength;
    int m_nAllocLength;
    int statusFlag;
};

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);
bool operator<(const CString& a, const char* b);
bool operator<(const char* a, const CString& b);
bool operator>(const CString& a, const CString& b);
bool operator>(const CString& a, const char* b);
bool operator>(const char* a, const CString& b);
bool operator<=(const CString& a, const CString& b);
bool operator<=(const CString& a, const char* b);
bool operator<=(const char* a, const CString& b);
bool operator>=(const CString& a, const CString& b);
bool operator>=(const CString& a, const char* b);
bool operator>=(const char* a, const CString& b);
