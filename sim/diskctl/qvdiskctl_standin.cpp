// Stand-in for the outside disk library: the simulated server's inventory, results and callbacks
// set by a control file, and a journal of every call. Safe to call from several threads.
#include "qvdiskctl_standin.h"

#include "diskctl_inventory.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::mutex g_mutex;
std::atomic<QvDiskctlCallback> g_activityCallback{nullptr};
std::atomic<QvDiskctlCallback> g_firmwareCallback{nullptr};

struct Control {
    std::map<std::string, int> results;
    int activityEnd = 0, activityDelayMs = 50, ready = 1;
    int firmwareProgress = 2, firmwareDelayMs = 0, firmwareEnd = 0;
};

Control readControl()
{
    Control c;
    const char* path = std::getenv(kDiskctlControlEnv);
    if (!path || !*path) return c;
    std::ifstream in(path);
    std::string key;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        if (!(words >> key)) continue;
        if (key == "result") {
            std::string call;
            int code = 0;
            if (words >> call >> code) c.results[call] = code;
            continue;
        }
        int value = 0;
        if (!(words >> value)) continue;
        if (key == "activity_end") c.activityEnd = value;
        else if (key == "activity_delay_ms") c.activityDelayMs = value;
        else if (key == "ready") c.ready = value;
        else if (key == "firmware_progress") c.firmwareProgress = value;
        else if (key == "firmware_delay_ms") c.firmwareDelayMs = value;
        else if (key == "firmware_end") c.firmwareEnd = value;
    }
    return c;
}

// Journals the call and returns the control file's settings with the call's result.
Control enter(const char* call, const std::string& arguments, int& result)
{
    std::lock_guard lock(g_mutex);
    if (const char* path = std::getenv(kDiskctlJournalEnv); path && *path) {
        const std::string line = std::string(call) + (arguments.empty() ? "" : " ") + arguments + "\n";
        const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640);
        if (fd >= 0) {
            (void)!::write(fd, line.data(), line.size());
            ::close(fd);
        }
    }
    Control c = readControl();
    const auto r = c.results.find(call);
    result = r == c.results.end() ? 0 : r->second;
    return c;
}

std::string join(std::initializer_list<long> values)
{
    std::string text;
    for (long v : values) text += (text.empty() ? "" : " ") + std::to_string(v);
    return text;
}

void sleepMs(int ms)
{
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A started flash ends on a thread of its own, as the library's light controller does.
void reportActivityLater(const Control& c)
{
    std::thread([delay = c.activityDelayMs, code = c.activityEnd] {
        sleepMs(delay);
        if (QvDiskctlCallback cb = g_activityCallback.load()) cb(static_cast<unsigned long>(code));
    }).detach();
}

template <size_t N>
void copyField(char (&field)[N], const std::string& text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

std::vector<std::vector<std::string>> inventory(const char* kind)
{
    const char* root = std::getenv("QV_ROOT");
    std::ifstream in(std::string(root ? root : "") + qv::sim::scsi::kDiskctlInventoryPath);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string f; std::getline(split, f, '\t');) fields.push_back(f);
        if (!fields.empty() && fields[0] == kind) rows.push_back(fields);
    }
    return rows;
}

unsigned number(const std::vector<std::string>& row, size_t i)
{
    return i < row.size() ? static_cast<unsigned>(std::strtoul(row[i].c_str(), nullptr, 10)) : 0;
}

std::string text(const std::vector<std::string>& row, size_t i) { return i < row.size() ? row[i] : ""; }

uint32_t fnv1a(const void* data, int size)
{
    uint32_t h = 2166136261u;
    for (int i = 0; i < size; ++i) h = (h ^ static_cast<const uint8_t*>(data)[i]) * 16777619u;
    return h;
}

} // namespace

extern "C" int CountAdapterUnits(int* drives, int* adapters)
{
    int result = 0;
    enter("CountAdapterUnits", "", result);
    if (result != 0) return result;
    if (drives) *drives = static_cast<int>(inventory("drive").size());
    if (adapters) *adapters = static_cast<int>(inventory("adapter").size());
    return 0;
}

extern "C" int GetAllAdapterInfo(adapterInfo* table)
{
    int result = 0;
    enter("GetAllAdapterInfo", "", result);
    if (result != 0 || !table) return result != 0 ? result : EINVAL;
    size_t i = 0;
    for (const auto& row : inventory("adapter")) {
        adapterInfo& a = table[i++];
        a.nPort = number(row, 1);
        a.nClass = number(row, 2);
        copyField(a.pName, text(row, 3));
        copyField(a.pMfg, text(row, 4));
        copyField(a.pDriverVersion, text(row, 5));
    }
    return 0;
}

extern "C" int GetAllDiskConfigInfo(DriveConfigInfo* table, int count)
{
    int result = 0;
    enter("GetAllDiskConfigInfo", join({count}), result);
    if (result != 0 || !table) return result != 0 ? result : EINVAL;
    const auto rows = inventory("drive");
    for (int i = 0; i < count && i < static_cast<int>(rows.size()); ++i) {
        const auto& row = rows[static_cast<size_t>(i)];
        DriveConfigInfo d{};
        d.adapterID = number(row, 1);
        d.channelID = number(row, 2);
        d.targetID = number(row, 3);
        d.nVendorNameID = static_cast<int32_t>(number(row, 4));
        copyField(d.pProductRev, text(row, 5));
        copyField(d.pDateCode, text(row, 6));
        copyField(d.pSerialNum, text(row, 7));
        copyField(d.pProductID, text(row, 8));
        d.fFound = 1;
        table[i] = d;
    }
    return 0;
}

extern "C" int SetActivityCallback(QvDiskctlCallback callback)
{
    int result = 0;
    enter("SetActivityCallback", callback ? "set" : "null", result);
    g_activityCallback = callback;
    return result;
}

extern "C" int FlashActivityLightAllDrives(unsigned type, unsigned adapter, unsigned channel, int count)
{
    int result = 0;
    const Control c = enter("FlashActivityLightAllDrives", join({type, adapter, channel, count}), result);
    if (result == 0) reportActivityLater(c);
    return result;
}

extern "C" int FlashDriveActivityLight(unsigned type, unsigned adapter, unsigned channel, unsigned target,
                                       int count)
{
    int result = 0;
    const Control c = enter("FlashDriveActivityLight", join({type, adapter, channel, target, count}), result);
    if (result == 0) reportActivityLater(c);
    return result;
}

extern "C" int MFAdjustPowerLED(unsigned scsiId, unsigned cageAddr, int level)
{
    int result = 0;
    enter("MFAdjustPowerLED", join({scsiId, cageAddr, level}), result);
    return result;
}

extern "C" int GetDriveReadiness(unsigned type, unsigned adapter, unsigned channel, unsigned target, int* ready)
{
    int result = 0;
    const Control c = enter("GetDriveReadiness", join({type, adapter, channel, target}), result);
    if (ready) *ready = c.ready;
    return result;
}

extern "C" int SetFirmwareCallback(QvDiskctlCallback callback)
{
    int result = 0;
    enter("SetFirmwareCallback", callback ? "set" : "null", result);
    g_firmwareCallback = callback;
    return result;
}

extern "C" int UpdateDriveFWImage(unsigned type, unsigned adapter, unsigned channel, unsigned target,
                                  const void* image, int size)
{
    const bool usable = image && size > 0 && size <= kDiskctlMaxImage;
    int result = 0;
    const Control c = enter("UpdateDriveFWImage",
                            join({type, adapter, channel, target, size, usable ? fnv1a(image, size) : 0}),
                            result);
    if (!usable) return EINVAL;
    if (result != 0) return result;
    for (int step = 1; step <= c.firmwareProgress; ++step) {
        sleepMs(c.firmwareDelayMs);
        if (QvDiskctlCallback cb = g_firmwareCallback.load())
            cb(static_cast<unsigned long>(step * 100 / (c.firmwareProgress + 1)));
    }
    sleepMs(c.firmwareDelayMs);
    if (QvDiskctlCallback cb = g_firmwareCallback.load()) cb(static_cast<unsigned long>(c.firmwareEnd));
    return 0;
}
