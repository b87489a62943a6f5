#include "bios_versions.h"

#include <cstdlib>
#include <cstring>

#include "sysapi.h"

namespace {

char* copyBiosText(CString (*query)(), char* buf, int len)
{
    if (buf == nullptr) return nullptr;
    try {
        const CString text = query();
        const size_t length = static_cast<size_t>(text.GetLength());
        // The terminator needs a byte too: a text of exactly `len` characters must grow the buffer.
        if (len < 0 || length >= static_cast<size_t>(len)) {
            char* grown = static_cast<char*>(std::realloc(buf, length + 1));
            if (grown == nullptr) return nullptr;
            buf = grown;
        }
        std::memcpy(buf, static_cast<const char*>(text), length);
        buf[length] = '\0';
        return Trim(buf);
    } catch (const SYSAPI_DmiBiosNotFound&) {
        return nullptr;
    }
}

} // namespace

char* Trim(char* text)
{
    if (text == nullptr) return nullptr;
    size_t end = std::strlen(text);
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    text[end] = '\0';
    return text;
}

char* DLL_GetSystemBIOSVersion(char* buf, int len) { return copyBiosText(SYSAPI_GetSystemBIOSVersion, buf, len); }
char* DLL_GetVideoBIOSVersion(char* buf, int len) { return copyBiosText(SYSAPI_GetVideoBIOSVersion, buf, len); }
char* DLL_GetSCSIBIOSVersion(char* buf, int len) { return copyBiosText(SYSAPI_GetSCSIBIOSVersion, buf, len); }
