#include "ami_adapter.h"

#include "megaraid_requests.h"

#include <kernel_release.h>

namespace {
int firstMegaRaid = -1;
}

uint32_t CAMIScsiAdapter::cbSRB = megaraid::kLongHeader;

CAMIScsiAdapter::CAMIScsiAdapter(unsigned adapterNumber, unsigned transferSize)
    : CScsiAdapter(adapterNumber, transferSize), fKernel22(qv::isKernel22()) {
    nTargetsMax = kTargetsPerChannel;
    cbSRB = fKernel22 ? megaraid::kShortCommandHeader : megaraid::kLongHeader;
    if (firstMegaRaid < 0)
        firstMegaRaid = static_cast<int>(adapterNumber);
    idAdapterNos = adapterNumber - static_cast<unsigned>(firstMegaRaid);
}

CAMIScsiAdapter::~CAMIScsiAdapter() { CloseAdapter(); }

void CAMIScsiAdapter::ResetFirstAdapterForTests() { firstMegaRaid = -1; }

uint32_t CAMIScsiAdapter::OpenAdapter() { return ERR_ADAPTER_NOT_FOUND; }
uint32_t CAMIScsiAdapter::CloseAdapter() { return adapter.Close(); }
uint8_t* CAMIScsiAdapter::GetpDataRet(bool allocate) { return DataArea(cbSRB, allocate); }
bool CAMIScsiAdapter::GetSenseData(sdType*) { return false; }
uint32_t CAMIScsiAdapter::IssueDriveCmd(unsigned, unsigned, const uint8_t*, unsigned) { return ERR_ADAPTER_NOT_FOUND; }
uint32_t CAMIScsiAdapter::SendDriveData(unsigned, unsigned, const uint8_t*, unsigned) { return ERR_ADAPTER_NOT_FOUND; }
uint32_t CAMIScsiAdapter::ManagementCommand(uint8_t*, uint32_t, bool) { return ERR_ADAPTER_NOT_FOUND; }
uint32_t CAMIScsiAdapter::PassThrough(unsigned, unsigned, const uint8_t*, unsigned, bool) { return ERR_ADAPTER_NOT_FOUND; }
