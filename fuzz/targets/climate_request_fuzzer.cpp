// The sensor service's request framing and command dispatch: the input is a run of datagrams,
// each [sender][length][bytes], sent by one of two clients to the service socket below the
// private root; the service then answers requests over an empty sensor list until none is left.
#include "climate_protocol.h"
#include "climate_service.h"
#include "datagram_run.h"
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
    qv::fuzz::removeRootFile(kClimateSocketPath);
    CSocket server;
    if (!server.Create(qv::sandboxPath(kClimateSocketPath).c_str()))
        return 0;
    server.SetTimeout(0);   // everything is queued before serving starts
    CServiceClient first(kClimateSocketPath), second(kClimateSocketPath);
    sockaddr_un to{};
    if (!qv::makeUnixAddress(qv::sandboxPath(kClimateSocketPath), to))
        return 0;
    qv::fuzz::InputCursor in(data, size);
    qv::fuzz::sendDatagramRun(in, first, second, to);
    CEnvSensorsList list(nullptr);
    CServiceRequestReader reader(server);
    reader.SetDiscardWindow(std::chrono::milliseconds(0));
    CClimateService service(list, nullptr, reader);
    for (int served = 0; served < 80 && service.ServeOne(); ++served) {
    }
    return 0;
}
