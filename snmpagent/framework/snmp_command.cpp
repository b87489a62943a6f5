#include "snmp_command.h"

#include <strings.h>

namespace {
struct CommandWord {
    SNMP_COMMAND cmd;
    const char* text;
};
constexpr CommandWord cmds[] = {{SNMP_GET, "-g"}, {SNMP_GETNEXT, "-n"}, {SNMP_SET, "-s"}};
} // namespace

bool SnmpCommand::parse(const char* command)
{
    if (command == nullptr) return false;
    for (const CommandWord& row : cmds) {
        if (strcasecmp(command, row.text) == 0) {
            cmd = row.cmd;
            return true;
        }
    }
    return false;
}
