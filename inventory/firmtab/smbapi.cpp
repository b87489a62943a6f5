#include "smbapi.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "dmi_globals.h"
#include "segment_view.h"
#include "smbapi_text.h"

using qv::smbapi::bytes;
using qv::smbapi::copyTruncating;
using qv::smbapi::copyWhole;
using qv::smbapi::megabytesFromExponent;
using UC = unsigned char;
using US = unsigned short;

namespace qv::smbapi {

int copyTruncating(char* buffer, int length, const std::string& text)
{
    if (!buffer || length < 1) return ERR_BUFFER_TOO_SMALL;
    qv::dmi::copyText(bytes(buffer), std::size_t(length), text.c_str());
    return text.size() < std::size_t(length) ? 0 : ERR_BUFFER_TOO_SMALL;
}

int copyWhole(char* buffer, int length, const std::string& text)
{
    if (!buffer || length < 1 || text.size() >= std::size_t(length)) return ERR_BUFFER_TOO_SMALL;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
}

std::optional<uint64_t> megabytesFromExponent(unsigned exponent)
{
    if (exponent >= 64) return std::nullopt;
    return uint64_t(1) << exponent;
}

} // namespace qv::smbapi

namespace {

constexpr int kMaxLength = 255;

CQVDMIBIOS& bios() { return *GetDmiBios(); }

// The size byte's values that mean "no module".
bool isNoModuleSize(unsigned size) { return size >= 125 && size <= 127; }

bool moduleInstalled(int module)
{
    UC raw = 0;
    return bios().GetModInstalledSize(module, raw) && !isNoModuleSize(raw);
}

int textCall(char* buffer, int length, int (CQVDMIBIOS::*getter)(UC*, UC))
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 0, nullptr)) return rc;
    (bios().*getter)(bytes(buffer), UC(length));
    return 0;
}

template <typename Value>
int wholeNumberCall(char* buffer, int length, int (CQVDMIBIOS::*getter)(Value&))
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 0, nullptr)) return rc;
    Value v{};
    if (!(bios().*getter)(v)) return ERR_DMI_NOT_PRESENT;
    return copyWhole(buffer, length, std::to_string(v));
}

// Empty slots read as "0"; installed ones give the module getter's number.
template <typename Value>
int moduleNumberCall(int index, char* buffer, int length, int (CQVDMIBIOS::*getter)(int, Value&))
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 1, &index)) return rc;
    if (!moduleInstalled(index)) return copyWhole(buffer, length, "0");
    Value v{};
    if (!(bios().*getter)(index, v)) return ERR_DMI_NOT_PRESENT;
    return copyWhole(buffer, length, std::to_string(v));
}

int moduleSizeText(char* buffer, int length, unsigned size)
{
    if (isNoModuleSize(size)) {
        copyTruncating(buffer, length, "0");
        return 0;
    }
    auto mb = megabytesFromExponent(size);
    if (!mb) return ERR_DMI_NOT_PRESENT;
    const std::string text = std::to_string(*mb) + " MB\t";
    if (text.size() >= std::size_t(length)) return ERR_DMI_NOT_PRESENT;
    return copyWhole(buffer, length, text);
}

} // namespace

extern "C" {

int SMBAPI_CheckParam(char* buffer, int* length, int moduleCall, int* index)
{
    if (!buffer || !length) return ERR_INVALID_PARAMETER;
    if (*length > kMaxLength) *length = kMaxLength;
    if (*length < 1) return ERR_BUFFER_TOO_SMALL;   // nothing, not even a NUL, fits
    if (!bios().IsDMIBIOSPresent()) return ERR_DMI_NOT_PRESENT;
    if (index) {
        if (*index == INT_MAX) return ERR_INDEX_OUT_OF_RANGE;
        *index += 1;
        if (moduleCall && (*index < 1 || *index > int(UC(bios().GetNumberOfMemMod()))))
            return ERR_INDEX_OUT_OF_RANGE;
    }
    return 0;
}

int SMBAPI_GetSystemVersion(char* b, int l) { return textCall(b, l, &CQVDMIBIOS::GetSystemVersion); }
int SMBAPI_GetComputerName(char* b, int l) { return textCall(b, l, &CQVDMIBIOS::GetComputerName); }
int SMBAPI_GetBiosVersion(char* b, int l) { return textCall(b, l, &CQVDMIBIOS::GetBiosVersion); }
int SMBAPI_GetQVSerialNumber(char* b, int l) { return textCall(b, l, &CQVDMIBIOS::GetQVSerialNumber); }
int SMBAPI_GetSerialNumber(char* b, int l) { return SMBAPI_GetQVSerialNumber(b, l); }
int SMBAPI_GetVideoBiosVersion(char* b, int l) { return textCall(b, l, &CQVDMIBIOS::GetVideoBiosVersion); }
int SMBAPI_GetSCSIBiosVersion(char* b, int l) { return textCall(b, l, &CQVDMIBIOS::GetSCSIBiosVersion); }
int SMBAPI_GetSystemModel(char* b, int l) { return textCall(b, l, &CQVDMIBIOS::GetSystemModel); }

int SMBAPI_GetMaxModSize(char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 0, nullptr)) return rc;
    UC exponent = 0;
    if (!bios().GetMaxModSize(exponent)) return ERR_DMI_NOT_PRESENT;
    auto mb = megabytesFromExponent(exponent);
    if (!mb) return ERR_DMI_NOT_PRESENT;
    return copyTruncating(buffer, length, std::to_string(*mb) + " MB");
}

int SMBAPI_GetMemNumSlots(char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 0, nullptr)) return rc;
    UC slots = 0;
    if (!bios().GetMemNumSlots(slots)) return ERR_DMI_NOT_PRESENT;
    return copyTruncating(buffer, length, std::to_string(slots));
}

int SMBAPI_GetMemErrMethod(char* b, int l) { return wholeNumberCall(b, l, &CQVDMIBIOS::GetMemErrMethod); }
int SMBAPI_GetMemInterleave(char* b, int l) { return wholeNumberCall(b, l, &CQVDMIBIOS::GetMemInterleave); }
int SMBAPI_GetMemECCTypes(char* b, int l) { return wholeNumberCall(b, l, &CQVDMIBIOS::GetMemECCTypes); }
int SMBAPI_GetMemVoltage(char* b, int l) { return wholeNumberCall(b, l, &CQVDMIBIOS::GetMemVoltage); }
int SMBAPI_GetMemSpeed(char* b, int l) { return wholeNumberCall(b, l, &CQVDMIBIOS::GetMemSpeed); }
int SMBAPI_GetMemTypes(char* b, int l) { return wholeNumberCall(b, l, &CQVDMIBIOS::GetMemTypes); }
int SMBAPI_GetProcessorType(char* b, int l) { return wholeNumberCall(b, l, &CQVDMIBIOS::GetProcessorType); }

int SMBAPI_GetHardwareSecuritySettings(char* b, int l)
{
    return wholeNumberCall(b, l, &CQVDMIBIOS::GetHardwareSecuritySettings);
}

int SMBAPI_GetMemModSocket(int index, char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 1, &index)) return rc;
    return bios().GetMemModSocket(index, bytes(buffer), UC(length)) ? 0 : ERR_DMI_NOT_PRESENT;
}

int SMBAPI_GetModBankConnect(int index, char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 1, &index)) return rc;
    if (!moduleInstalled(index)) {
        copyTruncating(buffer, length, "-");
        return 0;
    }
    UC bank = 0;
    if (!bios().GetModBankConnect(index, bank)) return ERR_DMI_NOT_PRESENT;
    std::string text = "RAS# " + std::to_string(bank >> 4) + " ";
    if ((bank & 0x0F) != 0x0F) text += "& RAS# " + std::to_string(bank & 0x0F) + " ";
    return copyTruncating(buffer, length, text);
}

int SMBAPI_GetModSpeed(int i, char* b, int l) { return moduleNumberCall(i, b, l, &CQVDMIBIOS::GetModSpeed); }
int SMBAPI_GetModType(int i, char* b, int l) { return moduleNumberCall(i, b, l, &CQVDMIBIOS::GetModType); }

int SMBAPI_GetModInstalledSize(int index, char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 1, &index)) return rc;
    return moduleSizeText(buffer, length, bios().GetSizeOfSIMMSlotOccurrence(UC(index)) & 0x7F);
}

int SMBAPI_GetModEnabledSize(int index, char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 1, &index)) return rc;
    UC size = 0;
    if (!bios().GetModEnabledSize(index, size)) return ERR_DMI_NOT_PRESENT;
    return moduleSizeText(buffer, length, size & 0x7F);
}

int SMBAPI_GetProcessorSpeed(int index, char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 0, &index)) return rc;
    US speed = 0;
    if (!bios().GetProcessorSpeed(index, speed)) return ERR_DMI_NOT_PRESENT;
    return copyWhole(buffer, length, std::to_string(speed));
}

int SMBAPI_GetProcessorStepping(int index, char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 0, &index)) return rc;
    unsigned long long id = 0;
    if (!bios().GetProcessorID(index, id)) return ERR_DMI_NOT_PRESENT;
    return copyWhole(buffer, length, std::to_string(id & 0x0F));
}

int SMBAPI_GetProcessorVersion(int index, char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 0, &index)) return rc;
    if (bios().GetProcessorVersion(index, bytes(buffer), UC(length))) {
        bool blank = true;
        for (const char* p = buffer; *p && blank; ++p) blank = std::isspace(UC(*p)) != 0;
        if (blank) copyTruncating(buffer, length, "Pentium class");
    }
    return 0;
}

int SMBAPI_GetTotalMemSize(char* buffer, int length)
{
    if (int rc = SMBAPI_CheckParam(buffer, &length, 0, nullptr)) return rc;
    const unsigned modules = UC(bios().GetNumberOfMemMod());
    uint64_t total = 0;
    for (unsigned m = 1; m <= modules; ++m) {
        const unsigned size = bios().GetSizeOfSIMMSlotOccurrence(UC(m)) & 0x7F;
        auto mb = isNoModuleSize(size) ? std::nullopt : megabytesFromExponent(size);
        if (mb) total = total > UINT64_MAX - *mb ? UINT64_MAX : total + *mb;
    }
    const std::string text = std::to_string(total) + " MB";
    copyTruncating(buffer, length, text.size() < std::size_t(length) ? text : "0");
    return 0;
}

int SMBAPI_GetNumberOfMemMod()
{
    return bios().IsDMIBIOSPresent() ? UC(bios().GetNumberOfMemMod()) : 0;
}

int SMBAPI_GetTotalNumberOfProcessors()
{
    const unsigned count = UC(bios().GetNumberOfProcessor());
    int running = 0;
    for (unsigned n = 1; n <= count; ++n) {
        const UC status = bios().GetStatusOfProcessorOccurence(UC(n));
        if (status != 0 && (status & 0x07) == 1) ++running;
    }
    return running;
}

} // extern "C"
