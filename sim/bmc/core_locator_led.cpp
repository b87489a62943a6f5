// The maker's locator LED commands of the application network function: 0xDD answers the LED
// state in bit 0 of its one data byte, 0xDC sets it from bit 0 of its one request byte.
#include "controller_core.h"

namespace qv::sim {

Bytes ControllerCore::locatorLedCommand(uint8_t cmd, const Bytes& d) {
    if (cmd == kGetLocatorLedCommand)
        return d.empty() ? answer(cc::kOk, {locatorLed}) : answer(cc::kRequestLength);
    if (d.size() != 1)
        return answer(cc::kRequestLength);
    locatorLed = d[0] & 1;
    return answer(cc::kOk);
}

} // namespace qv::sim
