#pragma once

#include "dimm_events.h"
#include "memd_protocol.h"

// The reply to one request; false for a command that gets no reply.
bool answerMemdRequest(const DIMM_Evt& events, const MemdRequest& request, int32_t* reply);
