// Base controller of an IPMI 1.0 baseboard controller: satellites are reached by the
// controller's message bridging (Send Message, then Get Message Flags and Get Message).
#pragma once

#include "ipmdirectbasecontroller.h"

class CIPM10BaseController : public CIPMDirectBaseController {
public:
    CIPM10BaseController() = default;
    CIPM10BaseController(const CIPM10BaseController&) = default;
    void SendReceiveExternalIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                        ImbI2cResponse* pResponse,
                                        int* pnResponseLength) override;
    int version() const override { return 10; }
    const char* className() const override { return "CIPM10BaseController"; }
};
