// The scanning service's work on its files: the baseline of drivers and agents version
// (qvswarb.dat), and the revision history entries (qvswarh.log) for every change found.
#pragma once

#include <ctime>
#include <string>

#include "driver_list.h"
#include "rev_records.h"
#include "sw_files.h"

class CRevisionScanner {
public:
    CRevisionScanner() : m_profile(swfiles::kServiceLock) {}

    void CreateRevisionHistoryBaseFile(bool force);
    // Compares drivers and agents version with the baseline; `now` dates the entries.
    void UpdateRevisionHistory(time_t now);
    bool GetRevisionHistoryItem(int key, DriverStruct* out);
    void RHFilesErase();

private:
    std::string agentsVersion() const;   // registry, first 8 bytes; empty when unreadable

    swfiles::CLockedProfile m_profile;
    DriverList m_list;
};
