// Operating system, floppy drives and the constant answers.
#include "sysapi.h"

CString SYSAPI_GetSystemName() { return HostNosInfo()->getSystemName(); }
CString SYSAPI_GetOperatingSystemName() { return HostNosInfo()->getOperatingSystemName(); }
CString SYSAPI_GetOperatingSystemVersion() { return HostNosInfo()->getOperatingSystemVersion(); }

int SYSAPI_GetFloppyDriveIndexTotal() { return HostFloppyInfo()->GetNbFloppyDrives(); }

FloppyDriveType SYSAPI_GetFloppyDriveType(int i)
{
    return static_cast<FloppyDriveType>(HostFloppyInfo()->GetFloppyDriveType(i));
}

CString SYSAPI_GetSystemSerialNumber() { return CString("Serial_Unknown"); }
CString SYSAPI_GetSystemBIOSLoaderVersionNumber() { return CString(); }
date SYSAPI_GetSystemBootUpTime() { return date{}; }
date SYSAPI_GetSystemDateTime() { return date{}; }
date SYSAPI_GetSystemBIOSReleaseDate() { return date{}; }
int SYSAPI_GetSystemBIOSCharacteristicIndexTotal() { return 1; }
int SYSAPI_GetSystemBIOSCharacteric(int) { return BIOS_PCISupport; }
CString SYSAPI_GetKeyboardType() { return CString("U.S. Standard 101"); }
int SYSAPI_GetMouseInterface() { return MouseInterface_PS2; }
int SYSAPI_GetVideoType() { return VideoType_VGA; }
int SYSAPI_GetBootDiskPriority() { return BootDiskPriority_C_Then_A; }
int SYSAPI_GetHardDriveIndexTotal() { return 0; }
int SYSAPI_GetHardDriveType(int) { return 0; }
int SYSAPI_GetHardDriveCylinders(int) { return 0; }
int SYSAPI_GetHardDriveSectors(int) { return 0; }
int SYSAPI_GetHardDriveHeads(int) { return 0; }
int SYSAPI_GetHardDriveCapacity(int) { return 0; }
