#include "fru_serials.h"

#include "qvbmc.h"
#include "serial_number.h"

namespace {

const unsigned char kControllers[] = {0x22, 0x20, 0x24, 0x06, 0};

// Offers the serials of every FRU of one package.
void offerPackageSerials(CIpmiSNRank& ranker, CIPMPackageExport* package, unsigned char address)
{
    for (int i = 0; i < package->GetFruCount() && ranker.rank != 1; ++i) {
        CFruExport* fru = package->GetFru(i);
        if (fru == nullptr || fru->ReadFruData() != 0) continue;
        FormattedFruDataStruct* data = fru->GetFormattedFruData();
        if (data == nullptr) continue;
        // Without a programmed board serial the other areas are trusted a little less.
        const int degrade = !(data->fBoardInfoAreaIsProgrammed && data->BoardInfoArea.pszSerialNumber);
        if (data->fProductInfoAreaIsProgrammed)
            ranker.RegisterSN(data->ProductInfoArea.pszSerialNumber, address, SN_PRODUCT, degrade);
        if (data->fChassisInfoAreaIsProgrammed)
            ranker.RegisterSN(data->ChassisInfoArea.pszSerialNumber, address, SN_CHASSIS, degrade);
        if (data->fBoardInfoAreaIsProgrammed)
            ranker.RegisterSN(data->BoardInfoArea.pszSerialNumber, address, SN_BOARD, degrade);
    }
}

} // namespace

bool offerFruSerials(CIpmiSNRank& ranker)
{
    CIPMSystemExport* system = nullptr;
    try {
        system = CreateIPMSystem();
    } catch (CIPMExceptionExport*) {
        return false;
    }
    if (system == nullptr) return false;
    for (const unsigned char* address = kControllers; *address && ranker.rank != 1; ++address) {
        CIPMPackageExport* package = nullptr;
        try {
            package = CreateIPMPackage(*address, 0, system);
            if (package) offerPackageSerials(ranker, package, *address);
        } catch (CIPMExceptionExport*) {
            // this controller's turn ends; the next one is asked
        }
        if (package) DestroyIPMPackage(package);
    }
    DestroyIPMSystem(system);
    return true;
}
