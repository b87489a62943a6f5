// The cage source of the running service: the hot-swap cage library's cage list and the SCSI
// library's adapter information.
#include "cage_source.h"

#include "qvbayswap.h"
#include "qvdiskbus.h"

namespace {

class BayswapCageSource final : public CageSource {
public:
    ErrorType Discover(unsigned* pnCages) override { return DiscoverHSCages(pnCages); }
    ErrorType GetDesc(unsigned iCage, CageDescType* pDesc) override { return HSCageGetDesc(iCage, pDesc); }
    ErrorType GetAdapterClass(unsigned idAdapter, int* pidClass) override
    {
        HBAInfoType info{};
        const ErrorType status = ScsiGetAdapterInfo(idAdapter, 1, &info);
        if (status == 0) *pidClass = info.idClass;
        return status;
    }
};

} // namespace

CageSource& bayswapCageSource()
{
    static BayswapCageSource source;
    return source;
}
