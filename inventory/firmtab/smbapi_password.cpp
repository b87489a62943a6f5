// Power-on and keyboard password status: from the hardware security byte on most models, from
// the "Flags" OEM string and fixed answers on the older ones.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "dmi_globals.h"
#include "registry.h"
#include "smbapi.h"
#include "smbapi_text.h"

namespace {

constexpr const char* kModelCodeKey = "SOFTWARE\\Quorvane\\InstantGlimster=SpuNum";
constexpr std::size_t kFlagsDigits = 14;   // "Flags---Status" fills positions 0 to 13

struct FixedAnswer {
    std::initializer_list<int> models;
    const char* status;
};

struct PasswordKind {
    unsigned securityMask;
    unsigned securityShift;
    const char* fromSecurity[4];   // by the masked bits of the security byte
    unsigned flagMask;             // bits of the "Flags" number that mean "set"
    std::initializer_list<FixedAnswer> fixed;
};

const PasswordKind kPowerOn{0xC0, 6, {"0", "1", "2", "2"}, 0x01, {{{59, 62, 63, 68, 71}, "2"}}};
const PasswordKind kKeyboard{0x30, 4, {"0", "1", "3", "2"}, 0x10,
                             {{{59, 60, 62, 64, 65, 71}, "3"}, {{63, 68}, "2"}}};

int GetSystemID()
{
    uint32_t code = 0;
    return GetRegData(kModelCodeKey, &code, sizeof code) == 0 ? int(code) : 0;
}

bool usesSecurityByte(int model) { return model < 59 || model > 71 || model == 61 || model == 70; }

// The two characters after the label, read as a decimal number up to the first non-digit.
unsigned flagsNumber(const char* text)
{
    unsigned value = 0;
    const std::size_t length = std::strlen(text);
    for (std::size_t i = kFlagsDigits; i < std::min(length, kFlagsDigits + 2); ++i) {
        if (text[i] < '0' || text[i] > '9') break;
        value = value * 10 + unsigned(text[i] - '0');
    }
    return value;
}

int passwordStatus(char* buffer, int length, const PasswordKind& kind)
{
    if (!buffer) return ERR_INVALID_PARAMETER;
    const int clamped = std::min(length, 255);
    const int model = GetSystemID();
    if (usesSecurityByte(model)) {
        char work[256] = {};
        if (SMBAPI_GetHardwareSecuritySettings(work, clamped) == 0) {
            unsigned v = 0;
            std::sscanf(work, "%u", &v);
            qv::smbapi::copyTruncating(buffer, clamped, kind.fromSecurity[(v & kind.securityMask) >> kind.securityShift]);
            return 0;
        }
    }
    int checked = length;
    if (int rc = SMBAPI_CheckParam(buffer, &checked, 0, nullptr)) return rc;
    CQVDMIBIOS& bios = *GetDmiBios();
    bool flagSet = false;
    const unsigned count = bios.GetNumberOfOEMStrings();
    for (unsigned n = 1; n <= count; ++n) {
        unsigned char text[256] = {};
        if (!bios.GetStringOfOEMStringOccurence(1, (unsigned char)n, text, 255)) continue;
        const char* s = reinterpret_cast<const char*>(text);
        if (std::strncmp(s, "Flags", 5) != 0) continue;
        const unsigned number = flagsNumber(s);
        std::printf("byte=%d\n", int(number));
        if ((number & kind.flagMask) == kind.flagMask) flagSet = true;
    }
    const char* status = flagSet ? "1" : "0";
    for (const auto& answer : kind.fixed)
        if (std::find(answer.models.begin(), answer.models.end(), model) != answer.models.end()) status = answer.status;
    qv::smbapi::copyTruncating(buffer, checked, status);
    return 0;
}

} // namespace

extern "C" {
int SMBAPI_GetSysPwrOnPass(char* buffer, int length) { return passwordStatus(buffer, length, kPowerOn); }
int SMBAPI_GetkbPassStatus(char* buffer, int length) { return passwordStatus(buffer, length, kKeyboard); }
}
