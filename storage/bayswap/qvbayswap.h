// The hot-swap cage library's interface (libqvbayswap.so): one list of the server's drive cages
// whatever their backplane, and the SAF-TE and I2C functions beneath it. Plain functions with
// unmangled names returning a status (0 success; the codes of diskbus_types.h).
#pragma once

#include "cage_types.h"
#include "mirrafin.h"
#include "safte_buffers.h"

#include <diskbus_types.h>

extern "C" {
/* The cage list */
ErrorType DiscoverHSCages(unsigned* pnCagesRet);
ErrorType HSCageGetDesc(unsigned iCage, CageDescType* pCageRet);
ErrorType HSCageAdjustLED(unsigned iCage, unsigned iBay, unsigned iLevel);
ErrorType HSGetMFCageIndex(unsigned iMFCage, int bType, unsigned* piCageRet);
ErrorType HSGetDeviceCageIndex(SCSIAddressType address, unsigned* piCageRet);
/* SAF-TE enclosures */
ErrorType BuildSAFteList(int fIncludeRAID, unsigned* pnUnitsRet);
ErrorType GetSAFteInfo(unsigned iSAFte, CageDescType* pCageDescRet);
ErrorType AdjustSlotState(unsigned iCage, unsigned iSlot, LEDSeverity severity);
ErrorType GetSlotState(unsigned iCage, unsigned iSlot, LEDSeverity* pSeverityRet, int* pfInRet);
ErrorType AdjustTargetState(SCSIAddressType addr, LEDSeverity severity);
ErrorType GetTargetState(SCSIAddressType addr, LEDSeverity* pSeverityRet, int* pfInRet);
ErrorType LEDTestPattern(unsigned iSAFte);
ErrorType ReleaseSAFteList(int fReset);
ErrorType LocateSAFteCtlr(unsigned idAdapter, unsigned idChannel, unsigned* pidSAFteRet);
unsigned GetTargetSAFteType(unsigned idAdapter, unsigned idChannel, unsigned idTarget);
ErrorType DeviceInquiry(unsigned idAdapter, unsigned idChannel, unsigned idTarget, SAFteInquiryType* pInquiry);
}
