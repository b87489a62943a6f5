// Service side of the shared framing: a request is a command datagram followed by field datagrams
// from the same client, 4-byte integers or texts of at most kServiceTextFieldMax bytes. Datagrams of other clients that arrive meanwhile are kept for
// later requests, never mixed into this one, and what is left of a refused request is dropped.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <sys/un.h>

#include "service_socket.h"

// Largest text field, its terminator included.
inline constexpr int kServiceTextFieldMax = 512;

class CServiceRequestReader {
public:
    explicit CServiceRequestReader(CSocket& socket) : m_oSocket(socket) {}

    // Waits for the next command from any client; false on time-out or failure. A command
    // datagram that is not 4 bytes long is dropped.
    bool ReadCommand(int32_t* pnCommand);
    // Next field of the current request; false when the requester sent none within the time-out
    // or sent a datagram that is not 4 bytes long.
    bool ReadField(int32_t* pnField);
    // Next field of the current request as a text: its characters up to the first NUL, at most
    // kServiceTextFieldMax - 1 of them (a longer or unterminated text is cut), always terminated.
    // False when the requester sent none within the time-out.
    bool ReadTextField(char (&szText)[kServiceTextFieldMax]);
    // Sends the reply to the requester.
    bool Reply(const void* pbData, int cbData);
    // The current request is refused: its remaining fields, queued or still on their way, are
    // dropped instead of being read as a new request.
    void DiscardRest();

    // How long after a refusal late fields of that requester are still dropped. Its client
    // sends nothing new before its own reply time-out, which is far longer.
    void SetDiscardWindow(std::chrono::milliseconds window) { m_discardWindow = window; }

private:
    struct Datagram {
        std::string sender;   // address bytes as received
        std::string data;
    };
    // Receives one datagram from the socket; false on time-out or failure.
    bool Receive(Datagram& d, std::chrono::steady_clock::time_point deadline);
    bool Discarded(const Datagram& d);
    // The requester's next datagram, queued or within the time-out; false when none came.
    bool NextFieldDatagram(std::string& data);

    static constexpr size_t kMaxHeld = 256;   // bound on datagrams kept for later requests

    CSocket& m_oSocket;
    std::deque<Datagram> m_oHeld;
    std::string m_sRequester;
    std::string m_sDiscardSender;
    std::chrono::steady_clock::time_point m_tDiscardUntil{};
    std::chrono::milliseconds m_discardWindow{2000};
};
