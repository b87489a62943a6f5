// The one pass protocol front end of every agent: identify, register, parse, look up, answer.
#pragma once

#include "snmp_command.h"
#include "snmp_object.h"
#include "snmp_oid.h"
#include "snmp_value.h"

// How an agent reads its command line and reports argument errors.
enum class ArgsVariant {
    Standard,        // errors logged at LOG_INFO
    WarningLevel,    // errors logged at LOG_WARNING
    SilentOneWord,   // nothing logged; a SET takes exactly one value word
    SilentJoined,    // nothing logged; a SET joins every word from the value on
};

struct AgentConfig {
    const char* programName;   // syslog identity and the banner's "Usage:" line
    const char* title;         // first banner line
    ArgsVariant variant = ArgsVariant::Standard;
    bool identify = true;      // IdentifyVelkarnReg and the supported-model check
    bool openLog = true;       // logging variants: openlog(programName, LOG_USER)
    bool catchAll = false;     // exceptions of lookup, getters and setters end in the log
    bool logMalformedValue = false;   // "Malformed value: %s\n" when a SET value is unreadable
    // With catchAll: called inside the catch block to name the exception for the log (it may
    // rethrow to tell types apart); null or a null result logs the generic message.
    const char* (*describeException)() = nullptr;
    bool bannerTabs = false;   // the usage banner's lines indented with tabs instead of blanks
    const char* bannerWhere = nullptr;   // a "Where:" body of the agent's own layout
};

// Held around the lookup and the answer of one request, after the arguments were read (an
// agent that shares files with a service takes their lock here).
struct LookupGuard {
    bool (*enter)();   // false ends the run with status 1
    void (*leave)();
};

// The agent's single object list, filled by its loadObjects().
// Never destroyed: the objects stay reachable until the process ends.
extern SnmpObjects& objects;

// Runs one request and returns the exit status (0 answered, 1 refused or not found).
int runAgent(const AgentConfig& config, bool (*loadObjects)(), int argc, char** argv,
             const LookupGuard* guard = nullptr);

bool parseArgs(const AgentConfig& config, int argc, char** argv, SnmpCommand* cmd, SnmpOid* oid,
               SnmpValue* value);

// " %02X" per byte in a static buffer of at most 4095 characters.
const char* bin2asc(const unsigned char* data, unsigned int len);

// The usage banner as printed on standard error.
void printUsage(const AgentConfig& config);

// The front-end settings of the suite's agents, by program name; null when unknown.
const AgentConfig* findAgentConfig(const char* programName);
