// Read-only tables of the system agent: processor names to model codes, mouse and video codes
// to their names, and the agent table's single (empty) row.
#pragma once

#include <cstdint>

struct CPUTypeEntry {
    char name[80];
    int code;
};
struct MouseTypeEntry {
    int code;
    char name[20];
};
struct VideoTypeEntry {
    int code;
    char name[32];
};
struct AgentEntry {
    char name[256];
    char version[8];
    uint8_t date[6];
};

extern const CPUTypeEntry CPUTypeTable[15];
extern const MouseTypeEntry MouseTypeTable[10];
extern const VideoTypeEntry VideoTypeTable[13];
extern const AgentEntry MyAgentTable[1];

// First exact, case-sensitive match in table order; 255 when none.
int cpuTypeCode(const char* version);
// Null for a code not in the table.
const char* mouseTypeName(int code);
const char* videoTypeName(int code);
