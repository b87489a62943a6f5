#include "locator_led.h"

#include "mgmtctl.h"

namespace {

constexpr int kAppNetFnLun = 0x18;   // network function 0x06, LUN 0
constexpr int kGetLedCommand = 0xDD;
constexpr int kSetLedCommand = 0xDC;

// One command inside an open/close pair; the close's failure counts when the command succeeded.
int exchange(int command, unsigned char* request, int requestLength, unsigned char* response, int capacity)
{
    int result = RetryMMC_OpenDevice();
    if (result != 0) return result;
    int length = capacity;
    result = MMC_SendRcvMesg(kAppNetFnLun, command, request, requestLength, response, &length);
    const int closed = RetryMMC_CloseDevice();
    return result != 0 ? result : closed;
}

// 0 when supported; kLedNotSupported, or the controller library's error.
int requireSupport()
{
    int supported = 0;
    const int result = RLED_CheckSupported(&supported);
    if (result != 0) return result;
    return supported ? 0 : kLedNotSupported;
}

} // namespace

int RLED_CheckSupported(int* supported)
{
    unsigned char response[2] = {0xFF, 0};
    const int result = exchange(kGetLedCommand, nullptr, 0, response, sizeof response);
    if (supported) *supported = (result == 0 && response[0] == 0) ? 1 : 0;
    return result;
}

int Get_LEDState(unsigned char* state)
{
    if (state) *state = 0;
    int result = requireSupport();
    if (result != 0) return result;
    unsigned char response[2] = {0xFF, 0};
    result = exchange(kGetLedCommand, nullptr, 0, response, sizeof response);
    if (result == 0 && response[0] == 0 && state) *state = response[1] & 1;
    return result;
}

int Set_LEDState(unsigned char on)
{
    int result = requireSupport();
    if (result != 0) return result;
    unsigned char request[1] = {static_cast<unsigned char>(on & 1)};
    unsigned char response[1] = {0xFF};
    result = exchange(kSetLedCommand, request, sizeof request, response, sizeof response);
    // A refusal by the controller is no success.
    return result != 0 ? result : response[0];
}
