// One fuzz session against a service's request loop: a fresh socket at `socketPath`, the input
// queued on it as a run of datagrams from two clients (datagram_run.h), then `serve(reader)`
// with no discard window, so every queued datagram is looked at.
#pragma once

#include "datagram_run.h"
#include "fuzz_root.h"
#include "service_client.h"
#include "service_request.h"
#include "service_socket.h"

#include <sandbox_path.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace qv::fuzz {

template <class Serve>
void runServiceSession(const uint8_t* data, size_t size, const char* socketPath, bool wideLengths, Serve serve)
{
    removeRootFile(socketPath);
    CSocket server;
    if (!server.Create(qv::sandboxPath(socketPath).c_str())) return;
    server.SetTimeout(0);   // everything is queued before serving starts
    CServiceClient first(socketPath), second(socketPath);
    sockaddr_un to{};
    if (!qv::makeUnixAddress(qv::sandboxPath(socketPath), to)) return;
    InputCursor in(data, size);
    sendDatagramRun(in, first, second, to, wideLengths);
    CServiceRequestReader reader(server);
    reader.SetDiscardWindow(std::chrono::milliseconds(0));
    serve(reader);
}

} // namespace qv::fuzz
