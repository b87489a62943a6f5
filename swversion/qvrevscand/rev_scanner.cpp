#include "rev_scanner.h"

#include <cstring>
#include <unistd.h>

#include "registry.h"
#include "sandbox_path.h"

std::string CRevisionScanner::agentsVersion() const
{
    char version[9] = {};
    if (GetRegData(swfiles::kVersionRegKey, version, 8) != 0) return {};
    return version;
}

void CRevisionScanner::CreateRevisionHistoryBaseFile(bool force)
{
    const std::string baseline = qv::sandboxPath(swfiles::kBaselineFile);
    if (!force && ::access(baseline.c_str(), R_OK) == 0) return;
    ::unlink(baseline.c_str());
    CollectDriversInfo(m_list);
    for (int i = 0; i < m_list.nDrivers; ++i)
        m_profile.MyWritePrivateProfileString("Drivers", std::to_string(i + 1).c_str(),
                                              formatBaselineRecord(m_list.drivers[i]).c_str(),
                                              swfiles::kBaselineFile);
    const std::string version = agentsVersion();
    if (!version.empty())
        m_profile.MyWritePrivateProfileString("AgentsVersion", "version", version.c_str(),
                                              swfiles::kBaselineFile);
}

bool CRevisionScanner::GetRevisionHistoryItem(int key, DriverStruct* out)
{
    char record[128] = {};
    m_profile.MyGetPrivateProfileString("Drivers", std::to_string(key).c_str(), "", record,
                                        sizeof record, swfiles::kBaselineFile);
    return parseBaselineRecord(record, *out);
}

void CRevisionScanner::UpdateRevisionHistory(time_t now)
{
    const std::string changeDate = formatChangeDate(now);
    CollectDriversInfo(m_list);
    DriverStruct old{};
    for (int key = 1; GetRevisionHistoryItem(key, &old); ++key) {
        for (int i = 0; i < m_list.nDrivers; ++i) {
            const DriverStruct& current = m_list.drivers[i];
            if (std::strncmp(current.szDrvName, old.szDrvName, 16) != 0) continue;
            if (current.DrvDateAndTime != old.DrvDateAndTime || current.ByteSize != old.ByteSize) {
                swfiles::appendRevisionHistory(m_profile, formatDriverChangeEntry(old, changeDate),
                                               swfiles::CountOrder::CountFirst);
                m_profile.MyWritePrivateProfileString("Drivers", std::to_string(key).c_str(),
                                                      formatBaselineRecord(current).c_str(),
                                                      swfiles::kBaselineFile);
            }
            break;
        }
    }

    const std::string version = agentsVersion();
    if (version.empty()) return;
    char stored[64] = {};
    m_profile.MyGetPrivateProfileString("AgentsVersion", "version", "", stored, sizeof stored,
                                        swfiles::kBaselineFile);
    if (stored[0] == '\0' || version == stored) return;
    m_profile.MyWritePrivateProfileString("AgentsVersion", "version", version.c_str(),
                                          swfiles::kBaselineFile);
    swfiles::appendRevisionHistory(m_profile, formatAgentsVersionEntry(version, changeDate),
                                   swfiles::CountOrder::EntryFirst);
}

void CRevisionScanner::RHFilesErase()
{
    swfiles::eraseRevisionHistory();
    CreateRevisionHistoryBaseFile(true);
}
