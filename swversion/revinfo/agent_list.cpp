#include "agent_list.h"

#include <cstring>
#include <dirent.h>
#include <fstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox_path.h"

namespace revinfo {

namespace {

constexpr char kNameColumn[] = ".1.3.6.1.4.1.93071.2.23.24.2.1.1.2";
constexpr char kTypeColumn[] = ".1.3.6.1.4.1.93071.2.23.24.2.1.1.8";
constexpr char kStateColumn[] = ".1.3.6.1.4.1.93071.2.23.24.2.1.1.5";
constexpr int kStateRows = 50;
constexpr size_t kTextLimit = 49;   // names and type texts live in 50-byte buffers
constexpr long kNoSuchName = 2;

std::string rowOid(const char* column, int row) { return std::string(column) + "." + std::to_string(row); }

// Size and date of a fixed path; false when it cannot be read.
bool describeFile(const std::string& fixedPath, SoftwareEntry& entry)
{
    struct stat status {};
    if (::stat(qv::sandboxPath(fixedPath).c_str(), &status) != 0) return false;
    entry.size = std::to_string(status.st_size);
    tm local {};
    ::localtime_r(&status.st_mtime, &local);
    const int fields[6] = {local.tm_year % 100, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    for (int i = 0; i < 6; ++i) entry.date[i] = static_cast<unsigned char>(fields[i]);
    return true;
}

time_t systemClock() { return std::time(nullptr); }

// The query over the daemon; appends agents and the daemon's entry, fills the state bytes.
int GetAgentStatus(AgentTableSource& source, std::vector<SoftwareEntry>& agents,
                   std::vector<SoftwareEntry>& daemon, unsigned char (&states)[kStateRows])
{
    if (const int status = source.open(); status != 0) return status;
    int row = 0;
    for (;; ++row) {
        const SnmpGetResult name = source.get(rowOid(kNameColumn, row));
        if (row == 0) {
            SoftwareEntry entry;
            const bool found = CreateSNMPTable(entry);
            entry.state = name.exchanged ? 4 : 1;
            if (found) daemon.push_back(entry);
            if (!name.exchanged) return 0;
        } else if (!name.exchanged) {
            return 1;
        }
        if (name.errorStatus == kNoSuchName) break;
        if (name.errorStatus != 0) return 1;
        const std::string program = name.isString ? name.text : "Unknown";
        std::string typeText;
        const SnmpGetResult type = source.get(rowOid(kTypeColumn, row));
        if (type.exchanged) {
            if (type.errorStatus != 0) return 1;
            typeText = type.isString ? type.text : "Unknown";
        }
        // A name or type text too long for its buffer, or a name that is a path, is not listed.
        if (program.size() > kTextLimit || typeText.size() > kTextLimit ||
            program.find('/') != std::string::npos || program.empty())
            continue;
        SoftwareEntry entry;
        entry.name = program;
        entry.type = ::strcasecmp(typeText.c_str(), "Agent") == 0 ? 1 : 2;
        entry.row = row;
        const std::string path = "/usr/qvserver/bin/" + program;
        if (::access(qv::sandboxPath(path).c_str(), F_OK) == 0 && describeFile(path, entry))
            agents.push_back(entry);
    }
    for (int j = 0; j < row && j < kStateRows; ++j) {
        const SnmpGetResult state = source.get(rowOid(kStateColumn, j));
        if (!state.exchanged) continue;
        if (state.errorStatus != 0) return 1;
        states[j] = state.isInteger ? static_cast<unsigned char>(state.integer & 0xFF) : 0;
    }
    return 0;
}

} // namespace

AgentTableSourceFactory& agentTableSourceFactory()
{
    static AgentTableSourceFactory factory = netSnmpSource;
    return factory;
}

AgentListClock& agentListClock()
{
    static AgentListClock clock = systemClock;
    return clock;
}

bool CreateSNMPTable(SoftwareEntry& daemon)
{
    DIR* proc = ::opendir(qv::sandboxPath("/proc").c_str());
    if (proc == nullptr) return false;
    std::string program;
    while (const dirent* entry = ::readdir(proc)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::ifstream in(qv::sandboxPath("/proc/" + name + "/cmdline"), std::ios::binary);
        char line[261] = {};
        in.read(line, 260);
        const std::string first(line, ::strnlen(line, 260));
        const size_t at = first.find("snmpd");
        if (at == std::string::npos) continue;
        program = first.substr(0, at + 5);
        break;
    }
    ::closedir(proc);
    if (program.empty()) return false;
    daemon = SoftwareEntry{};
    daemon.name = "snmpd";
    daemon.type = 2;
    describeFile(program, daemon);
    return true;
}

int CAgentList::UpdateData()
{
    const time_t now = agentListClock()();
    if (g_StaleTime != 0 && now - g_StaleTime <= 20) return 0;
    entries_.clear();
    std::vector<SoftwareEntry> agents;
    std::vector<SoftwareEntry> daemon;
    unsigned char states[kStateRows] = {};
    int status = 1;
    if (std::unique_ptr<AgentTableSource> source = agentTableSourceFactory()())
        status = GetAgentStatus(*source, agents, daemon, states);
    for (SoftwareEntry& agent : agents)
        agent.state = agent.row < kStateRows ? states[agent.row] : 0;
    entries_ = daemon;
    entries_.insert(entries_.end(), agents.begin(), agents.end());
    g_StaleTime = now;
    return status;
}

CAgentList& agentList()
{
    static CAgentList list;
    return list;
}

} // namespace revinfo
