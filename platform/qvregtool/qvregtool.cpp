#include "qvregtool.h"

#include "identify.h"
#include "registry.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned kStringBufferSize = 1024;

void printUsage()
{
    std::printf("QVREGTOOL - QV Get/Set Registry Data\n\n"
                "Usage: qvregtool <cmd> <key> <type> [ <value> ]\n\n"
                "Where:\n"
                "\t<cmd>:\t-g (get) or -s (set)\n"
                "\t<key>:\tThe full registry key in the format \"key=value\"\n"
                "\t<type>:\tThe type of value (integer or string)\n"
                "\t<value>:\tThe new value\n\n");
}

int unknownType(const char* type)
{
    std::fprintf(stderr, "Unknown type: %s\n", type);
    return 1;
}

// Values are 32-bit: out-of-range text saturates as the 32-bit conversion always did.
int32_t parseInteger(const char* text)
{
    long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

unsigned getValue(const char* key, const char* type, bool* knownType)
{
    *knownType = true;
    if (std::strcmp(type, "integer") == 0) {
        int32_t value = 0;
        unsigned status = GetRegData(key, &value, sizeof value);
        if (status == 0) std::printf("%ld\n", static_cast<long>(value));
        return status;
    }
    if (std::strcmp(type, "string") == 0) {
        // One byte beyond what is read, so the text is always terminated.
        char text[kStringBufferSize + 1] = {};
        unsigned status = GetRegData(key, text, kStringBufferSize);
        if (status == 0) std::puts(text);
        return status;
    }
    *knownType = false;
    return 0;
}

unsigned setValue(const char* key, const char* type, const char* value, bool* knownType)
{
    *knownType = true;
    if (std::strcmp(type, "integer") == 0) {
        int32_t number = parseInteger(value);
        return SetRegData(key, &number, sizeof number);
    }
    if (std::strcmp(type, "string") == 0) return SetRegData(key, value, std::strlen(value));
    *knownType = false;
    return 0;
}

} // namespace

int RunQvregtool(int argc, char** argv)
{
    unsigned long code = 0;
    if (IdentifyVelkarnReg(&code) != 0) {
        std::printf("%s", kMsgNotQvSystem);
        return 1;
    }
    if (!IsProgramModelCode(code)) {
        std::printf("%s", kMsgNotSupportedVelkarn);
        return 1;
    }
    bool knownType = true;
    unsigned status = 0;
    if (argc == 4 && std::strcmp(argv[1], "-g") == 0) {
        status = getValue(argv[2], argv[3], &knownType);
    } else if (argc == 5 && std::strcmp(argv[1], "-s") == 0) {
        status = setValue(argv[2], argv[3], argv[4], &knownType);
    } else {
        printUsage();
        return 1;
    }
    if (!knownType) return unknownType(argv[3]);
    // The exit status carries the low byte of the code; a failure never reads as success.
    if (status != 0 && (status & 0xFF) == 0) return 1;
    return static_cast<int>(status & 0xFF);
}
