#include "nic_baselines.h"

#include "nic_lock.h"
#include "nic_parameters.h"
#include "profile.h"

#include <cstdio>
#include <cstdlib>

namespace nicbaseline {
namespace {

const char* const kSection = "Utilization";

// Holds the NIC lock file for one scope.
class NicLock {
public:
    NicLock()
    {
        held_ = nic::AcquireSemaphore(nic::kParametersLockName, &handle_,
                                      nic::kParametersLockTimeoutMs) == 0;
    }
    ~NicLock()
    {
        if (held_) nic::ReleaseSemaphore(handle_);
    }
    NicLock(const NicLock&) = delete;
    NicLock& operator=(const NicLock&) = delete;
    bool held() const { return held_; }

private:
    int handle_ = -1;
    bool held_ = false;
};

} // namespace

uint32_t read(const std::string& key)
{
    char text[80] = {};
    {
        NicLock lock;
        GetPrivateProfileString(kSection, key.c_str(), "", text, sizeof text,
                                nic::settingsFilePath().c_str());
    }
    // strtoull keeps values above 2^31 that a signed read would clip.
    return static_cast<uint32_t>(std::strtoull(text, nullptr, 10));
}

bool write(const std::string& key, uint32_t counter)
{
    NicLock lock;
    if (!lock.held()) return false;
    char text[80];
    std::snprintf(text, sizeof text, "%u", counter);
    WritePrivateProfileString(kSection, key.c_str(), text, nic::settingsFilePath().c_str());
    return true;
}

} // namespace nicbaseline
