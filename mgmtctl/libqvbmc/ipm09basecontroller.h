// Base controller of an IPMI 0.9 baseboard controller: satellites are reached by writing the
// request onto the bus (Master Write I2C) and fetching the answer from the SMS message buffer.
#pragma once

#include "ipmdirectbasecontroller.h"

class CIPM09BaseController : public CIPMDirectBaseController {
public:
    CIPM09BaseController() = default;
    CIPM09BaseController(const CIPM09BaseController&) = default;
    void SendReceiveExternalIPMIMessage(ImbI2cRequest request, int nRequestLength,
                                        ImbI2cResponse* pResponse,
                                        int* pnResponseLength) override;
    int version() const override { return 9; }
    const char* className() const override { return "CIPM09BaseController"; }

private:
    void MasterWriteI2CAndReadSMSMessageBuffer(ImbI2cRequest request, int nRequestLength,
                                               ImbI2cResponse* pResponse, int* pnResponseLength);
};
