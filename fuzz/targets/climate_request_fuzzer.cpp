// The sensor service's request framing and command dispatch: the input is a run of datagrams,
// each [sender][length][bytes], sent by one of two clients to the service socket below the
// private root; the service then answers requests over an empty sensor list until none is left.
#include "climate_protocol.h"
#include "climate_service.h"
#include "service_session.h"
#include "fuzz_root.h"
#include "service_client.h"

#include <sandbox_path.h>

#include <chrono>
#include <sys/socket.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    qv::fuzz::makeRootDirectory("/var/qvserver");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::runServiceSession(data, size, kClimateSocketPath, false, [](CServiceRequestReader& reader) {
        CEnvSensorsList list(nullptr);
        CClimateService service(list, nullptr, reader);
        for (int served = 0; served < 80 && service.ServeOne(); ++served) {
        }
    });
    return 0;
}
