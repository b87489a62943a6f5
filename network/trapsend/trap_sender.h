// Trap destinations (/usr/qvserver/etc/qvtraps.cfg) and trap sending through the outside
// snmptrap command, shared by both trap daemons; their differences are a TrapSenderProfile.
//
// snmptrap runs with fork + execv and an argument vector, never through a shell:
//   snmptrap -v 1 -c COMMUNITY -- HOST:PORT ENTERPRISE AGENT GENERIC SPECIFIC UPTIME [OID T V]...
// ("--" keeps a value such as a negative integer from being read as an option). UPTIME is the
// system uptime in hundredths of a second, read from /proc/uptime below the sandbox root.
#pragma once

#include "attr_value.h"

#include <csignal>
#include <string>
#include <vector>

struct NotifyEntry {
    std::string host;
    std::string community;
    std::string port;
};
using NotifyList = std::vector<NotifyEntry>;

// The destinations in file order, and the two flags that keep a re-read from rebuilding the
// list while a trap walks it.
extern NotifyList notifies;
extern volatile sig_atomic_t notifyListInUse;
extern volatile sig_atomic_t notifyListNeedUpdate;

struct TrapSenderProfile {
    bool announceParsing = false;       // log "Parsing trap notification file" on each read
    bool logFailedDestination = true;   // log "send_trap() failed: HOST COMMUNITY"
    bool unknownTypeToStderr = false;   // report an unknown value type on stderr, not syslog
    unsigned commandTimeoutMs = 10000;  // longest wait for one snmptrap run
};
void setTrapSenderProfile(const TrapSenderProfile& profile);

// Rebuilds `notifies` from the destination file. Lines that are empty or name an invalid host,
// community or port are logged and skipped.
void parse_trap_notification_file();

// A re-read request (SIGHUP): at once, or after the trap being sent when the list is in use.
void request_trap_notification_reread();

void send_trap(const char* oid, const char* argOid, int trapType, int specificType, int argCount,
               const CAttrValue* args);

bool run_snmptrap(const char* port, const char* host, const char* community, const char* oid,
                  const char* argOid, int trapType, int specificType, int argCount,
                  const CAttrValue* args);

// The argument vector of one snmptrap run (without running it); false when the local host name
// is not available.
bool build_snmptrap_argv(const NotifyEntry& destination, const char* oid, const char* argOid,
                         int trapType, int specificType, int argCount, const CAttrValue* args,
                         std::vector<std::string>& argv);

// System uptime in hundredths of a second (wraps at 32 bits like TimeTicks).
unsigned uptime();

// "i" or "s"; any other value type ends the process with status 1.
char convert_asntype_to_char(int asnType);
