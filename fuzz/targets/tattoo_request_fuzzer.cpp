// The asset-tag service's request framing and dispatch: the input is a run of datagrams, each
// [sender][length][bytes], sent by one of two clients to the service socket below the private
// root; the service then answers them over a fixed inventory of two drives whose library calls
// (defined here) all succeed without a drive behind them.
#include "diskbus_calls.h"
#include "service_session.h"
#include "fuzz_root.h"
#include "service_client.h"
#include "tattoo_protocol.h"
#include "tattoo_service.h"

#include <qvdiskctl.h>
#include <sandbox_path.h>

#include <chrono>
#include <cstring>
#include <sys/socket.h>

extern "C" {
int CountAdapterUnits(int* drives, int* adapters)
{
    *drives = 2;
    *adapters = 1;
    return 0;
}
int GetAllAdapterInfo(adapterInfo* table)
{
    std::memset(table, 'A', sizeof *table);   // texts that fill their arrays
    return 0;
}
int GetAllDiskConfigInfo(DriveConfigInfo* table, int count)
{
    for (int i = 0; i < count; ++i) {
        std::memset(&table[i], 'D', sizeof table[i]);
        table[i].adapterID = 1;
        table[i].channelID = 0;
        table[i].targetID = static_cast<uint32_t>(i);
        table[i].nVendorNameID = i + 3;
    }
    return 0;
}
uint32_t ScsiReadLogPage32h(unsigned, unsigned, unsigned, void* buffer, unsigned length)
{
    std::memset(buffer, 0, length);
    return 0;
}
uint32_t ScsiWriteLogPage32h(unsigned, unsigned, unsigned, const void*, unsigned) { return 0; }
uint32_t ScsiIsDstAvail(unsigned, unsigned, unsigned) { return 0; }
uint32_t ScsiStartDST(unsigned, unsigned, unsigned, unsigned) { return 0; }
uint32_t ScsiCheckDSTsense(unsigned, unsigned, unsigned, int* percent)
{
    *percent = 100;
    return 0;
}
uint32_t ScsiGetDstResults(unsigned, unsigned, unsigned, unsigned, int* result)
{
    *result = 0;
    return 0;
}
uint32_t ScsiGetCompletionTime(unsigned, unsigned, unsigned, int* seconds)
{
    *seconds = 60;
    return 0;
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    qv::fuzz::makeRootDirectory("/var/qvserver");
    setenv(kSelfTestWaitDivisorEnv, "1000000", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CTattoo tattoo;
    static const bool built = tattoo.SetDriveRefresh(0, true);
    (void)built;
    qv::fuzz::runServiceSession(data, size, kTattooSocketPath, false, [](CServiceRequestReader& reader) {
        CTattooService service(tattoo, reader);
        for (int served = 0; served < 80 && service.ServeOne(); ++served) {
        }
    });
    return 0;
}
