#include "mirrafin.h"

#include <mgmtctl.h>

#include <cstring>

namespace {

const char kDriverOemName[8] = {'Q', 'V', ' ', ' ', ' ', ' ', ' ', ' '};

// Read addresses of the four module positions: A expander, drive-side expander.
constexpr uint8_t kAddresses[kMirrafinModulesMax][2] = {{0x7F, 0x4F}, {0x7D, 0x4D}, {0x7B, 0x4B}, {0x79, 0x49}};

// Indexed by bit 0 of the drive-side address, bit 1 high8_addr, bit 2 lo_mdrv_addr.
constexpr SCSI_TBL kScsiIds[8] = {{12, 8, 14}, {9, 8, 11}, {4, 0, 6}, {1, 0, 3},
                                  {12, 13, 14}, {9, 10, 11}, {4, 5, 6}, {1, 2, 3}};

struct MirrafinState {
    P8574 shadow[kMirrafinModulesMax];
    P8574 modules[kMirrafinModulesMax]{};
    unsigned count = 0;
    uint8_t ids[kMirrafinModulesMax][3]{};

    MirrafinState()
    {
        for (int i = 0; i < kMirrafinModulesMax; ++i)
            shadow[i] = P8574{kAddresses[i][0], kAddresses[i][1], {0xFF, 0xFF}};
    }
};

MirrafinState& state()
{
    static MirrafinState s;
    return s;
}

uint8_t writeAddress(uint8_t readAddress) { return readAddress & 0xFE; }

P8574* GetShadowPort(const P8574* module)
{
    for (P8574& entry : state().shadow)
        if (entry.portA_addr == module->portA_addr && entry.port_addr == module->port_addr) return &entry;
    return nullptr;
}

// Sends one byte; the shadow takes it only when it was sent.
uint8_t ModifyBits(uint8_t slaveAddr, uint8_t* shadowByte, uint8_t value)
{
    const int result = I2C_SendMessage(writeAddress(slaveAddr), &value, 1);
    if (result == 0) *shadowByte = value;
    return static_cast<uint8_t>(result);
}

int readPort(P8574* module, int port)
{
    const uint8_t address = port == kPortA ? module->portA_addr : module->port_addr;
    return I2C_ReceiveMessage(address, &module->u[port], 1);
}

// Writes the shadow byte of one expander with `clear` bits cleared and `set` bits set.
int changeBits(P8574* module, int port, uint8_t clear, uint8_t set)
{
    P8574* shadow = GetShadowPort(module);
    if (!shadow) return kMfNotInShadow;
    const uint8_t address = port == kPortA ? module->portA_addr : module->port_addr;
    return ModifyBits(address, &shadow->u[port], static_cast<uint8_t>((shadow->u[port] & ~clear) | set));
}

uint8_t driveMask(int drive)
{
    switch (drive) {
    case 1: return kExistLeft;     // the same bits on both expanders: left 0x04, middle 0x02, right 0x01
    case 2: return kExistMiddle;
    case 3: return kExistRight;
    default: return kExistLeft | kExistMiddle | kExistRight;
    }
}

// Runs `work` with the bus open and closes it again; the first failure wins.
template <class Work>
int withBus(Work work)
{
    if (const int opened = MF_GetI2CBus(); opened != 0) return opened;
    const int result = work();
    const int closed = MF_ReleaseI2CBus();
    return result != 0 ? result : closed;
}

} // namespace

const P8574* MirrafinModules(unsigned* count)
{
    if (count) *count = state().count;
    return state().modules;
}

const P8574* MirrafinShadow(unsigned i) { return i < kMirrafinModulesMax ? &state().shadow[i] : nullptr; }

extern "C" {

int MF_GetI2CBus(void)
{
    if (const int opened = I2C_OpenDevice(); opened != 0) return opened;
    for (P8574& entry : state().shadow) {
        int result = I2C_GetOutputShadow(writeAddress(entry.portA_addr), &entry.u[kPortA]);
        if (result == 0) result = I2C_GetOutputShadow(writeAddress(entry.port_addr), &entry.u[kPortDrive]);
        if (result != 0) {
            I2C_CloseDevice();
            return result;
        }
    }
    return 0;
}

int MF_ReleaseI2CBus(void) { return I2C_CloseDevice() == 0 ? 0 : kMfCloseFailed; }

void MF_GetDriverVersion(char* oem_name, char* version_letter, char* version_major, char* version_minor,
                         char* device_class)
{
    if (oem_name) std::memcpy(oem_name, kDriverOemName, sizeof kDriverOemName);
    if (version_letter) *version_letter = 'A';
    if (version_major) *version_major = 1;
    if (version_minor) *version_minor = 0;
    if (device_class) *device_class = 1;
}

int MF_GetAllDriveStatus(P8574* module)
{
    if (const int result = readPort(module, kPortDrive); result != 0) return result;
    return readPort(module, kPortA);
}

int MF_InitMirrafin(P8574* module)
{
    P8574* shadow = GetShadowPort(module);
    if (!shadow) return kMfNotInShadow;
    if (const int result = MF_GetAllDriveStatus(module); result != 0) return result;
    // The address switches keep what they read; presence and monitor pins are released.
    const uint8_t driveSide = (module->u[kPortDrive] & kLocalSwitch) ? 0xFF : (module->u[kPortDrive] | 0x0F);
    if (const int result = ModifyBits(module->port_addr, &shadow->u[kPortDrive], driveSide); result != 0)
        return result;
    return ModifyBits(module->portA_addr, &shadow->u[kPortA], 0xFF);
}

int MF_ResetMirrafin(P8574* module)
{
    P8574* shadow = GetShadowPort(module);
    if (!shadow) return kMfNotInShadow;
    if (const int result = ModifyBits(module->port_addr, &shadow->u[kPortDrive], 0xFF); result != 0)
        return result;
    return ModifyBits(module->portA_addr, &shadow->u[kPortA], 0xFF);
}

int MF_AutoDiscoverMirrafin(P8574* modules)
{
    int found = 0;
    for (const auto& pair : kAddresses) {
        P8574& record = modules[found];
        record = P8574{pair[0], pair[1], {0, 0}};
        if (MF_GetAllDriveStatus(&record) == 0 && MF_InitMirrafin(&record) == 0 && MF_GetAllDriveStatus(&record) == 0)
            ++found;
    }
    return found;
}

int MF_GetScsiAddr(P8574* module, SCSI_TBL* tbl)
{
    if (const int result = MF_GetAllDriveStatus(module); result != 0) return result;
    const uint8_t in = module->u[kPortDrive];
    const int index = (module->port_addr & 1) | ((in & kHigh8Addr) ? 2 : 0) | ((in & kLoMiddleAddr) ? 4 : 0);
    *tbl = kScsiIds[index];
    return 0;
}

int MF_GetDipSwitchState(P8574* m) { return readPort(m, kPortDrive); }
int MF_GetDiscSpinUpState(P8574* m) { return readPort(m, kPortDrive); }
int MF_GetMiddleDrvAddr(P8574* m) { return readPort(m, kPortDrive); }
int MF_GetHi8ScsiAddrState(P8574* m) { return readPort(m, kPortDrive); }
int MF_GetMonitorTestStatus(P8574* m) { return readPort(m, kPortDrive); }
int MF_GetDriveExistStatus(P8574* m) { return readPort(m, kPortDrive); }
int MF_GetPowerOnTestStatus(P8574* m) { return readPort(m, kPortA); }
int MF_GetScsiCableType(P8574* m) { return readPort(m, kPortA); }
int MF_GetModuleTempStatus(P8574* m) { return readPort(m, kPortA); }
int MF_GetDrivePowerStatus(P8574* m) { return readPort(m, kPortA); }

int MF_EnableDipSwitch(P8574* m) { return changeBits(m, kPortDrive, 0, 0xF0); }
int MF_DisableDipSwitch(P8574* m) { return changeBits(m, kPortDrive, kLocalSwitch, 0); }
int MF_EnableDiscSpinUp(P8574* m) { return changeBits(m, kPortDrive, kDiscSpinUp, 0); }
int MF_DisableDiscSpinUp(P8574* m) { return changeBits(m, kPortDrive, 0, kDiscSpinUp); }
int MF_SetMiddleDrvLowAddr(P8574* m) { return changeBits(m, kPortDrive, kLoMiddleAddr, 0); }
int MF_SetMiddleDrvDefaultAddr(P8574* m) { return changeBits(m, kPortDrive, 0, kLoMiddleAddr); }
int MF_SetHi8ScsiAddr(P8574* m) { return changeBits(m, kPortDrive, kHigh8Addr, 0); }
int MF_SetLo8ScsiAddr(P8574* m) { return changeBits(m, kPortDrive, 0, kHigh8Addr); }
int MF_SetDriveExistON(P8574* m, int drive) { return changeBits(m, kPortDrive, driveMask(drive), 0); }
int MF_SetDriveExistDefault(P8574* m, int drive) { return changeBits(m, kPortDrive, 0, driveMask(drive)); }
int MF_PowerOnTestON(P8574* m) { return changeBits(m, kPortA, kPowerOnTest, 0); }
int MF_PowerOnTestOFF(P8574* m) { return changeBits(m, kPortA, 0, kPowerOnTest); }
int MF_SetModuleTempDefault(P8574* m) { return changeBits(m, kPortA, 0, kTempLow | kTempHigh); }
int MF_SetModuleTempEmrgcy(P8574* m) { return changeBits(m, kPortA, kTempLow | kTempHigh, 0); }
int MF_SetModuleTempWarning(P8574* m) { return changeBits(m, kPortA, kTempHigh, kTempLow); }
int MF_SetDrivePowerOFF(P8574* m, int drive) { return changeBits(m, kPortA, driveMask(drive), 0); }
int MF_SetDrivePowerStatusDefault(P8574* m, int drive) { return changeBits(m, kPortA, 0, driveMask(drive)); }

unsigned GetCageIndex(unsigned cageaddr)
{
    const MirrafinState& s = state();
    for (unsigned i = 0; i < s.count; ++i)
        if (s.modules[i].port_addr == (cageaddr & 0xFF)) return i;
    return s.count;
}

int IDFound(const SCSI_TBL* tbl, unsigned id)
{
    return tbl->left_addr != id && tbl->middle_addr != id && tbl->right_addr != id;
}

int DriveConst(const SCSI_TBL* tbl, unsigned id)
{
    if (tbl->left_addr == id) return 1;
    if (tbl->middle_addr == id) return 2;
    if (tbl->right_addr == id) return 3;
    return 0;
}

int GetBayLocation(const SCSI_TBL* tbl, unsigned id)
{
    if (tbl->right_addr == id) return 3;
    if (tbl->middle_addr == id) return 2;
    if (tbl->left_addr == id) return 1;
    return 0;
}

int DriveExists(int drive, const P8574* module)
{
    switch (drive) {
    case 1:
    case 2:
    case 3: return module->u[kPortDrive] & driveMask(drive);
    default: return 0;
    }
}

ErrorType GetAllModuleIDs(void)
{
    MirrafinState& s = state();
    for (unsigned i = 0; i < s.count; ++i) {
        SCSI_TBL tbl{};
        if (const int result = withBus([&] { return MF_GetScsiAddr(&s.modules[i], &tbl); }); result != 0)
            return static_cast<ErrorType>(result);
        s.ids[i][0] = static_cast<uint8_t>(tbl.left_addr);
        s.ids[i][1] = static_cast<uint8_t>(tbl.middle_addr);
        s.ids[i][2] = static_cast<uint8_t>(tbl.right_addr);
    }
    return 0;
}

ErrorType MFInit(unsigned* pnModulesRet)
{
    MirrafinState& s = state();
    if (const int opened = MF_GetI2CBus(); opened != 0) return static_cast<ErrorType>(opened);
    s.count = static_cast<unsigned>(MF_AutoDiscoverMirrafin(s.modules));
    MF_ReleaseI2CBus();
    if (s.count == 0) return kMfNoModule;
    if (const ErrorType result = GetAllModuleIDs(); result != 0) return result;
    if (pnModulesRet) *pnModulesRet = s.count;
    return 0;
}

ErrorType MFExit(void) { return 0; }

ErrorType GetCageDesc(CageDescType* pCage, unsigned iModule)
{
    MirrafinState& s = state();
    if (iModule >= s.count) {
        if (pCage) pCage->nBays = 0;
        return kMfModuleUnknown;
    }
    P8574& module = s.modules[iModule];
    SCSI_TBL current{};
    const int result = withBus([&] { return MF_GetScsiAddr(&module, &current); });
    if (!pCage) return static_cast<ErrorType>(result);
    if (result != 0) {
        pCage->nBays = 0;
        return static_cast<ErrorType>(result);
    }
    pCage->cageAddr = module.port_addr;
    pCage->idAdapter = 0xFF;
    pCage->idChannel = 0xFF;
    pCage->bType = bMF1;
    pCage->reserved = 0;
    for (int bay = 0; bay < 3; ++bay) {
        BayInfoType& b = pCage->rgBays[bay];
        b.idTarget = s.ids[iModule][bay];
        b.location = static_cast<uint16_t>(GetBayLocation(&current, b.idTarget));
        // Presence pins are active low.
        b.bPresent = DriveExists(b.location, &module) ? 0 : 1;
    }
    pCage->nBays = 3;
    return 0;
}

ErrorType GetCageInfo(CageInfoType* pInfo, unsigned iModule)
{
    CageDescType desc{};
    const ErrorType result = GetCageDesc(&desc, iModule);
    if (!pInfo) return result;
    pInfo->cageAddr = desc.cageAddr;
    pInfo->nBays = desc.nBays;
    if (result == 0) std::memcpy(pInfo->rgBays, desc.rgBays, desc.nBays * sizeof(BayInfoType));
    return result;
}

ErrorType MFPowerLightAdjust(unsigned TargetID, unsigned cageaddr, unsigned level)
{
    MirrafinState& s = state();
    const unsigned index = GetCageIndex(cageaddr);
    if (index >= s.count) return kMfModuleUnknown;
    P8574& module = s.modules[index];
    SCSI_TBL current{};
    if (const int result = withBus([&] { return MF_GetScsiAddr(&module, &current); }); result != 0)
        return static_cast<ErrorType>(result);
    if (IDFound(&current, TargetID)) return kMfTargetNotInModule;
    const int drive = DriveConst(&current, TargetID);
    if (const int opened = MF_GetI2CBus(); opened != 0) return static_cast<ErrorType>(opened);
    const int set = level != 0 ? MF_SetDrivePowerOFF(&module, drive) : MF_SetDrivePowerStatusDefault(&module, drive);
    MF_ReleaseI2CBus();   // what counts is whether the LED changed
    return static_cast<ErrorType>(set);
}

ErrorType MFPowerLightYellow(unsigned TargetID, unsigned cageaddr) { return MFPowerLightAdjust(TargetID, cageaddr, 1); }
ErrorType MFPowerLightGreen(unsigned TargetID, unsigned cageaddr) { return MFPowerLightAdjust(TargetID, cageaddr, 0); }

} // extern "C"
