// An event's template as trap variables: the values it names, then its text.
#include "event_format_varbind.h"
#include "token_value.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

void setText(CAttrValue& var, const std::string& text)
{
    var.setStr(static_cast<int>(text.size()),
               reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())));
}

void writeVariable(const qvfmt::TokenValue& value, void* out)
{
    CAttrValue& var = *static_cast<CAttrValue*>(out);
    if (value.isInteger)
        var.setInt32(value.integer);
    else
        setText(var, value.text);
}

// Installed as soon as this unit is linked in, before any trap variable is asked for.
const bool writerInstalled = (qvfmt::setVariableWriter(writeVariable), true);

} // namespace

int QVELFMT_FormatEventToVarbind(EvtStruct* event, CAttrValue* vars, int capacity, int* count)
{
    (void)writerInstalled;
    if (count) *count = 0;
    if (!event || !vars || capacity < 1 || !count) return 0;
    std::string tmpl(event->szEventString, strnlen(event->szEventString,
                                                   sizeof event->szEventString));
    int textIndex = 0;
    qvfmt::walkTemplate(
        tmpl.c_str(), [](char) {},
        [&](int n) {
            if (n > capacity - 1) return;
            char value[QVELFMT_VALUE_SIZE] = {};
            if (qvfmt::readVarbindKey(event, n, value))
                QVELFMT_GetToken(GetTokenVarbind, value, event, &vars[n - 1]);
            else
                setText(vars[n - 1], qvfmt::kNoData);
            textIndex = std::max(textIndex, n);
        });
    setText(vars[textIndex], tmpl);
    *count = textIndex + 1;
    return 0;
}
