#include "memd_answer.h"

bool answerMemdRequest(const DIMM_Evt& events, const MemdRequest& request, int32_t* reply) {
    // Compared as unsigned: a negative index is out of range, and the getters answer the
    // out-of-range defaults.
    const unsigned module = static_cast<uint32_t>(request.index);
    switch (request.command) {
    case MEMD_SEVERITY: *reply = static_cast<int32_t>(events.getSoftwareSeverityStatus(module)); return true;
    case MEMD_SINGLE_BIT: *reply = static_cast<int32_t>(events.getSingleBitEventCounter(module)); return true;
    case MEMD_PREDICTIVE: *reply = static_cast<int32_t>(events.getPredictiveEventCounter(module)); return true;
    case MEMD_DOUBLE_BIT: *reply = static_cast<int32_t>(events.getDoubleBitEventCounter(module)); return true;
    case MEMD_MOST_SEVERE_EVENT: *reply = events.getMostSevereEventID(module); return true;
    case MEMD_OVERALL_SEVERITY: *reply = static_cast<int32_t>(events.getOverallStatusSeverity()); return true;
    default: return false;
    }
}
