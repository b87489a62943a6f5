// The library's settings file and the consumers' cursor files: INI files of one section.
#include "eventlog_internal.h"

#include "atomic_file.h"
#include "profile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace qv::eventlog {

namespace {
// The value of a key as a decimal number; nothing, or anything but a number, is absent.
std::optional<long long> readNumber(const std::string& file, const char* key)
{
    char text[32];
    GetPrivateProfileString(kSettingsSection, key, "", text, sizeof text, file.c_str());
    if (text[0] == '\0') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
    if (errno != 0 || end == text || *end != '\0') return std::nullopt;
    return value;
}
} // namespace

uint32_t readEraseTimeSetting(const std::string& file, uint32_t fallback)
{
    const auto value = readNumber(file, kLastEraseTimeKey);
    // Older writers stored the raw 32-bit value as a signed number.
    if (!value || *value < INT32_MIN || *value > UINT32_MAX) return fallback;
    return static_cast<uint32_t>(*value);
}

int readRecordIdSetting(const std::string& file, int fallback)
{
    const auto value = readNumber(file, kLastReadEventKey);
    if (!value || *value < kUnknownRecord || *value > QVEL_NO_RECORD) return fallback;
    return static_cast<int>(*value);
}

bool writeRecordIdSetting(const std::string& file, int recordId)
{
    return WritePrivateProfileString(kSettingsSection, kLastReadEventKey,
                                     std::to_string(recordId).c_str(), file.c_str()) == 1;
}

bool writeEraseTimeSetting(const std::string& file, uint32_t eraseTime)
{
    return WritePrivateProfileString(kSettingsSection, kLastEraseTimeKey,
                                     std::to_string(eraseTime).c_str(), file.c_str()) == 1;
}

bool writeCursorSettings(const std::string& file, uint32_t eraseTime, int recordId, bool whole)
{
    const std::vector<ProfileEntry> entries{{kLastEraseTimeKey, std::to_string(eraseTime)},
                                            {kLastReadEventKey, std::to_string(recordId)}};
    const auto write = whole ? ReplacePrivateProfile : WritePrivateProfileEntries;
    return write(kSettingsSection, entries, file.c_str()) == 1;
}

bool settingsFileDamaged(const std::string& file)
{
    const std::string text = qv::readFileContents(file).value_or("");
    if (text.empty()) return false;
    // Only the library writes these files, and it writes text lines: any other control byte is
    // damage, and so is a file without the section, which readers would take for defaults.
    const bool controlByte = std::any_of(text.begin(), text.end(), [](char c) {
        return std::iscntrl(static_cast<unsigned char>(c)) && c != '\n' && c != '\r' && c != '\t';
    });
    return controlByte || FindSectionHeader(text.c_str(), kSettingsSection) == nullptr;
}

} // namespace qv::eventlog
