// The pass protocol request word: -g, -n or -s.
#pragma once

enum SNMP_COMMAND {
    SNMP_CMD_UNDEF = 0,
    SNMP_GET = 1,
    SNMP_GETNEXT = 2,
    SNMP_SET = 3,
};

class SnmpCommand {
public:
    SnmpCommand() = default;
    bool parse(const char* command);   // case-insensitive; unchanged when unknown
    SNMP_COMMAND asEnum() const { return cmd; }

private:
    SNMP_COMMAND cmd = SNMP_CMD_UNDEF;
};

inline bool operator==(const SnmpCommand& command, SNMP_COMMAND code)
{
    return command.asEnum() == code;
}
