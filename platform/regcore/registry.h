// The registry: one text file of [KEY] sections and Name=value lines shared by the whole suite.
// Values are addressed by "KEY=ValueName". Readers take no lock; writers serialise on the
// registry lock file and replace the file as a whole, so a reader sees the old or the new file.
#pragma once

#include <cstdio>
#include <string>

#include "sd_type.h"

// Status codes (0 is success; file failures return the errno itself); ERR_RESOURCE_UNAVAILABLE
// comes with sdType.
constexpr unsigned ERR_BAD_ARGUMENT = 0x100016;
constexpr unsigned ERR_REG_END_OF_FILE = 0x100021;
constexpr unsigned ERR_REG_KEY_NOT_FOUND = 0x100022;
constexpr unsigned ERR_REG_VALUE_NOT_FOUND = 0x100023;
constexpr unsigned ERR_REG_LOCK_TIMEOUT = 0xFFFFFFFF;

constexpr unsigned REG_KEY_BUFFER = 80;       // key part: at most 79 characters
constexpr unsigned REG_VALUE_NAME_MAX = 127;  // longest value name a search can match
constexpr unsigned long REG_LOCK_TIMEOUT_MS = 5000;

// Hex digits of binary values, high nibble first (exactly these 16 characters).
extern const char grgbHex[17];

unsigned GetRegData(const char* pszFullKey, void* pData, unsigned sDataMax);
unsigned SetRegData(const char* pszFullKey, const void* pData, unsigned long sData);

struct ValueHeaderType {
    char bDataType;     // 'b' hex, anything else text
    unsigned cbData;
};

unsigned char EncodeDigit(char ch);
unsigned char EncodeByte(char chLow, char chHigh);
char DecodeNibble(unsigned nibble);
bool DataIsBinary(const unsigned char* pb, unsigned cb);
// Splits "KEY=ValueName" at the first '='. Refuses (ERR_BAD_ARGUMENT) a key part that does not
// fit REG_KEY_BUFFER or a value name longer than REG_VALUE_NAME_MAX.
unsigned ParseRegKey(const char* pszFullKey, char (&szKey)[REG_KEY_BUFFER],
                     const char** ppszValueName);

class CRegistry {
public:
    enum { ACCESS_CLOSED = 0, ACCESS_READ = 1, ACCESS_WRITE = 2 };

    explicit CRegistry(const char* pszSpec);   // nullptr: the suite's registry file
    ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    unsigned Open(unsigned nAccess);
    unsigned OpenTemp();
    unsigned LocateKey(const char* pszKey, long* pPos);
    unsigned LocateValue(long start, const char* pszName, long* pPos);
    unsigned ReadValue(long pos, void* pBuf, unsigned cbBuf);
    unsigned LocateEOF(long* pPos);
    unsigned ReplaceValue(long pos, sdType sd);
    unsigned AddValue(long pos, const char* pszName, sdType sd);
    unsigned AddKeyValue(const char* pszKey, const char* pszName, sdType sd);
    unsigned ReplaceRegistry(int fLeaveOpen);
    unsigned Close(int fHoldOn);
    unsigned CloseTemp();

private:
    enum class FieldEnd { Delimiter, LineFeed, Limit };

    unsigned Read(int* pch);
    unsigned Write(int ch);
    unsigned WriteText(const std::string& text);
    unsigned ReadValueHeader(ValueHeaderType* pHeader);
    unsigned ReadToDelimiter(char delimiter, std::string* pText, size_t limit, FieldEnd* pEnd);
    unsigned ReadData(const ValueHeaderType& header, unsigned count, unsigned char* pDest);
    unsigned WriteValue(sdType sd);
    unsigned SkipOverLine();
    unsigned Seek(long pos);
    unsigned CopyData(FILE* hfDest, long start, long count);
    std::string CreateBackupName(const char* pszSuffix, bool fNoRoot) const;

    FILE* hfReg = nullptr;
    FILE* hfTemp = nullptr;
    std::string szSpec;
    std::string szTempName;
    unsigned access = ACCESS_CLOSED;
    int hSemReg = 0;
};
