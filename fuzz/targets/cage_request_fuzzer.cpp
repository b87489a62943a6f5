// The drive-cage service's request framing and dispatch, text fields included: the input is a
// run of datagrams, each [sender][length: 2 bytes][bytes], sent by one of two clients to the
// service socket below the private root; the service then answers them over a fixed list of
// three cages. The outside disk library's calls (defined here) succeed at once, and no download
// reaches a network: libcurl gives no handle here, so a URL request fails at once.
#include "cage_protocol.h"
#include "cage_service.h"
#include "service_session.h"
#include "fuzz_root.h"
#include "service_client.h"

#include <curl/curl.h>
#include <qvdiskctl.h>
#include <sandbox_path.h>

#include <chrono>
#include <cstring>
#include <sys/socket.h>

extern "C" {
CURL* curl_easy_init() { return nullptr; }

int SetActivityCallback(QvDiskctlCallback) { return 0; }
int FlashActivityLightAllDrives(unsigned, unsigned, unsigned, int) { return 0; }
int FlashDriveActivityLight(unsigned, unsigned, unsigned, unsigned, int) { return 0; }
int MFAdjustPowerLED(unsigned, unsigned, int level) { return level > 1; }
int GetDriveReadiness(unsigned, unsigned, unsigned, unsigned, int* ready)
{
    *ready = 1;
    return 0;
}
int SetFirmwareCallback(QvDiskctlCallback) { return 0; }
int UpdateDriveFWImage(unsigned, unsigned, unsigned, unsigned, const void*, int) { return 0; }
}

namespace {

class FixedCages final : public CageSource {
public:
    ErrorType Discover(unsigned* pnCages) override
    {
        *pnCages = 3;
        return 0;
    }
    ErrorType GetDesc(unsigned iCage, CageDescType* pDesc) override
    {
        std::memset(pDesc, 0, sizeof *pDesc);
        pDesc->cageAddr = static_cast<uint16_t>(0x4F - 2 * iCage);
        pDesc->nBays = static_cast<uint16_t>(iCage == 2 ? 40 : 3);   // one count beyond the record
        pDesc->idAdapter = iCage == 1 ? 0 : 0xFF;
        pDesc->bType = 1;
        for (unsigned b = 0; b < kCageBaysMax; ++b) pDesc->rgBays[b] = {uint8_t(b), uint8_t(b % 2), uint16_t(b)};
        return 0;
    }
    ErrorType GetAdapterClass(unsigned, int* pidClass) override
    {
        *pidClass = 1;
        return 0;
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    qv::fuzz::makeRootDirectory("/var/qvserver");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FixedCages source;
    static CCages cages(source, [] { return time_t{0}; });
    static const bool built = (cages.Refresh(), true);
    static CDownload download;
    static CFirmware firmware;
    (void)built;
    qv::fuzz::runServiceSession(data, size, kCageSocketPath, true, [](CServiceRequestReader& reader) {
        CCageService service(cages, download, firmware, reader);
        for (int served = 0; served < 80 && service.ServeOne(); ++served) {
        }
    });
    return 0;
}
