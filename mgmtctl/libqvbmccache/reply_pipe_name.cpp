#include "ipmipipe_protocol.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr char kDigits36[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr long kDecimalLimit = 100000;
constexpr long kBase36Word = 36L * 36 * 36 * 36;   // four base-36 digits
constexpr size_t kSuffixLength = 5;

bool isSuffixChar(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); }
} // namespace

std::string replyPipeName(pid_t pid)
{
    if (pid < 0)
        return {};
    char suffix[kSuffixLength + 1] = {};
    if (pid < kDecimalLimit) {
        std::snprintf(suffix, sizeof suffix, "%05d", static_cast<int>(pid));
    } else {
        long lead = pid / kBase36Word;
        if (lead >= 26)
            return {};
        long rest = pid % kBase36Word;
        suffix[0] = static_cast<char>('a' + lead);
        for (size_t i = kSuffixLength - 1; i >= 1; --i, rest /= 36)
            suffix[i] = kDigits36[rest % 36];
    }
    return std::string(kIpmiReplyPipePrefix) + suffix;
}

bool isReplyPipeName(const char* name, size_t field)
{
    const size_t prefix = sizeof kIpmiReplyPipePrefix - 1;
    const size_t length = strnlen(name, field);
    if (length != prefix + kSuffixLength || std::strncmp(name, kIpmiReplyPipePrefix, prefix) != 0)
        return false;
    for (size_t i = prefix; i < length; ++i)
        if (!isSuffixChar(name[i]))
            return false;
    return true;
}
