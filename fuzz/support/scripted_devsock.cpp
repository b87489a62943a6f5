#include "scripted_devsock.h"

#include "devsock.h"
#include "fuzz_root.h"

#include <cerrno>

namespace qv::fuzz {

namespace {
InputCursor g_script(nullptr, 0);
} // namespace

void scriptDeviceReplies(const uint8_t* data, size_t size) { g_script = InputCursor(data, size); }

} // namespace qv::fuzz

namespace qv::devsock {

bool isSocketNode(const std::string&) { return true; }

Connection::~Connection() { close(); }

int Connection::open(const std::string&)
{
    fd_ = 0;
    return 0;
}

int Connection::exchange(uint32_t, const std::vector<uint8_t>&, uint32_t, Reply& reply)
{
    auto& script = qv::fuzz::g_script;
    if (script.remaining() < 2) return EIO;
    const uint8_t flags = script.u8();
    const auto bytes = script.take(script.u8());
    reply.result = (flags & 1) ? -1 : 0;
    reply.error = (flags & 1) ? EIO : 0;
    reply.data.assign(bytes.begin(), bytes.end());
    return 0;
}

void Connection::close() { fd_ = -1; }

} // namespace qv::devsock
