#include "agent_identification.h"

#include <cstdio>

#include "identify.h"

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
