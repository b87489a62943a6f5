#include "software_cache.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "atomic_file.h"
#include "profile.h"
#include "registry.h"
#include "sandbox_path.h"
#include "snmp_log.h"
#include "sw_files.h"
#include "swa_list.h"
#include "tokenizer.h"

namespace {

constexpr char kSnmpdConf[] = "/etc/snmp/snmpd.conf";
constexpr char kDaemonDir[] = "/usr/qvserver/bin/";

// The program path a process was started with: cmdline up to its first NUL, first word.
std::string processProgram(const std::string& procEntry)
{
    std::ifstream in(procEntry + "/cmdline", std::ios::binary);
    if (!in) return {};
    std::string arg0;
    std::getline(in, arg0, '\0');
    const size_t end = arg0.find_first_of(" \t\n\r\f\v");
    return end == std::string::npos ? arg0 : arg0.substr(0, end);
}

} // namespace

std::string formatCacheEntry(const CacheEntry& entry)
{
    char date[64];
    const Date& d = entry.cacheFileDate;
    std::snprintf(date, sizeof date, "%d %d %d %d %d %d", d.dateYear, d.dateMon, d.dateDay,
                  d.dateHour, d.dateMin, d.dateSec);
    return entry.cacheFileName + ";" + entry.cacheFileSize + ";" + date + ";" +
           std::to_string(entry.cacheSWState) + ";" + std::to_string(entry.cacheSWType) + ";" +
           entry.cacheSWVersion + ";" + entry.cacheSWDescription + ";";
}

SoftwareCache::SoftwareCache(Clock clockFunction) : clock(clockFunction)
{
    if (needCache() && updateCache()) saveToFile();
}

bool SoftwareCache::needCache()
{
    struct stat status {};
    if (::stat(qv::sandboxPath(swfiles::kCacheFile).c_str(), &status) != 0) return true;
    return clock() - status.st_mtime > kMaxAgeSeconds;
}

bool SoftwareCache::updateCache()
{
    cacheData.clear();
    // snmpd.conf is read in-process: no shell, no scratch file another user could plant.
    const std::optional<std::string> conf = swfiles::readFixedFile(kSnmpdConf);
    if (!conf) {
        log(LOG_INFO, "system(AGENT_CMD AGENT_FILE) error");
        return false;
    }
    swaList = swfiles::readFixedFile(swfiles::kListFile).value_or("");

    swfiles::forEachLineWords(*conf, [&](const std::vector<std::string>& words,
                                         const std::string& line) {
        if (words.empty()) return;
        StringTokenizer parts(line, "/ \n\r\t");
        if (parts.getTokenCount() == 0 || parts.getToken(0) != "pass") return;
        // The last word that is not empty: a line ending in a blank or '\r' still names its program.
        std::string name;
        for (unsigned i = parts.getTokenCount(); i-- > 0 && name.empty();) name = parts.getToken(i);
        if (isListed(name) && !inList(name)) addEntry(name, words.back(), SW_TYPE_AGENT, "Agent");
    });

    for (const std::string& line : swfiles::swaDaemonLines(swaList)) {
        swfiles::forEachLineWords(line, [&](const std::vector<std::string>& words,
                                            const std::string&) {
            if (!words.empty() && isListed(words[0]))
                addEntry(words[0], kDaemonDir + words[0], SW_TYPE_DAEMON, "Daemon");
        });
    }
    return true;
}

void SoftwareCache::addEntry(const std::string& name, const std::string& path, SoftwareType type,
                             const char* description)
{
    CacheEntry entry;
    entry.cacheFileName = name;
    entry.cacheFullFileName = path;
    entry.cacheSWType = type;
    entry.cacheSWDescription = description;
    getFileSize(entry);
    getSWState(entry);
    getSWVersion(entry);
    getSWDate(entry);
    cacheData.push_back(entry);
}

bool SoftwareCache::saveToFile()
{
    // The old cache with the new entries set (its keys beyond "total" stay), renamed into place
    // as a whole: agents rebuilding at the same moment never mix their entries. Written even
    // when nothing changed: the file's age says when the cache was built.
    std::vector<ProfileEntry> entries;
    entries.emplace_back("total", std::to_string(getCacheEntryCount()));
    for (unsigned i = 0; i < cacheData.size(); ++i)
        entries.emplace_back(std::to_string(i), formatCacheEntry(cacheData[i]));
    const std::string old = swfiles::readFixedFile(swfiles::kCacheFile).value_or("");
    return qv::replaceFileContents(qv::sandboxPath(swfiles::kCacheFile),
                                   ProfileTextWithEntries(old, "Software", entries), 0644) == 0;
}

bool SoftwareCache::getFileSize(CacheEntry& entry)
{
    struct stat status {};
    if (::stat(qv::sandboxPath(entry.cacheFullFileName).c_str(), &status) != 0) {
        entry.cacheFileSize = "0";
        return false;
    }
    entry.cacheFileSize = std::to_string(static_cast<long>(status.st_size));
    return true;
}

bool SoftwareCache::getSWDate(CacheEntry& entry)
{
    entry.cacheFileDate = Date{};
    struct stat status {};
    if (::stat(qv::sandboxPath(entry.cacheFullFileName).c_str(), &status) != 0) return false;
    struct tm local {};
    if (::localtime_r(&status.st_mtime, &local) == nullptr) return false;
    entry.cacheFileDate = Date{static_cast<unsigned char>(local.tm_year),
                               static_cast<unsigned char>(local.tm_mon + 1),
                               static_cast<unsigned char>(local.tm_mday),
                               static_cast<unsigned char>(local.tm_hour),
                               static_cast<unsigned char>(local.tm_min),
                               static_cast<unsigned char>(local.tm_sec)};
    return true;
}

bool SoftwareCache::getSWVersion(CacheEntry& entry)
{
    char version[16] = {};
    GetRegData(swfiles::kVersionRegKey, version, sizeof version);
    // A 16-character value fills the buffer without a terminator.
    entry.cacheSWVersion.assign(version, strnlen(version, sizeof version));
    return true;
}

bool SoftwareCache::getSWState(CacheEntry& entry)
{
    entry.cacheSWState = SW_STATE_UNKNOWN;
    if (entry.cacheSWType == SW_TYPE_AGENT) {
        entry.cacheSWState = SW_STATE_RUNNING;
        return true;
    }
    if (entry.cacheSWType != SW_TYPE_DAEMON) return false;
    const std::string proc = qv::sandboxPath("/proc");
    DIR* dir = ::opendir(proc.c_str());
    if (dir == nullptr) return false;
    entry.cacheSWState = SW_STATE_STOPPED;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = proc + "/" + name;
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) continue;
        if (processProgram(path) == entry.cacheFullFileName) {
            entry.cacheSWState = SW_STATE_RUNNING;
            break;
        }
    }
    ::closedir(dir);
    return true;
}

bool SoftwareCache::isListed(const std::string& name) { return swfiles::swaListsProgram(swaList, name); }

bool SoftwareCache::inList(const std::string& name)
{
    for (const CacheEntry& entry : cacheData)
        if (entry.cacheFileName == name) return true;
    return false;
}
