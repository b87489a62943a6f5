#include "lookup_tables.h"

#include <cstring>

const CPUTypeEntry CPUTypeTable[15] = {
    {"Unknown", 255},
    {"Pentium", 11},
    {"Pentium Pro", 19},
    {"Pentium II", 20},
    {"Pentium(R) II", 20},
    {"Pentium II Xeon", 21},
    {"Pentium II  Xeon", 21},
    {"Intel Pentium(R) II Xeon(TM) Processor", 21},
    {"Intel Pentium (R) II Xeon(TM) Processor", 21},
    {"Pentium III", 22},
    {"Pentium(R) III", 22},
    {"Pentium III Xeon", 23},
    {"Pentium(R) III Xeon", 23},
    {"Intel Pentium(R) III Xeon(TM) Processor", 23},
    {"Intel Pentium (R) III Xeon(TM) Processor", 23},
};

const MouseTypeEntry MouseTypeTable[10] = {
    {1, "Other"}, {2, "Unknown"}, {3, "Serial"}, {4, "PS/2"}, {5, "Infrared"},
    {6, "QVHIL"}, {7, "Bus"}, {8, "ADB"}, {160, "Bus DB9"}, {161, "MicroDIN"},
};

const VideoTypeEntry VideoTypeTable[13] = {
    {1, "Other"}, {2, "Unknown"}, {3, "CGA"}, {4, "EGA"}, {5, "VGA"}, {6, "SVGA"}, {7, "MDA"},
    {8, "HGC"}, {9, "MCGA"}, {10, "8514A"}, {11, "XGA"}, {12, "Linear Frame Buffer"}, {160, "PC 98"},
};

const AgentEntry MyAgentTable[1] = {};

int cpuTypeCode(const char* version)
{
    for (const CPUTypeEntry& e : CPUTypeTable)
        if (std::strcmp(e.name, version) == 0) return e.code;
    return 255;
}

namespace {

template <class Entry, std::size_t N>
const char* nameOfCode(const Entry (&table)[N], int code)
{
    for (const Entry& e : table)
        if (e.code == code) return e.name;
    return nullptr;
}

} // namespace

const char* mouseTypeName(int code) { return nameOfCode(MouseTypeTable, code); }
const char* videoTypeName(int code) { return nameOfCode(VideoTypeTable, code); }
