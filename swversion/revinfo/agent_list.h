// The management software running on the server: the SNMP daemon and every agent program that
// the software version agent lists in its managed-software table (asked through the local
// daemon) and that is installed in /usr/qvserver/bin/. Rebuilt at most every 20 seconds.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace revinfo {

struct SoftwareEntry {
    std::string name;
    std::string size;              // file size in decimal
    unsigned char date[6] = {};    // year % 100, month, day, hour, minute, second (local time)
    int state = 0;
    int type = 2;                  // 1 agent, 2 anything else
    int row = -1;                  // table row of an agent; -1 for the daemon
};

// One GET as the query sees it.
struct SnmpGetResult {
    bool exchanged = false;        // an answer arrived
    long errorStatus = 0;
    bool isString = false;
    std::string text;
    bool isInteger = false;
    long integer = 0;
};

// The SNMP client of the query (net-snmp loaded by name in production; a fake in tests).
class AgentTableSource {
public:
    virtual ~AgentTableSource() = default;
    // 0, 1 when the client library is missing or incomplete, or errno when no session opens.
    virtual int open() = 0;
    virtual SnmpGetResult get(const std::string& oid) = 0;
};

using AgentTableSourceFactory = std::function<std::unique_ptr<AgentTableSource>()>;
AgentTableSourceFactory& agentTableSourceFactory();
std::unique_ptr<AgentTableSource> netSnmpSource();

using AgentListClock = time_t (*)();
AgentListClock& agentListClock();

class CAgentList {
public:
    // Rebuilds the list when more than 20 s passed since the last rebuild; the query's status.
    int UpdateData();
    const std::vector<SoftwareEntry>& entries() const { return entries_; }

private:
    std::vector<SoftwareEntry> entries_;
    time_t g_StaleTime = 0;
};

CAgentList& agentList();

// The daemon's entry from the first /proc/<n>/cmdline naming "snmpd"; false when none does.
bool CreateSNMPTable(SoftwareEntry& daemon);

} // namespace revinfo
