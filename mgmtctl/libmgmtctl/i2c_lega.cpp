// The older I2C programming interface, kept for callers written against it: transfers run through
// the controller's master I2C commands on bus 0, and the last byte written to each slave is kept.
#include "mgmtctl.h"

#include <cstring>

namespace {

enum LegacyResult {
    kLegacyOk = 0,
    kLostArbitration = 2,
    kDeviceOpenClose = 4,
    kNoAcknowledge = 8,
    kBusError = 16,
    kOtherFailure = 32,
};

constexpr int kLegacyBus = 0;
constexpr int kShadowEntries = 128;

unsigned char shadow[kShadowEntries];

int legacyResult(int result)
{
    switch (result) {
    case 0: return kLegacyOk;
    case 1: return kLostArbitration;
    case 2: return kBusError;
    case 3:
    case 5: return kNoAcknowledge;
    default: return kOtherFailure;
    }
}

int slaveAddress(int addr) { return addr & 0xFF; }

// Only 7-bit addresses have a shadow entry.
void recordShadow(int addr, unsigned char lastByte)
{
    if (slaveAddress(addr) < kShadowEntries) shadow[slaveAddress(addr)] = lastByte;
}

} // namespace

extern "C" int I2C_OpenDevice(void) { return MMC_OpenDevice() == 0 ? kLegacyOk : kDeviceOpenClose; }

extern "C" int I2C_CloseDevice(void)
{
    return MMC_CloseDevice() == 0 ? kLegacyOk : kDeviceOpenClose;
}

extern "C" int I2C_SendMessage(int addr, const unsigned char* data, int len)
{
    if (len <= 0 || data == nullptr) return kOtherFailure;
    recordShadow(addr, data[len - 1]);
    return legacyResult(MMC_MasterWriteI2C(kLegacyBus, slaveAddress(addr), data, len));
}

extern "C" int I2C_ReceiveMessage(int addr, unsigned char* data, int len)
{
    if (len < 0 || (len > 0 && data == nullptr)) return kOtherFailure;
    int count = len;
    return legacyResult(MMC_MasterReadI2C(kLegacyBus, slaveAddress(addr), data, &count));
}

extern "C" int I2C_RepeatStartMesg(int addr, const unsigned char* idata, int ilen,
                                   unsigned char* odata, int olen)
{
    if (ilen <= 0 || olen <= 0 || idata == nullptr || odata == nullptr) return kOtherFailure;
    // The byte that stands last in the receive buffer at the call is what callers expect here.
    recordShadow(addr, odata[olen - 1]);
    int count = olen;
    return legacyResult(
        MMC_MasterWriteReadI2C(kLegacyBus, slaveAddress(addr), idata, ilen, odata, &count));
}

extern "C" int I2C_GetOutputShadow(int slave_addr, unsigned char* outp_data)
{
    if (slaveAddress(slave_addr) >= kShadowEntries || outp_data == nullptr) return 1;
    *outp_data = shadow[slaveAddress(slave_addr)];
    return 0;
}

extern "C" int I2C_Reset8584(int, int) { return 0; }

extern "C" int I2C_ResetBus(int, int) { return 0; }

extern "C" void I2C_GetDriverVersion(char* oem_name, char* version_letter,
                                     unsigned char* version_major, unsigned char* version_minor)
{
    char name[8] = {};
    MMC_GetDriverVersion(name, version_letter, version_major, version_minor);
    if (oem_name) std::memcpy(oem_name, name, sizeof name);
}

extern "C" int I2C_GetKernelDriverVersion(char* oem_name, char* version_letter,
                                          unsigned char* version_major,
                                          unsigned char* version_minor)
{
    return MMC_GetKernelDriverVersion(oem_name, version_letter, version_major, version_minor) == 0
               ? kLegacyOk
               : kOtherFailure;
}
