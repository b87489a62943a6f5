#include "drv_info.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>

#include "sandbox_path.h"
#include "snmp_log.h"
#include "tokenizer.h"
#include "volume_status.h"

namespace {

constexpr char kLineDelimiters[] = " \n\f\t\r";
constexpr char kPathDelimiters[] = " \n\f\t\r/";
constexpr char kFieldDelimiters[] = " \t";

enum class DiskClass { NotFixed, Fixed, NeedsMediaCheck };

DiskClass classOfMajor(unsigned major)
{
    switch (major) {
    case 3: case 22: case 33: case 34: case 56: case 57: case 88: case 89: case 90: case 91:
        return DiskClass::NeedsMediaCheck;
    case 8: case 9: case 13: case 14: case 19: case 36: case 92:
        return DiskClass::Fixed;
    default:
        if ((major >= 65 && major <= 71) || (major >= 80 && major <= 87)) return DiskClass::Fixed;
        return DiskClass::NotFixed;
    }
}

} // namespace

bool checkMedia(const std::string& devname)
{
    std::string disk = devname;
    while (!disk.empty() && std::isdigit(static_cast<unsigned char>(disk.back()))) disk.pop_back();
    FileTk media(qv::sandboxPath("/proc/ide/" + disk + "/media"), kLineDelimiters);
    return media.open() && media.getLinesCount() > 0 && media.getLine(0).getTokenCount() > 0 &&
           media.getLine(0).getToken(0) == "disk";
}

bool isFixedDisk(uint64_t device, const std::string& devname)
{
    switch (classOfMajor(major(device))) {
    case DiskClass::Fixed: return true;
    case DiskClass::NeedsMediaCheck: return checkMedia(devname);
    case DiskClass::NotFixed: break;
    }
    return false;
}

DrvInfo::DrvInfo(bool fillInfo)
{
    if (fillInfo) readMountTable();
}

void DrvInfo::readMountTable()
{
    FileTk table(qv::sandboxPath("/etc/mtab"), kLineDelimiters);
    if (!table.open()) {
        log(LOG_WARNING, "DrvInfo() - file /etc/mtab could not be opened");
        return;
    }
    for (unsigned i = 0; i < table.getLinesCount(); ++i) {
        const std::string& line = table.getLine(i).getInputString();
        StringTk pathTokens(line, kPathDelimiters);
        StringTk fields(line, kFieldDelimiters);
        if (fields.getTokenCount() < 2) {
            log(LOG_WARNING, "DrvInfo() - file /etc/mtab in wrong format");
            continue;
        }
        if (pathTokens.getTokenCount() < 2 || pathTokens.getToken(0) != "dev") continue;
        uint64_t rdev = 0;
        if (!volcap::deviceNodeNumber(fields.getToken(0), rdev) || rdev == 0) continue;
        if (isFixedDisk(rdev, pathTokens.getToken(1))) AddEntry(fields.getToken(1), rdev);
    }
}

bool DrvInfo::GetDrvName(int index, std::string* drvname) const
{
    if (index < 0 || index >= GetNumOfDrvs()) return false;
    *drvname = drv_names[static_cast<size_t>(index)];
    return true;
}

bool DrvInfo::GetIndex(const std::string& name, int* index) const
{
    for (int i = 0; i < GetNumOfDrvs(); ++i) {
        if (drv_names[static_cast<size_t>(i)] == name) {
            *index = i;
            return true;
        }
    }
    return false;
}

bool DrvInfo::GetInfo(int index, std::string* name, unsigned long long* devnum,
                      bool* inuse) const
{
    if (index < 0 || index >= GetNumOfDrvs()) {
        log(LOG_WARNING, "GetInfo() - invalid index  (%d)\n", index);
        return false;
    }
    const auto i = static_cast<size_t>(index);
    if (name != nullptr) *name = drv_names[i];
    if (devnum != nullptr) *devnum = drv_devnum[i];
    if (inuse != nullptr) *inuse = drv_entry_in_use[i];
    return true;
}

bool DrvInfo::GetDrvDevNum(int index, unsigned long long* devnum) const
{
    if (index < 0 || index >= GetNumOfDrvs()) {
        log(LOG_WARNING, "GetDrvDevNum() - can't get device number for index  %d\n", index);
        return false;
    }
    *devnum = drv_devnum[static_cast<size_t>(index)];
    return true;
}

bool DrvInfo::GetDrvEntryUsedFlag(int index, bool* entry_in_use) const
{
    if (index < 0 || index >= GetNumOfDrvs()) {
        log(LOG_WARNING, "GetDrvEntryUsedFlag() - can't get used_flag for index  %d\n", index);
        return false;
    }
    *entry_in_use = drv_entry_in_use[static_cast<size_t>(index)];
    return true;
}

bool DrvInfo::UpdateInfo(int index, unsigned long long devnum)
{
    if (index < 0 || index >= GetNumOfDrvs()) {
        log(LOG_WARNING, "UpdateInfo() - invalid index  (%d)\n", index);
        return false;
    }
    drv_devnum[static_cast<size_t>(index)] = devnum;
    drv_entry_in_use[static_cast<size_t>(index)] = true;
    return true;
}

void DrvInfo::AddEntry(const std::string& name, unsigned long long devnum)
{
    drv_names.push_back(name);
    drv_devnum.push_back(devnum);
    drv_entry_in_use.push_back(true);
}

void DrvInfo::AddNotUsedEntry(const char* name)
{
    drv_names.emplace_back(name);
    drv_devnum.push_back(0);
    drv_entry_in_use.push_back(false);
}

bool DrvInfo::BuildDrvInfo(const DrvInfo& curDrvInfo, const std::string& drvNamesFile)
{
    const int fd = ::open(drvNamesFile.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    FILE* file = fd >= 0 ? ::fdopen(fd, "a+") : nullptr;
    if (file == nullptr) {
        if (fd >= 0) ::close(fd);
        log(LOG_WARNING, "BuildDrvGlobalInfo() - could not open drvNames file (%s)\n",
            drvNamesFile.c_str());
        return false;
    }
    char word[4097];
    while (std::fscanf(file, "%4096s", word) == 1) AddNotUsedEntry(word);
    bool written = true;
    for (int i = 0; i < curDrvInfo.GetNumOfDrvs() && written; ++i) {
        const std::string& name = curDrvInfo.drv_names[static_cast<size_t>(i)];
        const unsigned long long devnum = curDrvInfo.drv_devnum[static_cast<size_t>(i)];
        int known = 0;
        if (GetIndex(name, &known)) {
            UpdateInfo(known, devnum);
            continue;
        }
        AddEntry(name, devnum);
        // Flushed per name, so a full disk shows here and not only when the file is closed.
        written = std::fprintf(file, "%s\n", name.c_str()) == static_cast<int>(name.size() + 1) &&
                  std::fflush(file) == 0;
    }
    written = std::fclose(file) == 0 && written;
    if (!written) {
        log(LOG_WARNING, "BuildDrvGlobalInfo() - write error on drvNames file (%s)\n",
            drvNamesFile.c_str());
        return false;
    }
    return true;
}

bool DrvInfo::GetDrvCurrentCapacity(int index, int* drvTotal, int* drvAvailable,
                                    int* drvUsed) const
{
    std::string name;
    unsigned long long devnum = 0;
    bool inuse = false;
    if (!GetInfo(index, &name, &devnum, &inuse)) {
        log(LOG_WARNING, "GetDrvCurrentCapacity() - can't get drive info for index  %d\n", index);
        return false;
    }
    const auto zeros = [&] {
        if (drvTotal != nullptr) *drvTotal = 0;
        if (drvAvailable != nullptr) *drvAvailable = 0;
        if (drvUsed != nullptr) *drvUsed = 0;
        return true;
    };
    if (!inuse) return zeros();
    volcap::MountStatus status;
    if (!volcap::mountPointStatus(name, status)) {
        log(LOG_WARNING, "GetDrvCurrentCapacity() - can't stat drive name %s\n", name.c_str());
        return false;
    }
    if (status.device != devnum) return zeros();
    if (!capacityInKilobytes(status.blockSize, status.blocks, status.freeBlocks, drvTotal,
                             drvAvailable, drvUsed)) {
        log(LOG_WARNING, "GetDrvCurrentCapacity() - int overflow for drive %s\n", name.c_str());
        return false;
    }
    return true;
}

void DrvInfo::Print() const
{
    std::printf("\nTotal number of drvs = %d\n", GetNumOfDrvs());
    for (int i = 0; i < GetNumOfDrvs(); ++i) {
        std::printf("\n--------\n");
        std::string name;
        unsigned long long devnum = 0;
        bool inuse = false;
        if (!GetInfo(i, &name, &devnum, &inuse)) {
            std::printf("Can't get drv name\n");
            continue;
        }
        std::printf("DRV NAME (%d) = %s\n", i, name.c_str());
        int total = 0;
        int available = 0;
        int used = 0;
        if (GetDrvCurrentCapacity(i, &total, &available, &used)) {
            std::printf("TOTAL = %dKb  FREE = %dKb USED = %dKb\n", total, available, used);
            std::printf("PCT USED = %d%%\n", GetDrvPctUsed(available, used));
        } else {
            std::printf("Can't get drive %d capacity\n", i);
        }
        std::printf("DEVNUM = %llx\n", devnum);
        std::printf("INUSE = %s\n", inuse ? "TRUE" : "FALSE");
        std::printf("--------\n");
    }
}
