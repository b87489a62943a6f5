// One request message of the IPMI cache service as read from its request FIFO: the reply FIFO
// name check, the opening of the reply FIFO below the private root, and the request handling over
// stand-in system, package and sensor objects whose cached record comes from the input.
#include "fake_ipmi_objects.h"
#include "fuzz_root.h"
#include "pipe_server.h"
#include "request_handler.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace qv::bmccache::test;

// The one reply FIFO present below the root.
constexpr char kReplyPipe[] = "/var/qvserver/pipe.ret00042";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string& root = qv::fuzz::privateRoot();
    qv::fuzz::makeRootDirectory("/var/qvserver");
    (void)::mkfifo((root + kReplyPipe).c_str(), 0600);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // [request message as read from the FIFO][flags][sensor 0 record][sensor 0 reading]
    qv::fuzz::InputCursor in(data, size);
    RequestMessage message{};
    const std::string_view raw = in.take(sizeof message);
    std::memcpy(&message, raw.data(), raw.size());
    const uint8_t flags = in.u8();
    FakeSystem system;
    FakeSensor& sensor = system.package.sensors[0];
    sensor.hasSdr = !(flags & 1);
    sensor.readingResult = (flags & 2) ? 0xA01A0000 : 0;
    const std::string_view record = in.take(sizeof sensor.sdr);
    std::memcpy(&sensor.sdr, record.data(), record.size());
    const std::string_view reading = in.take(sizeof sensor.reading);
    std::memcpy(&sensor.reading, reading.data(), reading.size());

    const bool named = isReplyPipeName(message.szRetPipeName, sizeof message.szRetPipeName);
    const int fd = openReplyPipe(message.szRetPipeName, sizeof message.szRetPipeName);
    if (fd >= 0 && !named)
        std::abort();   // a reply only ever goes to a name of the protocol
    if (named && std::strncmp(message.szRetPipeName, kIpmiReplyPipePrefix,
                              sizeof kIpmiReplyPipePrefix - 1) != 0)
        std::abort();

    CacheFigures figures;
    figures.bVersion = flags;
    const ResponseBlock reply = handleRequest(message.request, figures, &system);
    if (reply.opCode != message.request.opCode || reply.cbData > sizeof reply.data)
        std::abort();
    if (reply.status == IPMI_STATUS_OK && reply.cbData > message.request.cbMaxSize)
        std::abort();
    if (fd >= 0) {
        (void)!::write(fd, &reply, sizeof reply);
        ResponseBlock back{};
        (void)!::read(fd, &back, sizeof back);   // drained, so the FIFO never fills
        ::close(fd);
    }
    return 0;
}
