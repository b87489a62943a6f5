// Fuzz input as a run of datagrams to a service socket: each is [sender][length][bytes], the
// sender's top bit choosing one of two clients, its low 4 bits the length. With `wideLengths`
// (services that take text fields) the length is instead the next two bytes (little-endian,
// low 10 bits).
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include "fuzz_root.h"

namespace qv::fuzz {

template <class Client>
void sendDatagramRun(InputCursor& in, Client& first, Client& second, const sockaddr_un& to,
                     bool wideLengths = false)
{
    for (int count = 0; in.remaining() > 0 && count < 64; ++count) {
        const uint8_t head = in.u8();
        const size_t length = wideLengths ? in.u16() & 0x3FFu : head & 0x0Fu;
        const std::string_view bytes = in.take(length);
        auto& from = (head & 0x80 ? second : first).Socket();
        from.SetTimeout(0);
        (void)from.Write(bytes.data(), static_cast<int>(bytes.size()), reinterpret_cast<const sockaddr*>(&to),
                         sizeof to);
    }
}

} // namespace qv::fuzz
