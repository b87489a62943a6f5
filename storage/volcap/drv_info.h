// The watched volumes: mounted file systems on fixed disks, numbered stably through the names
// file, with their capacity now. A volume is named by its mount point.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Kilobyte counts of a file system from its block counts: n * blockSize / 1024 in 64 bits for
// every count. False (the outputs untouched) when a count exceeds 2147483647.
bool capacityInKilobytes(uint64_t blockSize, uint64_t blocks, uint64_t freeBlocks, int* total,
                         int* available, int* used);

// Percentage used, 0 to 100: the nearest integer, halves to even.
int GetDrvPctUsed(int drvAvailable, int drvUsed);

// By the device's major number; IDE-type majors only when /proc/ide/<disk>/media says "disk".
bool isFixedDisk(uint64_t device, const std::string& devname);
bool checkMedia(const std::string& devname);

class DrvInfo {
public:
    // Empty, or the mounted fixed-disk volumes of the mount table in its order.
    explicit DrvInfo(bool fillInfo);

    int GetNumOfDrvs() const { return static_cast<int>(drv_names.size()); }
    bool GetDrvName(int index, std::string* drvname) const;
    bool GetIndex(const std::string& name, int* index) const;
    bool GetInfo(int index, std::string* name, unsigned long long* devnum, bool* inuse) const;
    bool GetDrvDevNum(int index, unsigned long long* devnum) const;
    bool GetDrvEntryUsedFlag(int index, bool* entry_in_use) const;
    bool UpdateInfo(int index, unsigned long long devnum);
    void AddEntry(const std::string& name, unsigned long long devnum);
    void AddNotUsedEntry(const char* name);

    // Called on an empty list: the names file's volumes (not in use), then those of
    // `curDrvInfo`, new ones appended to the file. False when the file cannot be opened or written.
    bool BuildDrvInfo(const DrvInfo& curDrvInfo, const std::string& drvNamesFile);

    // Kilobytes now; zeros for a volume not mounted (or something else mounted there now).
    // Any pointer may be null.
    bool GetDrvCurrentCapacity(int index, int* drvTotal, int* drvAvailable, int* drvUsed) const;

    void Print() const;

private:
    void readMountTable();

    std::vector<std::string> drv_names;
    std::vector<unsigned long long> drv_devnum;
    std::vector<bool> drv_entry_in_use;
};
