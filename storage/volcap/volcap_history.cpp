#include "volcap_files.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "number_words.h"
#include "profile.h"
#include "snmp_log.h"

namespace {

constexpr char kSectionLastEntry[] = "HistLastEntry";
constexpr char kSectionOverflow[] = "HistOverflow";

int readNumberKey(const char* volume, const std::string& file, const char* key,
                  const char* defaultText)
{
    char text[80];
    GetPrivateProfileString(volume, key, defaultText, text, sizeof text, file.c_str());
    const long value = std::strtol(text, nullptr, 10);
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

} // namespace

int GetHistStatus(const char* volume, int* nLastEntry, int* nOverflowEntry, int* nTotal)
{
    const std::string file = HistFilename(volume);
    int last = -1;
    int overflow = 0;
    if (nLastEntry != nullptr || nTotal != nullptr)
        last = readNumberKey(volume, file, kSectionLastEntry, "-1");
    if (nOverflowEntry != nullptr || nTotal != nullptr)
        overflow = readNumberKey(volume, file, kSectionOverflow, "0");
    if (nLastEntry != nullptr) *nLastEntry = last;
    if (nOverflowEntry != nullptr) *nOverflowEntry = overflow;
    if (nTotal != nullptr) {
        // A damaged status line must not announce more rows than there are slots.
        const long long total = overflow ? kHistSlots : static_cast<long long>(last) + 1;
        *nTotal = total < 0 ? 0 : total > kHistSlots ? kHistSlots : static_cast<int>(total);
    }
    return 0;
}

int WriteHistStatus(const char* volume, int nLastEntry, int nOverflowEntry)
{
    const std::string file = HistFilename(volume);
    char last[16];
    char overflow[16];
    std::snprintf(last, sizeof last, "%d", nLastEntry);
    std::snprintf(overflow, sizeof overflow, "%d", nOverflowEntry);
    if (WritePrivateProfileString(volume, kSectionLastEntry, last, file.c_str()) != 1 ||
        WritePrivateProfileString(volume, kSectionOverflow, overflow, file.c_str()) != 1) {
        log(LOG_WARNING, "WriteHistStatus() - write error on file %s\n", file.c_str());
        return 1;
    }
    return 0;
}

int WriteHistSample(const char* volume, int slot, const drvSample* sample)
{
    const std::string file = HistFilename(volume);
    char key[16];
    char value[80];
    std::snprintf(key, sizeof key, "%d", slot);
    std::snprintf(value, sizeof value, "%ld %d %d", static_cast<long>(sample->ltime),
                  sample->nCapacityTotal, sample->nCapacityFree);
    if (WritePrivateProfileString(volume, key, value, file.c_str()) != 1) {
        log(LOG_WARNING, "WriteSample() - write error on file %s\n", file.c_str());
        return 1;
    }
    return 0;
}

int AppendHistSample(const char* volume, const drvSample* sample)
{
    int last = -1;
    int overflow = 0;
    GetHistStatus(volume, &last, &overflow, nullptr);
    // A status naming no slot (a damaged file) starts the history again, as a missing one does.
    if (last < -1 || last >= kHistSlots) {
        last = -1;
        overflow = 0;
    }
    int slot = 0;
    if (last >= 0 || overflow != 0) {
        slot = last + 1;
        if (slot >= kHistSlots) {
            slot = 0;
            overflow = 1;
        }
    }
    // The sample first: a crash between the two writes then leaves the status pointing at the
    // previous, complete sample.
    if (WriteHistSample(volume, slot, sample) != 0) return 1;
    return WriteHistStatus(volume, slot, overflow);
}

bool ParseHistSample(const char* text, drvSample* sample)
{
    long long ltime = 0;
    long long total = 0;
    long long free = 0;
    if (!volcap::nextNumber(text, LONG_MIN, LONG_MAX, ltime) ||
        !volcap::nextNumber(text, INT_MIN, INT_MAX, total) ||
        !volcap::nextNumber(text, INT_MIN, INT_MAX, free))
        return false;
    sample->ltime = static_cast<time_t>(ltime);
    sample->nCapacityTotal = static_cast<int>(total);
    sample->nCapacityFree = static_cast<int>(free);
    return true;
}

int ReadHistSample(const char* volume, int index, drvSample* sample)
{
    int last = -1;
    int overflow = 0;
    GetHistStatus(volume, &last, &overflow, nullptr);
    long long slot = 0;
    if (last >= index) {
        slot = static_cast<long long>(last) - index;
    } else if (overflow != 0) {
        slot = static_cast<long long>(last) + kHistSlots - index;
    } else {
        log(LOG_WARNING, "ReadHistSample() - invalid history index (%d) for drive %s\n", index,
            volume);
        return 1;
    }
    const std::string file = HistFilename(volume);
    char key[24];
    char text[80];
    std::snprintf(key, sizeof key, "%lld", slot);
    GetPrivateProfileString(volume, key, "-1", text, sizeof text, file.c_str());
    drvSample read{};
    if (!ParseHistSample(text, &read)) {
        log(LOG_WARNING, "ReadHistFromFile() - read error on file %s\n", file.c_str());
        return 1;
    }
    if (read.ltime < 0 || read.nCapacityTotal < 0 || read.nCapacityFree < 0) {
        log(LOG_WARNING, "ReadHistFromFile() - invalid hist sample values\n");
        return 1;
    }
    sample->ltime = read.ltime;
    sample->nCapacityTotal = read.nCapacityTotal;
    sample->nCapacityFree = read.nCapacityFree;
    return 0;
}
