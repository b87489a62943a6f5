// An event's template expanded into text.
#include "event_format.h"
#include "token_value.h"

#include <cstdio>
#include <cstring>

namespace qvfmt {

bool readVarbindKey(EvtStruct* event, int n, char* value)
{
    char key[16];
    std::snprintf(key, sizeof key, "Varbind%d", n);
    unsigned long length = 0;
    Sel& record = event->selEntry;
    return QVELFMT_ReadKey(&record.sensorType, &record.eventTrigger, &record.eventData1, key,
                           value, &length) == QVELFMT_FOUND;
}

} // namespace qvfmt

int QVELFMT_FormatEventToString(EvtStruct* event, char* out, size_t capacity)
{
    if (!event || !out || capacity == 0) return 0;
    size_t used = strnlen(out, capacity - 1);
    out[used] = '\0';
    auto append = [&](const char* text, size_t length) {
        const size_t room = capacity - 1 - used;
        length = std::min(length, room);
        std::memcpy(out + used, text, length);
        used += length;
        out[used] = '\0';
    };
    char tmpl[sizeof event->szEventString + 1] = {};
    std::memcpy(tmpl, event->szEventString, sizeof event->szEventString);
    qvfmt::walkTemplate(
        tmpl, [&](char c) { append(&c, 1); },
        [&](int n) {
            char value[QVELFMT_VALUE_SIZE] = {};
            if (!qvfmt::readVarbindKey(event, n, value)) {
                append(qvfmt::kNoData, std::strlen(qvfmt::kNoData));
                return;
            }
            char text[QVELFMT_TOKEN_TEXT_SIZE] = {};
            QVELFMT_GetToken(GetTokenString, value, event, text);
            append(text, std::strlen(text));
        });
    return 0;
}
