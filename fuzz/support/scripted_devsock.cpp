#include "scripted_devsock.h"

#include "channel_hook.h"
#include "device_channel.h"
#include "fuzz_root.h"

#include <cerrno>

namespace qv::fuzz {
namespace {

InputCursor g_script(nullptr, 0);

int nextAnswer(const devsock::ChannelRequest& request, devsock::ChannelReply& reply)
{
    if (g_script.remaining() < 2) return EIO;
    const uint8_t flags = g_script.u8();
    const auto bytes = g_script.take(g_script.u8());
    if (flags & 1) return EIO;
    const std::vector<uint8_t> answer(bytes.begin(), bytes.end());
    return devsock::splitStatusAndData(answer, request.statusLength, reply) ? 0 : EIO;
}

} // namespace

void scriptDeviceReplies(const uint8_t* data, size_t size)
{
    g_script = InputCursor(data, size);
    mgmtctl::setDeviceChannelFactoryForTests(
        [] { return std::make_unique<devsock::ScriptedChannel>(nextAnswer); });
}

} // namespace qv::fuzz
