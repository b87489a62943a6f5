// The INI functions over arbitrary file contents. Input: return-buffer size byte, section,
// NUL, entry, NUL, new value, NUL, then the file.
#include "fuzz_root.h"
#include "profile.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool plainWord(const std::string& word)
{
    if (word.empty() || word.size() > 200) return false;
    for (char c : word)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::InputCursor in(data, size);
    const int bufferSize = in.u8();
    const std::string section(in.until('\0'));
    const std::string entry(in.until('\0'));
    const std::string newValue(in.until('\0'));
    const std::string contents(in.rest());
    const std::string file = qv::fuzz::privateRoot() + "/etc/fuzz.ini";
    qv::fuzz::writeRootFile("/etc/fuzz.ini", contents.data(), contents.size());

    // Exactly sized heap buffers, so one byte too many is caught.
    std::vector<char> buffer(size_t(bufferSize ? bufferSize : 1));
    const int n = GetPrivateProfileString(section.c_str(), entry.c_str(), "dflt", buffer.data(),
                                          bufferSize, file.c_str());
    if (bufferSize > 0 && (n < 0 || n >= bufferSize || std::strlen(buffer.data()) != size_t(n)))
        std::abort();
    (void)GetPrivateProfileInt(section.c_str(), entry.c_str(), -7, file.c_str());

    // The in-memory helpers on the text itself.
    const std::string& text = contents;
    if (const char* header = FindSectionHeader(text.c_str(), section.c_str())) {
        if (const char* lineEnd = std::strchr(header, '\n'))
            (void)GetEntryKeyString(lineEnd, entry.c_str(), buffer.data(), bufferSize);
    }

    // Whatever the file held, NUL bytes included, a plain value written to it reads back.
    if (WritePrivateProfileString(section.c_str(), entry.c_str(), newValue.c_str(), file.c_str()) &&
        plainWord(section) && plainWord(entry) && plainWord(newValue)) {
        char back[256];
        GetPrivateProfileString(section.c_str(), entry.c_str(), "", back, sizeof back, file.c_str());
        // Readers keep the '\r' of a "\r\n" line end.
        if (newValue != back && newValue + "\r" != back) std::abort();
    }
    return 0;
}
