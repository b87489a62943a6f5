// The cost of one bare exchange with the controller, as the IPMI library's direct exchange makes
// it: open the device, one Get Device ID through the driver tunnel, close the device, no pause.
// Runs COUNT exchanges (after a few warm-up ones) and prints the median in microseconds; any
// failed open, exchange or close stops it with "FAILED WHAT" and exit status 1.
//
// Usage: bare_exchange [COUNT]   (QV_ROOT names the simulated server's root)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mgmtctl.h"

namespace {

// 0 when the exchange and its answer are sound, else what failed.
const char* oneExchange()
{
    if (RetryMMC_OpenDevice() != 0) return "open";
    unsigned char request[2] = {0x06 << 2, 0x01};   // application, Get Device ID
    unsigned char answer[32];
    int length = sizeof answer;
    const int result = TunnelSendReceive(request, sizeof request, answer, &length);
    const bool answered = result == 0 && length >= 3 && answer[2] == 0;
    if (RetryMMC_CloseDevice() != 0) return "close";
    return answered ? nullptr : "exchange";
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    for (int i = 0; i < 5; ++i)
        if (const char* what = oneExchange()) {
            std::printf("FAILED %s\n", what);
            return 1;
        }
    std::vector<double> micros;
    micros.reserve(count);
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (const char* what = oneExchange()) {
            std::printf("FAILED %s\n", what);
            return 1;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(micros.begin(), micros.begin() + count / 2, micros.end());
    std::printf("%.1f\n", micros[count / 2]);
    return 0;
}
