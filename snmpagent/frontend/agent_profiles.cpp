#include <cstring>

#include "agent_frontend.h"

namespace {

using V = ArgsVariant;

// One row per agent of the suite: banner, argument variant, identification, exception handler.
// Fields: name, banner title, variant, identify, openLog, catchAll, logMalformedValue, and for
// some the exception describer and tab-indented banner.
const AgentConfig kAgents[] = {
    {"qvlanagent", "QVLANAGENT - QV Network Interface Card SNMP Agent", V::Standard, true, false, false, false},
    {"qvrevagent", "QVREVAGENT - QV Software Version SNMP Agent", V::Standard, false, true, true, false},
    {"qvspaceagent", "QVSPACEAGENT - QV Vol Cap SNMP Agent", V::WarningLevel, true, true, false, true, nullptr, true},
    {"qvslotagent", "qvslotagent - QV PCI SNMP Agent", V::Standard, true, true, true, false},
    {"qvalertcfgagent", "QVALERTCFGAGENT - QV Trap Configuration SNMP Agent", V::Standard, true, true, true, false},
    {"qvlogparseagent", "QVLOGPARSEAGENT - QV SEL Parse Log SNMP Agent", V::Standard, true, true, true, false},
    {"qvdisktagagent", "qvdisktagagent - QV Tattoo Drive SNMP Agent", V::Standard, true, true, true, false, nullptr,
     false,
     "Where:\n\t<cmd>:\t The SNMP command\n\t\t -g: SNMP GET command\n\t\t -n: SNMP GETNEXT command\n"
     "\t\t -s: SNMP SET command (<type> and <value> must be supplied)\n\t<oid>:\t The object identifier\n"
     "\t<type>:\t The type of value (integer, counter, gauge, timeticks,\n\t\t ipaddress, objid or string)\n"
     "\t<value>: The new value\n"},
    {"qvclimateagent", "QVCLIMATEAGENT - QV Environment SNMP Agent", V::SilentOneWord, true, false, false, false, nullptr, true},
    {"qvhostagent", "QVHOSTAGENT - QV System SNMP Agent", V::Standard, true, true, true, false},
    {"qvassetagent", "QVASSETAGENT - QV Entity SNMP Agent", V::Standard, true, true, true, false},
    {"qvmemagent", "qvmemagent - QV Velkarn DIMM SNMP Agent", V::Standard, false, true, true, false},
    {"qvbayagent", "QVBAYAGENT - QV RAID Cage Information SNMP Agent", V::SilentJoined, true, false, false, false, nullptr, true},
    {"qvloadagent", "QVLOADAGENT - QV Performance SNMP Agent", V::Standard, true, true, true, false},
    {"qvdeviceagent", "QVDEVICEAGENT - QV Device Entity Information SNMP Agent", V::WarningLevel, true, true, false, false},
    {"qveventagent", "QVEVENTAGENT - QV Event Log SNMP Agent", V::SilentOneWord, true, false, false, false},
    {"qvrestartagent", "QVRESTARTAGENT - QV Automatic System Restart SNMP Agent", V::WarningLevel, true, true, false, true, nullptr, true},
    {"qvlegacyagent", "QVLEGACYAGENT - QV Compatibility SNMP Agent", V::SilentJoined, false, false, false, false},
};

} // namespace

const AgentConfig* findAgentConfig(const char* programName)
{
    if (programName == nullptr) return nullptr;
    for (const AgentConfig& row : kAgents)
        if (std::strcmp(row.programName, programName) == 0) return &row;
    return nullptr;
}
