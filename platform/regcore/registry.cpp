#include "registry.h"

#include "atomic_file.h"
#include "library_boundary.h"
#include "sandbox_path.h"
#include "tvk_semaphore.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char grgbHex[17] = "0123456789ABCDEF";

namespace {

constexpr const char* kDefaultRegistry = "/var/qvserver/registry.ini";
constexpr const char* kLockDirectory = "/var/qvserver/";
constexpr size_t kCopyChunk = 4096;
constexpr size_t kSectionNameLimit = 127;
constexpr size_t kCountDigitsLimit = 19;

// The status of the call that just failed; never 0, never a stale value from earlier.
unsigned failure()
{
    return errno != 0 ? static_cast<unsigned>(errno) : static_cast<unsigned>(EIO);
}

bool isPrintable(unsigned char byte) { return byte >= 32 && byte <= 126; }

} // namespace

unsigned char EncodeDigit(char ch)
{
    const char* digit = std::strchr(grgbHex, ch);
    return (ch != '\0' && digit != nullptr) ? static_cast<unsigned char>(digit - grgbHex) : 0;
}

unsigned char EncodeByte(char chLow, char chHigh)
{
    return static_cast<unsigned char>((EncodeDigit(chHigh) << 4) | EncodeDigit(chLow));
}

char DecodeNibble(unsigned nibble) { return grgbHex[nibble & 0xF]; }

bool DataIsBinary(const unsigned char* pb, unsigned cb)
{
    if (cb == 0) return true;
    for (unsigned i = 0; i + 1 < cb; ++i)
        if (!isPrintable(pb[i])) return true;
    return !(isPrintable(pb[cb - 1]) || pb[cb - 1] == 0);
}

unsigned ParseRegKey(const char* pszFullKey, char (&szKey)[REG_KEY_BUFFER],
                     const char** ppszValueName)
{
    if (pszFullKey == nullptr) return ERR_BAD_ARGUMENT;
    const char* equals = std::strchr(pszFullKey, '=');
    size_t keyLength = equals != nullptr ? static_cast<size_t>(equals - pszFullKey)
                                         : std::strlen(pszFullKey);
    const char* valueName = equals != nullptr ? equals + 1 : "";
    if (keyLength >= REG_KEY_BUFFER || std::strlen(valueName) > REG_VALUE_NAME_MAX)
        return ERR_BAD_ARGUMENT;
    std::memcpy(szKey, pszFullKey, keyLength);
    szKey[keyLength] = '\0';
    *ppszValueName = valueName;
    return 0;
}

CRegistry::CRegistry(const char* pszSpec)
    : szSpec(pszSpec != nullptr ? std::string(pszSpec) : qv::sandboxPath(kDefaultRegistry))
{
}

CRegistry::~CRegistry()
{
    CloseTemp();
    Close(0);
}

unsigned CRegistry::Open(unsigned nAccess)
{
    if (nAccess == ACCESS_WRITE && hSemReg == 0) {
        std::string lockName = qv::sandboxPath(kLockDirectory) + CreateBackupName("_SEM", true);
        int handle = 0;
        int status = TvkAccessSemaphore(lockName.c_str(), &handle);
        if (status != 0) return static_cast<unsigned>(status);
        hSemReg = handle;
        status = TvkAcquireSemaphore(hSemReg, REG_LOCK_TIMEOUT_MS);
        if (status != 0) {
            Close(0);
            return static_cast<unsigned>(status);
        }
    }
    // Temporaries of writers killed before their commit; the lock keeps live ones out of reach.
    if (nAccess == ACCESS_WRITE) qv::removeFilesStartingWith(CreateBackupName(".TMP", false) + ".");
    errno = 0;
    hfReg = std::fopen(szSpec.c_str(), "rbe");
    if (hfReg == nullptr && errno != ENOENT) {
        unsigned status = failure();
        Close(0);
        return status;
    }
    access = nAccess;
    return 0;
}

unsigned CRegistry::OpenTemp()
{
    std::string pattern = CreateBackupName(".TMP", false) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    szTempName.reserve(pattern.size());   // no allocation, and so no failure, once the file exists
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return failure();
    szTempName = name.data();
    // Keep the registry readable by the unprivileged agents, but never world-writable.
    struct stat st {};
    mode_t mode = (hfReg != nullptr && fstat(fileno(hfReg), &st) == 0) ? (st.st_mode & 0664) : 0644;
    hfTemp = fdopen(fd, "wb");
    if (hfTemp == nullptr || fchmod(fd, mode) != 0) {
        unsigned status = failure();
        if (hfTemp == nullptr) close(fd);
        CloseTemp();
        return status;
    }
    return 0;
}

unsigned CRegistry::CloseTemp()
{
    unsigned status = 0;
    if (hfTemp != nullptr) {
        if (std::fclose(hfTemp) != 0) status = failure();
        hfTemp = nullptr;
    }
    // A temporary file that was not committed is never left behind.
    if (!szTempName.empty()) {
        unlink(szTempName.c_str());
        szTempName.clear();
    }
    return status;
}

unsigned CRegistry::Close(int fHoldOn)
{
    if (hfReg != nullptr) {
        std::fclose(hfReg);
        hfReg = nullptr;
    }
    access = ACCESS_CLOSED;
    if (!fHoldOn && hSemReg != 0) {
        TvkReleaseSemaphore(hSemReg);
        TvkEndSemaphoreAccess(hSemReg);
        hSemReg = 0;
    }
    return 0;
}

unsigned CRegistry::Read(int* pch)
{
    errno = 0;
    int ch = std::fgetc(hfReg);
    if (ch == EOF) return std::ferror(hfReg) ? failure() : ERR_REG_END_OF_FILE;
    *pch = ch;
    return 0;
}

unsigned CRegistry::Write(int ch)
{
    errno = 0;
    return std::fputc(ch, hfTemp) == EOF ? failure() : 0;
}

unsigned CRegistry::WriteText(const std::string& text)
{
    errno = 0;
    return std::fwrite(text.data(), 1, text.size(), hfTemp) == text.size() ? 0 : failure();
}

unsigned CRegistry::Seek(long pos)
{
    errno = 0;
    return std::fseek(hfReg, pos, SEEK_SET) == 0 ? 0 : failure();
}

// Reads up to the delimiter (not kept). A line feed ends the field too, so a damaged line
// never swallows the section line after it; `limit` bounds what is kept.
unsigned CRegistry::ReadToDelimiter(char delimiter, std::string* pText, size_t limit,
                                    FieldEnd* pEnd)
{
    for (;;) {
        int ch = 0;
        if (unsigned status = Read(&ch)) return status;
        if (ch == delimiter) {
            *pEnd = FieldEnd::Delimiter;
            return 0;
        }
        if (ch == '\n') {
            *pEnd = FieldEnd::LineFeed;
            return 0;
        }
        if (pText->size() >= limit) {
            *pEnd = FieldEnd::Limit;
            return 0;
        }
        pText->push_back(static_cast<char>(ch));
    }
}

unsigned CRegistry::SkipOverLine()
{
    for (;;) {
        int ch = 0;
        if (unsigned status = Read(&ch)) return status;
        if (ch == '\n') return 0;
    }
}

unsigned CRegistry::LocateKey(const char* pszKey, long* pPos)
{
    if (hfReg == nullptr) return ERR_REG_KEY_NOT_FOUND;
    unsigned status = Seek(0);
    for (; status == 0;) {
        int ch = 0;
        if ((status = Read(&ch)) != 0) break;
        if (ch == '\n') continue;
        bool match = false;
        if (ch == '[') {
            std::string name;
            FieldEnd end{};
            if ((status = ReadToDelimiter(']', &name, kSectionNameLimit, &end)) != 0) break;
            if (end == FieldEnd::LineFeed) continue;
            match = end == FieldEnd::Delimiter && name == pszKey;
        }
        status = SkipOverLine();
        // A header on an unterminated last line is still the key: a second one appended
        // behind it would never be read.
        if (match && (status == 0 || status == ERR_REG_END_OF_FILE)) {
            std::clearerr(hfReg);
            *pPos = std::ftell(hfReg);
            return 0;
        }
    }
    return status == ERR_REG_END_OF_FILE ? ERR_REG_KEY_NOT_FOUND : status;
}

unsigned CRegistry::LocateValue(long start, const char* pszName, long* pPos)
{
    if (hfReg == nullptr) return ERR_REG_VALUE_NOT_FOUND;
    unsigned status = Seek(start);
    for (; status == 0;) {
        int ch = 0;
        if ((status = Read(&ch)) != 0) break;
        if (ch == '[') return ERR_REG_VALUE_NOT_FOUND;
        if (ch == '\r' || ch == '\n') continue;
        // A line starting with '=' holds the value with the empty name.
        std::string name;
        FieldEnd end = FieldEnd::Delimiter;
        if (ch != '=') {
            name.push_back(static_cast<char>(ch));
            if ((status = ReadToDelimiter('=', &name, REG_VALUE_NAME_MAX, &end)) != 0) break;
        }
        if (end == FieldEnd::Delimiter && name == pszName) {
            *pPos = std::ftell(hfReg);
            return 0;
        }
        if (end != FieldEnd::LineFeed) status = SkipOverLine();
    }
    return status == ERR_REG_END_OF_FILE ? ERR_REG_KEY_NOT_FOUND : status;
}

unsigned CRegistry::ReadValueHeader(ValueHeaderType* pHeader)
{
    int kind = 0, open = 0;
    if (unsigned status = Read(&kind)) return status;
    if (unsigned status = Read(&open)) return status;
    if (open != '(') return ERR_REG_VALUE_NOT_FOUND;
    std::string digits;
    FieldEnd end{};
    if (unsigned status = ReadToDelimiter(')', &digits, kCountDigitsLimit, &end)) return status;
    if (end != FieldEnd::Delimiter) return ERR_REG_VALUE_NOT_FOUND;
    long count = std::strtol(digits.c_str(), nullptr, 10);
    if (count > INT_MAX) count = INT_MAX;
    if (count < INT_MIN) count = INT_MIN;
    pHeader->bDataType = static_cast<char>(kind);
    pHeader->cbData = static_cast<unsigned>(static_cast<int>(count));
    return 0;
}

unsigned CRegistry::ReadData(const ValueHeaderType& header, unsigned count, unsigned char* pDest)
{
    for (unsigned i = 0; i < count; ++i) {
        int first = 0, second = 0;
        if (unsigned status = Read(&first)) return status;
        if (header.bDataType == 'b') {
            if (unsigned status = Read(&second)) return status;
            pDest[i] = EncodeByte(static_cast<char>(second), static_cast<char>(first));
        } else {
            pDest[i] = static_cast<unsigned char>(first);
        }
    }
    return 0;
}

unsigned CRegistry::ReadValue(long pos, void* pBuf, unsigned cbBuf)
{
    if (hfReg == nullptr) return ERR_REG_KEY_NOT_FOUND;
    ValueHeaderType header{};
    unsigned status = Seek(pos);
    if (status == 0) status = ReadValueHeader(&header);
    unsigned count = header.cbData < cbBuf ? header.cbData : cbBuf;
    // Decoded aside first: a damaged value leaves the caller's buffer untouched.
    std::vector<unsigned char> data(status == 0 ? count : 0);
    if (status == 0) status = ReadData(header, count, data.data());
    if (status != ERR_REG_END_OF_FILE && std::ferror(hfReg) == 0) SkipOverLine();
    if (status != 0) return status;
    if (count > 0) std::memcpy(pBuf, data.data(), count);
    if (count < cbBuf) static_cast<unsigned char*>(pBuf)[count] = 0;
    return 0;
}

unsigned CRegistry::LocateEOF(long* pPos)
{
    *pPos = 0;
    if (hfReg == nullptr) return 0;
    errno = 0;
    if (std::fseek(hfReg, 0, SEEK_END) != 0) return failure();
    long end = std::ftell(hfReg);
    if (end < 0) return failure();
    *pPos = end;
    return 0;
}

unsigned CRegistry::CopyData(FILE* hfDest, long start, long count)
{
    if (hfReg == nullptr || count <= 0) return 0;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyChunk]);
    if (!buffer) return ERR_RESOURCE_UNAVAILABLE;
    if (unsigned status = Seek(start)) return status;
    while (count > 0) {
        size_t chunk = count < static_cast<long>(kCopyChunk) ? static_cast<size_t>(count) : kCopyChunk;
        errno = 0;
        size_t got = std::fread(buffer.get(), 1, chunk, hfReg);
        if (got != chunk) return std::ferror(hfReg) ? failure() : ERR_REG_END_OF_FILE;
        errno = 0;
        if (std::fwrite(buffer.get(), 1, chunk, hfDest) != chunk) return failure();
        count -= static_cast<long>(chunk);
    }
    return 0;
}

unsigned CRegistry::WriteValue(sdType sd)
{
    bool binary = DataIsBinary(sd.pb, sd.cb);
    unsigned count = (!binary && sd.pb[sd.cb - 1] == 0) ? sd.cb - 1 : sd.cb;
    std::string field = std::string(1, binary ? 'b' : 'c') + "(" + std::to_string(count) + ")";
    for (unsigned i = 0; i < count; ++i) {
        if (binary) {
            field.push_back(DecodeNibble(sd.pb[i] >> 4));
            field.push_back(DecodeNibble(sd.pb[i]));
        } else {
            field.push_back(static_cast<char>(sd.pb[i]));
        }
    }
    if (unsigned status = WriteText(field)) return status;
    errno = 0;
    return std::fflush(hfTemp) == 0 ? 0 : failure();
}

unsigned CRegistry::ReplaceValue(long pos, sdType sd)
{
    long end = 0;
    ValueHeaderType header{};
    unsigned status = LocateEOF(&end);
    if (status == 0) status = CopyData(hfTemp, 0, pos);
    if (status == 0) status = WriteValue(sd);
    if (status == 0) status = Seek(pos);
    if (status == 0) status = ReadValueHeader(&header);
    if (status != 0) return status;
    long long dataLength = static_cast<long long>(header.cbData) * (header.bDataType == 'b' ? 2 : 1);
    long rest = std::ftell(hfReg);
    if (rest < 0) return failure();
    if (rest + dataLength > end) return ERR_REG_END_OF_FILE;
    rest += static_cast<long>(dataLength);
    return CopyData(hfTemp, rest, end - rest);
}

unsigned CRegistry::AddValue(long pos, const char* pszName, sdType sd)
{
    long end = 0;
    unsigned status = LocateEOF(&end);
    if (status == 0) status = CopyData(hfTemp, 0, pos);
    // Behind an unterminated last line the value would become part of that line.
    int last = '\n';
    if (status == 0 && pos > 0 && (status = Seek(pos - 1)) == 0) status = Read(&last);
    if (status == 0 && last != '\n') status = WriteText("\r\n");
    if (status == 0) status = WriteText(std::string(pszName) + "=");
    if (status == 0) status = WriteValue(sd);
    if (status == 0) status = WriteText("\r\n");
    if (status == 0) status = CopyData(hfTemp, pos, end - pos);
    return status;
}

unsigned CRegistry::AddKeyValue(const char* pszKey, const char* pszName, sdType sd)
{
    long end = 0;
    unsigned status = LocateEOF(&end);
    if (status == 0) status = CopyData(hfTemp, 0, end);
    if (status == 0) status = WriteText("\r\n[" + std::string(pszKey) + "]\r\n" + pszName + "=");
    if (status == 0) status = WriteValue(sd);
    if (status == 0) status = WriteText("\r\n");
    return status;
}

// The new contents become visible by one rename: a reader sees the old or the new file, never
// none. The backup is a second name of the old file, made before the rename.
unsigned CRegistry::ReplaceRegistry(int fLeaveOpen)
{
    if (hfTemp == nullptr) return ERR_BAD_ARGUMENT;
    unsigned previousAccess = access;
    unsigned status = 0;
    errno = 0;
    if (std::fflush(hfTemp) != 0 || fsync(fileno(hfTemp)) != 0) status = failure();
    errno = 0;
    if (std::fclose(hfTemp) != 0 && status == 0) status = failure();
    hfTemp = nullptr;
    if (status == 0) {
        Close(1);
        status = static_cast<unsigned>(
            qv::commitTempFile(szTempName, szSpec, CreateBackupName(".BAK", false)));
    }
    if (status != 0) {
        CloseTemp();
        return status;
    }
    szTempName.clear();
    return fLeaveOpen ? Open(previousAccess) : 0;
}

std::string CRegistry::CreateBackupName(const char* pszSuffix, bool fNoRoot) const
{
    size_t slash = szSpec.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = fNoRoot ? szSpec.substr(nameStart) : szSpec;
    size_t lastStart = fNoRoot ? 0 : nameStart;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > lastStart) name.erase(dot);
    return name + pszSuffix;
}

unsigned GetRegData(const char* pszFullKey, void* pData, unsigned sDataMax)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&] {
        char szKey[REG_KEY_BUFFER];
        const char* pszValueName = nullptr;
        if (pData == nullptr && sDataMax > 0) return ERR_BAD_ARGUMENT;
        if (unsigned status = ParseRegKey(pszFullKey, szKey, &pszValueName)) return status;
        CRegistry registry(nullptr);
        long keyPos = 0, valuePos = 0;
        unsigned status = registry.Open(CRegistry::ACCESS_READ);
        if (status == 0) status = registry.LocateKey(szKey, &keyPos);
        if (status == 0) status = registry.LocateValue(keyPos, pszValueName, &valuePos);
        if (status == 0) status = registry.ReadValue(valuePos, pData, sDataMax);
        registry.Close(0);
        return status;
    });
}

unsigned SetRegData(const char* pszFullKey, const void* pData, unsigned long sData)
{
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&] {
        char szKey[REG_KEY_BUFFER];
        const char* pszValueName = nullptr;
        if ((pData == nullptr && sData > 0) || sData > UINT_MAX) return ERR_BAD_ARGUMENT;
        if (unsigned status = ParseRegKey(pszFullKey, szKey, &pszValueName)) return status;
        // A name that cannot stay on its own line, or a value line that starts like a section
        // header, would write lines that readers take for other sections or values.
        if (std::strpbrk(szKey, "]\r\n") != nullptr || std::strpbrk(pszValueName, "=\r\n") != nullptr ||
            pszValueName[0] == '[')
            return ERR_BAD_ARGUMENT;
        // The writers only read the block.
        sdType sd{const_cast<uint8_t*>(static_cast<const uint8_t*>(pData)), static_cast<uint32_t>(sData)};
        CRegistry registry(nullptr);
        unsigned status = registry.Open(CRegistry::ACCESS_WRITE);
        if (status == 0) status = registry.OpenTemp();
        if (status != 0) return status;
        long keyPos = 0, valuePos = 0;
        status = registry.LocateKey(szKey, &keyPos);
        if (status == ERR_REG_KEY_NOT_FOUND) {
            status = registry.AddKeyValue(szKey, pszValueName, sd);
        } else if (status == 0) {
            status = registry.LocateValue(keyPos, pszValueName, &valuePos);
            if (status == ERR_REG_KEY_NOT_FOUND || status == ERR_REG_VALUE_NOT_FOUND)
                status = registry.AddValue(keyPos, pszValueName, sd);
            else if (status == 0)
                status = registry.ReplaceValue(valuePos, sd);
        }
        if (status == 0) status = registry.ReplaceRegistry(0);
        registry.Close(0);
        return status;
    });
}
