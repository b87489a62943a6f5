// Answers one request of the IPMI cache protocol from the system built at start.
#pragma once

#include "cache_system.h"

#include <ipmipipe_protocol.h>

// The 1.0 entity id and instance of a 0.9 entity code (both 0 for a code without a row).
void entityFrom09(uint8_t code, uint8_t& entityId, uint8_t& entityInstance);

// A cached record in the compact, version-independent form of the protocol.
PipeSDR toPipeSdr(const Sdr& sdr);

ResponseBlock handleRequest(const RequestBlock& request, const CacheFigures& figures,
                            CIPMSystemExport* system);
