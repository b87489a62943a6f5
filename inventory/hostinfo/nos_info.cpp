#include "nos_info.h"

#include <string>
#include <unistd.h>

#include "sandbox_path.h"
#include "tokenizer.h"

CString LinuxNosInfo::getSystemName()
{
    char name[64] = {};
    if (gethostname(name, sizeof name - 1) != 0) name[0] = 0;
    name[sizeof name - 1] = 0;
    return CString(name);
}

CString LinuxNosInfo::getOperatingSystemName() { return CString("Linux"); }

CString LinuxNosInfo::getOperatingSystemVersion()
{
    std::string joined;
    try {
        FileTokenizer file(qv::sandboxPath("/proc/version"), " \n\f\t\r");
        for (unsigned line = 0; line < file.getLinesCount(); ++line) {
            StringTokenizer& words = file.getLine(line);
            for (unsigned w = 0; w < words.getTokenCount(); ++w)
                if (!words.getToken(w).empty()) joined += words.getToken(w) + " ";
        }
    } catch (const TokenizerError&) {
        // Only the library's declared exceptions may reach its callers.
        return CString();
    }
    constexpr std::size_t kMaxLength = 255;
    if (joined.size() > kMaxLength) joined.resize(kMaxLength);
    return CString(joined.c_str());
}
