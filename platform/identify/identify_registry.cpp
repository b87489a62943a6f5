#include "identify.h"

#include <cstdio>

#include "registry.h"

#include <cstdint>

namespace {

bool inProgramSet(unsigned long code)
{
    return code == 55 || (code >= 59 && code <= 69) || (code >= 71 && code <= 73) ||
           code == 75 || code == 79 || code == 80 || (code >= 82 && code <= 89);
}

} // namespace

bool IsProgramModelCode(unsigned long code) { return inProgramSet(code); }

bool IsLibraryModelCode(unsigned long code) { return inProgramSet(code) && code != 79 && code != 80; }

int IdentifyVelkarnReg(unsigned long* pSpuNum)
{
    // The stored code is 4 bytes; the whole out-value is set, whatever the width of long.
    uint32_t code = 0;
    *pSpuNum = 0;
    if (GetRegData(kRegKeySpuNum, &code, sizeof code) != 0) return 1;
    *pSpuNum = code;
    return 0;
}

bool identifySupportedPlatform()
{
    unsigned long code = 0;
    if (IdentifyVelkarnReg(&code) != 0) {
        std::fputs(kMsgNotQvSystem, stdout);
        return false;
    }
    if (!IsProgramModelCode(code)) {
        std::fputs(kMsgNotSupportedVelkarn, stdout);
        return false;
    }
    return true;
}
