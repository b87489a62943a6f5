// The managed software cache of the version agent: the agents snmpd runs through pass lines
// and the daemons qvswa.cfg names, with size, date, state and version, kept in
// qvrevagent.cache and rebuilt when older than 30 seconds.
#pragma once

#include <ctime>
#include <string>
#include <vector>

struct Date {
    unsigned char dateYear;   // years since 1900
    unsigned char dateMon;    // 1 to 12
    unsigned char dateDay;
    unsigned char dateHour;
    unsigned char dateMin;
    unsigned char dateSec;
};

enum SoftwareState { SW_STATE_UNKNOWN = 0, SW_STATE_STOPPED = 1, SW_STATE_RUNNING = 4 };
enum SoftwareType { SW_TYPE_UNKNOWN = 0, SW_TYPE_AGENT = 1, SW_TYPE_DAEMON = 2 };

struct CacheEntry {
    std::string cacheFileName;
    std::string cacheFullFileName;   // fixed path (resolved below the sandbox root when examined)
    std::string cacheFileSize;
    Date cacheFileDate{};
    SoftwareState cacheSWState = SW_STATE_UNKNOWN;
    SoftwareType cacheSWType = SW_TYPE_UNKNOWN;
    std::string cacheSWVersion;
    std::string cacheSWDescription;
};

// The cache file's line for one entry: "name;size;Y M D h m s;state;type;version;description;".
std::string formatCacheEntry(const CacheEntry& entry);

class SoftwareCache {
public:
    using Clock = time_t (*)();

    // Rebuilds and saves the cache when it is missing or stale.
    explicit SoftwareCache(Clock clock = &defaultClock);

    bool needCache();
    bool updateCache();
    bool saveToFile();

    unsigned getCacheEntryCount() const { return static_cast<unsigned>(cacheData.size()); }
    CacheEntry getCacheEntry(unsigned i) const { return cacheData.at(i); }

    bool getFileSize(CacheEntry& entry);
    bool getSWDate(CacheEntry& entry);
    bool getSWVersion(CacheEntry& entry);
    bool getSWState(CacheEntry& entry);
    bool isListed(const std::string& name);
    bool inList(const std::string& name);

    static constexpr time_t kMaxAgeSeconds = 30;
    static time_t defaultClock() { return std::time(nullptr); }

private:
    void addEntry(const std::string& name, const std::string& path, SoftwareType type,
                  const char* description);

    std::vector<CacheEntry> cacheData;
    std::string swaList;   // qvswa.cfg as read for this rebuild
    Clock clock;
};
