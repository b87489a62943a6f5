#include "raid_info.h"

IRaidInfo::~IRaidInfo() {}
uint32_t IRaidInfo::FindLogicalDrive(SCSIAddressType, unsigned*) { return ERR_LD_NOT_FOUND; }
uint32_t CRaidInfo::RefreshConfig() { return 0; }
uint32_t CRaidInfo::FindLogicalDrive(SCSIAddressType, unsigned* index) { *index = 0; return 0; }
uint32_t CAMIRaidInfo::cbHeader = 110;
CAMIRaidInfo::CAMIRaidInfo() : IRaidInfo(110 + 32768), fKernel22(false) {}
uint32_t CAMIRaidInfo::RefreshConfig() { return ERR_ADAPTER_NOT_FOUND; }
