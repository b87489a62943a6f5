#include "profile.h"

#include "atomic_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* skipSpace(const char* p)
{
    while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
    return p;
}

// The whole file as text; false when it cannot be opened or read.
bool readWholeFile(const char* path, std::string& text)
{
    std::optional<std::string> contents = qv::readFileContents(path);
    if (!contents) return false;
    text = std::move(*contents);
    return true;
}

// Where the entry search stopped: at the entry's line, or at the insertion point for a new one.
struct EntrySearch {
    const char* entryLine = nullptr;
    const char* stop = nullptr;
};

EntrySearch searchEntry(const char* afterSectionLine, const char* entry)
{
    EntrySearch result;
    const std::string key = std::string(entry) + "=";
    const char* p = skipSpace(afterSectionLine);
    while (*p != '\0' && *p != '[') {
        if (std::strncmp(p, key.c_str(), key.size()) == 0) {
            result.entryLine = p;
            return result;
        }
        const char* eol = std::strchr(p, '\n');
        if (eol == nullptr) {
            p += std::strlen(p);
            break;
        }
        p = skipSpace(eol);
    }
    result.stop = p;
    return result;
}

// The value of an entry line: after "=", to the line end; one pair of quotes removed.
std::string entryValue(const char* line, size_t keyLength)
{
    const char* v = line + keyLength + 1;
    const char* end = std::strchr(v, '\n');
    std::string value(v, end != nullptr ? static_cast<size_t>(end - v) : std::strlen(v));
    if (!value.empty() && value.front() == '"') {
        value.erase(0, 1);
        if (!value.empty() && value.back() == '"') value.pop_back();
    }
    return value;
}

// The '\n' ending the section's header line, or NULL (also for a header that ends the file).
const char* sectionLineEnd(const char* text, const char* section)
{
    const char* header = FindSectionHeader(text, section);
    return header != nullptr ? std::strchr(header, '\n') : nullptr;
}

} // namespace

long filelength(int handle)
{
    struct stat st{};
    if (fstat(handle, &st) != 0) return -1;
    return static_cast<long>(st.st_size);
}

char* MYstrncpy(char* szDst, const char* szSrc, int cbDst)
{
    if (szDst == nullptr || cbDst <= 0) return szDst;
    if (szSrc == nullptr) szSrc = "";
    size_t n = std::strlen(szSrc);
    if (n > static_cast<size_t>(cbDst - 1)) n = static_cast<size_t>(cbDst - 1);
    std::memcpy(szDst, szSrc, n);
    szDst[n] = '\0';
    return szDst;
}

const char* FindSectionHeader(const char* lpszBuffer, const char* lpszSection)
{
    if (lpszBuffer == nullptr || lpszSection == nullptr) return nullptr;
    if (std::strlen(lpszBuffer) < std::strlen(lpszSection)) return nullptr;
    const std::string needle = "[" + std::string(lpszSection) + "]";
    const char* from = lpszBuffer;
    while (const char* hit = std::strstr(from, needle.c_str())) {
        bool ok = true;
        for (const char* q = hit; q > lpszBuffer && q[-1] != '\n'; --q)
            if (!std::isspace(static_cast<unsigned char>(q[-1]))) ok = false;
        for (const char* q = hit + needle.size(); ok && *q != '\0' && *q != '\n' && *q != ';'; ++q)
            if (!std::isspace(static_cast<unsigned char>(*q))) ok = false;
        if (ok) return hit;
        const char* eol = std::strchr(hit, '\n');
        if (eol == nullptr) return nullptr;
        from = eol + 1;
    }
    return nullptr;
}

const char* GetEntryKeyString(const char* lpszBuffer, const char* lpszEntry,
                              char* lpszReturnBuffer, int cbReturnBuffer)
{
    if (lpszBuffer == nullptr || lpszEntry == nullptr) return nullptr;
    const EntrySearch found = searchEntry(lpszBuffer, lpszEntry);
    if (found.entryLine == nullptr) return nullptr;
    const std::string value = entryValue(found.entryLine, std::strlen(lpszEntry));
    if (!value.empty() && cbReturnBuffer > 1)
        MYstrncpy(lpszReturnBuffer, value.c_str(), cbReturnBuffer);
    return found.entryLine;
}

int GetPrivateProfileString(const char* lpszSection, const char* lpszEntry,
                            const char* lpszDefault, char* lpszReturnBuffer, int cbReturnBuffer,
                            const char* lpszFilename)
{
    if (lpszReturnBuffer == nullptr || cbReturnBuffer <= 0) return 0;
    MYstrncpy(lpszReturnBuffer, lpszDefault, cbReturnBuffer);
    std::string text;
    if (lpszFilename == nullptr || !readWholeFile(lpszFilename, text)) return 0;
    const char* lineEnd = sectionLineEnd(text.c_str(), lpszSection);
    if (lineEnd != nullptr)
        GetEntryKeyString(lineEnd, lpszEntry, lpszReturnBuffer, cbReturnBuffer);
    return static_cast<int>(std::strlen(lpszReturnBuffer));
}

int GetPrivateProfileInt(const char* lpszSection, const char* lpszEntry, int iDefault,
                         const char* lpszFilename)
{
    char buffer[25];
    GetPrivateProfileString(lpszSection, lpszEntry, "", buffer, sizeof buffer, lpszFilename);
    if (buffer[0] == '\0') return iDefault;
    return static_cast<int>(std::strtol(buffer, nullptr, 10));
}

namespace {

// Sets `entry`=`value` in the section of an INI text, as WritePrivateProfileString describes.
void setEntryInText(std::string& text, const char* section, const char* entry, const char* value)
{
    const std::string line = std::string(entry) + "=" + value;
    // A file whose last line lacks '\n' gets one, so nothing new is glued onto that line.
    auto onNewLine = [](const std::string& s, size_t at) {
        return (at > 0 && s[at - 1] != '\n') ? std::string("\n") : std::string();
    };

    if (const char* header = FindSectionHeader(text.c_str(), section);
        header != nullptr && std::strchr(header, '\n') == nullptr)
        text += '\n';   // a header that ends the file still owns the entries written after it

    const char* base = text.c_str();
    const char* lineEnd = text.empty() ? nullptr : sectionLineEnd(base, section);
    if (lineEnd != nullptr) {
        const EntrySearch found = searchEntry(lineEnd, entry);
        if (found.entryLine != nullptr) {
            const size_t start = static_cast<size_t>(found.entryLine - base);
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            // A "\r\n" line end stays; a lone '\r' belongs to the old value, as readers see it.
            else if (end > start && text[end - 1] == '\r') --end;
            text.replace(start, end - start, line);
        } else {
            const size_t at = static_cast<size_t>(found.stop - base);
            text.insert(at, onNewLine(text, at) + line + "\n");
        }
    } else {
        text += onNewLine(text, text.size()) + "[" + section + "]\n" + line + "\n";
    }
}

} // namespace

int WritePrivateProfileEntries(const char* lpszSection, const std::vector<ProfileEntry>& entries,
                               const char* lpszFilename)
{
    if (lpszSection == nullptr || lpszFilename == nullptr) return 0;
    std::string text;
    const bool existed = readWholeFile(lpszFilename, text);
    if (!existed) {
        if (errno != ENOENT) return 0;
        text.clear();
    }
    const std::string changed = ProfileTextWithEntries(text, lpszSection, entries);
    // Readers rewrite settings they just read: a file that would not change is left alone.
    if (existed && changed == text) return 1;
    return qv::replaceFileContents(lpszFilename, changed) == 0 ? 1 : 0;
}

std::string ProfileTextWithEntries(std::string text, const char* lpszSection,
                                   const std::vector<ProfileEntry>& entries)
{
    // Readers stop at a NUL byte (what a power loss can leave in a file): anything written after
    // it would never be read back, so the rewrite keeps only the text readers see.
    if (const size_t nul = text.find('\0'); nul != std::string::npos) text.erase(nul);
    for (const auto& [entry, value] : entries) setEntryInText(text, lpszSection, entry.c_str(), value.c_str());
    return text;
}

int ReplacePrivateProfile(const char* lpszSection, const std::vector<ProfileEntry>& entries,
                          const char* lpszFilename)
{
    if (lpszSection == nullptr || lpszFilename == nullptr) return 0;
    return qv::replaceFileContents(lpszFilename, ProfileTextWithEntries({}, lpszSection, entries)) == 0 ? 1 : 0;
}

int WritePrivateProfileString(const char* lpszSection, const char* lpszEntry,
                              const char* lpszString, const char* lpszFilename)
{
    if (lpszEntry == nullptr || lpszString == nullptr) return 0;
    return WritePrivateProfileEntries(lpszSection, {{lpszEntry, lpszString}}, lpszFilename);
}
