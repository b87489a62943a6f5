// One record: its description, its trap identifier and variables, one trap per destination.
#include "event_alert_daemon.h"

#include "event_format_varbind.h"
#include "snmp_log.h"
#include "trap_sender.h"

#include <climits>
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

// The decimal number a text starts with, as atoi reads it (blanks before it and a sign allowed,
// anything after it ignored, 0 when there is none), held within int instead of overflowing.
int leadingNumber(const char* text)
{
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
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
    if (dot == std::string::npos) {
        log(LOG_WARNING, "Malformed TrapID (%s)", value.c_str());
        return;
    }
    // Read as the description files have always been read: "258 " (a blank a hand edit left)
    // is 258, a text that is no number is 0.
    const int specific = leadingNumber(value.c_str() + dot + 1);
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
