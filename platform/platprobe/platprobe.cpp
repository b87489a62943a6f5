#include "platprobe.h"

#include "identify.h"
#include "registry.h"
#include "sandbox_path.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace {

const char* const kSpuNumKeys[] = {
    "SOFTWARE\\Quorvane\\InstantGlimster=SpuNum",
    kRegKeySpuNum,
};

int report()
{
    unsigned long code = 0;
    if (IdentifyVelkarn(&code) != 0) {
        std::printf("it's NOT a velkarn...\n");
        return 1;
    }
    std::string path = qv::sandboxPath("/usr/qvserver/etc/models.dat");
    bool opened = false;
    std::string line = FindModelLine(path, code, &opened);
    if (!opened) std::printf("file not found: %s\n", path.c_str());
    if (line.empty())
        std::printf("can't get machine name for id  = %ld (%#lx)\n", static_cast<long>(code), code);
    else
        std::fputs(line.c_str(), stdout);
    bool supported = IsLibraryModelCode(code);
    std::printf(supported ? "it's a velkarn...\n" : "it's NOT a velkarn...\n");
    return supported ? 0 : 1;
}

int store()
{
    unsigned long code = 0;
    if (IdentifyVelkarn(&code) != 0) return 1;
    uint32_t stored = static_cast<uint32_t>(code);
    for (const char* key : kSpuNumKeys)
        if (SetRegData(key, &stored, sizeof stored) != 0) return 1;
    return 0;
}

int printCode()
{
    unsigned long code = 0;
    if (IdentifyVelkarn(&code) != 0) return 255;
    std::printf("%ld\n", static_cast<long>(code));
    return 0;
}

} // namespace

std::string FindModelLine(const std::string& modelFile, unsigned long code, bool* found)
{
    std::ifstream in(modelFile);
    *found = in.is_open();
    std::string line;
    unsigned long lineCode = 0;   // a line without a number keeps the one before it
    while (std::getline(in, line)) {
        std::sscanf(line.c_str(), "%lu", &lineCode);
        if (lineCode == code) return in.eof() ? line : line + "\n";
    }
    return {};
}

int RunPlatprobe(int argc, char** argv)
{
    if (argc == 1) return report();
    if (argc == 2 && std::strcmp(argv[1], "-w") == 0) return store();
    if (argc == 2 && std::strcmp(argv[1], "-i") == 0) return printCode();
    std::printf("usage: platprobe [-w]\n");
    return 1;
}
