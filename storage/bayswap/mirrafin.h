// I2C backplane modules: three hot-swap bays and two PCF8574-style port expanders per module on
// the management controller's I2C bus (the A expander drives LEDs and module signals, the
// drive-side expander reads presence and the address switches), and the cage functions that turn
// a module into a cage descriptor and set a bay's LED.
#pragma once

#include "cage_types.h"

#include <cstdint>

// One module's two expanders. The two bytes are the A expander's (index 0) and the drive-side
// expander's (index 1): the last values written in the shadow table, the last values read in a
// module record. Bits are named by the masks below.
struct P8574 {
    uint8_t portA_addr;   // read address of the A expander
    uint8_t port_addr;    // read address of the drive-side expander
    uint8_t u[2];
};
static_assert(sizeof(P8574) == 4);

inline constexpr int kPortA = 0;
inline constexpr int kPortDrive = 1;

// A expander bits.
inline constexpr uint8_t kPowerRight = 0x01;   // bay power LED: 1 green, 0 yellow
inline constexpr uint8_t kPowerMiddle = 0x02;
inline constexpr uint8_t kPowerLeft = 0x04;
inline constexpr uint8_t kTempLow = 0x08;      // temperature signal: both set default
inline constexpr uint8_t kTempHigh = 0x10;
inline constexpr uint8_t kCableType = 0x60;
inline constexpr uint8_t kPowerOnTest = 0x80;  // 0 on
// Drive-side expander bits.
inline constexpr uint8_t kExistRight = 0x01;   // 0: drive present
inline constexpr uint8_t kExistMiddle = 0x02;
inline constexpr uint8_t kExistLeft = 0x04;
inline constexpr uint8_t kMonitor = 0x08;
inline constexpr uint8_t kHigh8Addr = 0x10;    // 0: ids 8 to 14, 1: ids 0 to 6
inline constexpr uint8_t kLoMiddleAddr = 0x20; // 0: middle drive takes the pair's low id
inline constexpr uint8_t kDiscSpinUp = 0x40;   // 0: enabled
inline constexpr uint8_t kLocalSwitch = 0x80;

struct SCSI_TBL {
    uint32_t left_addr;
    uint32_t middle_addr;
    uint32_t right_addr;
};

inline constexpr int kMirrafinModulesMax = 4;

// Statuses beside the legacy I2C codes (2, 4, 8, 16, 32), which pass through.
inline constexpr int kMfNotInShadow = 8;
inline constexpr int kMfNoModule = 20;
inline constexpr int kMfTargetNotInModule = 22;
inline constexpr int kMfModuleUnknown = 24;
inline constexpr int kMfCloseFailed = 32;

extern "C" {
// Cage functions.
ErrorType MFInit(unsigned* pnModulesRet);
ErrorType MFExit(void);
ErrorType GetCageDesc(CageDescType* pCage, unsigned iModule);
ErrorType GetCageInfo(CageInfoType* pInfo, unsigned iModule);
ErrorType MFPowerLightAdjust(unsigned TargetID, unsigned cageaddr, unsigned level);
ErrorType MFPowerLightYellow(unsigned TargetID, unsigned cageaddr);
ErrorType MFPowerLightGreen(unsigned TargetID, unsigned cageaddr);
unsigned GetCageIndex(unsigned cageaddr);
int IDFound(const SCSI_TBL* tbl, unsigned id);
int DriveConst(const SCSI_TBL* tbl, unsigned id);
int GetBayLocation(const SCSI_TBL* tbl, unsigned id);
int DriveExists(int drive, const P8574* module);
ErrorType GetAllModuleIDs(void);

// Port functions.
int MF_GetI2CBus(void);
int MF_ReleaseI2CBus(void);
void MF_GetDriverVersion(char* oem_name, char* version_letter, char* version_major, char* version_minor,
                         char* device_class);
int MF_AutoDiscoverMirrafin(P8574* modules);
int MF_InitMirrafin(P8574* module);
int MF_ResetMirrafin(P8574* module);
int MF_GetAllDriveStatus(P8574* module);
int MF_GetScsiAddr(P8574* module, SCSI_TBL* tbl);
int MF_GetDipSwitchState(P8574* module);
int MF_GetDiscSpinUpState(P8574* module);
int MF_GetMiddleDrvAddr(P8574* module);
int MF_GetHi8ScsiAddrState(P8574* module);
int MF_GetMonitorTestStatus(P8574* module);
int MF_GetDriveExistStatus(P8574* module);
int MF_GetPowerOnTestStatus(P8574* module);
int MF_GetScsiCableType(P8574* module);
int MF_GetModuleTempStatus(P8574* module);
int MF_GetDrivePowerStatus(P8574* module);
int MF_EnableDipSwitch(P8574* module);
int MF_DisableDipSwitch(P8574* module);
int MF_EnableDiscSpinUp(P8574* module);
int MF_DisableDiscSpinUp(P8574* module);
int MF_SetMiddleDrvLowAddr(P8574* module);
int MF_SetMiddleDrvDefaultAddr(P8574* module);
int MF_SetHi8ScsiAddr(P8574* module);
int MF_SetLo8ScsiAddr(P8574* module);
int MF_SetDriveExistON(P8574* module, int drive);
int MF_SetDriveExistDefault(P8574* module, int drive);
int MF_PowerOnTestON(P8574* module);
int MF_PowerOnTestOFF(P8574* module);
int MF_SetModuleTempDefault(P8574* module);
int MF_SetModuleTempEmrgcy(P8574* module);
int MF_SetModuleTempWarning(P8574* module);
int MF_SetDrivePowerOFF(P8574* module, int drive);
int MF_SetDrivePowerStatusDefault(P8574* module, int drive);
}

// The module records of the last discovery, for tests.
const P8574* MirrafinModules(unsigned* count);
// The output shadow of module slot i (0 to 3), for tests.
const P8574* MirrafinShadow(unsigned i);
