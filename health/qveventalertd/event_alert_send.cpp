// One record: its description, its trap identifier and variables, one trap per destination.
#include "event_alert_daemon.h"

#include "event_format_varbind.h"
#include "snmp_log.h"
#include "trap_sender.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kTrapVariables = 8;
constexpr int kEnterpriseSpecific = 6;
constexpr size_t kEnterpriseMax = 127;

bool readKey(EvtStruct* e, const char* key, std::string& value)
{
    char text[QVELFMT_VALUE_SIZE] = {};
    unsigned long length = 0;
    Sel& r = e->selEntry;
    if (QVELFMT_ReadKey(&r.sensorType, &r.eventTrigger, &r.eventData1, key, text, &length) !=
        QVELFMT_FOUND)
        return false;
    value.assign(text, length);
    return true;
}

bool allDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

bool read_next_event(EvtStruct* e, bool& cursorSaved)
{
    std::memset(e, 0, sizeof *e);
    const int result = QVEL_ReadNextUnseenEvent(e, kEventAlertCursor);
    cursorSaved = result != QVEL_ERR_FAILED;
    if (result != 0 && cursorSaved) return false;
    QVEL_MapEventRecord2to3(&e->selEntry);
    std::string templ;
    if (!readKey(e, "String", templ) || templ.empty()) return false;
    std::strncpy(e->szEventString, templ.c_str(), sizeof e->szEventString - 1);
    return true;
}

void send_event(EvtStruct* e)
{
    std::string value;
    if (readKey(e, "SnmpTrap", value) && std::atoi(value.c_str()) == 0) return;
    if (!readKey(e, "TrapID", value) || value.empty()) return;
    const size_t dot = value.rfind('.');
    // A number that is not one would send specific trap 0 under the wrong name.
    if (dot == std::string::npos || !allDigits(value.substr(dot + 1))) {
        log(LOG_WARNING, "Malformed TrapID (%s)", value.c_str());
        return;
    }
    const int specific = std::atoi(value.c_str() + dot + 1);
    std::string enterprise = "." + value.substr(0, dot);
    enterprise.resize(std::min(enterprise.size(), kEnterpriseMax));

    CAttrValue vars[kTrapVariables];
    int count = 0;
    if (QVELFMT_FormatEventToVarbind(e, vars, kTrapVariables, &count) != 0) {
        log(LOG_WARNING, "QVELFMT_FormatEventToVarbind() failed");
        return;
    }
    send_trap(enterprise.c_str(), enterprise.c_str(), kEnterpriseSpecific, specific, count, vars);
}
