// What both base controller implementations share: the command operations, the direct exchange
// with the controller driver in its two overloads, and the completion-code exception. The IPMI
// 1.0 and 0.9 implementations add their own bridged exchange.
#pragma once

#include "ipmcontrollerexport.h"

#include <string>

class CIPMDirectBaseController : public CIPMBaseControllerPolymorph {
public:
    void Destruct() override;
    QVBMC_CONTROLLER_OVERRIDES

    CIPMBaseControllerPolymorph* GetRealBaseController() override;
    QVBMC_BASE_CONTROLLER_SETTINGS(QVBMC_OVERRIDE_SETTING)
    QVBMC_BASE_CONTROLLER_COMMANDS(QVBMC_OVERRIDE_R0, QVBMC_OVERRIDE_R1)

    // 10 or 9: which arm the records use and which column of the command table applies.
    virtual int version() const = 0;
    // "CIPM10BaseController" or "CIPM09BaseController".
    virtual const char* className() const = 0;

protected:
    std::string function(const char* operation) const;
    // Closes the device and raises 0xA002xxxx for a result or completion code.
    [[noreturn]] void ThrowCCException(unsigned int code, const char* currentFunction,
                                       const char* failedInstruction);
    // Checks a bridged request's lengths (0xA0010000); an upper bound only when asked.
    void checkExternalLengths(const std::string& function, int nRequestLength,
                              bool boundRequestLength, const ImbI2cResponse* pResponse,
                              const int* pnResponseLength);
};
